// The camera page: the tuned camera's image values, applied to the camera
// as they are typed, and the camera-related switches.
#include "wizardparawidget.h"

#include "cameraglobals.h"
#include "checkbox.h"
#include "choosebox.h"
#include "colorbutton.h"
#include "cycletimer.h"
#include "editbox.h"
#include "settingshost.h"
#include "settingslayout.h"
#include "wizardpara.h"

#include <QHBoxLayout>
#include <QTimer>
#include <QVBoxLayout>

namespace {
ParamRef Field(int WizardPara::*f)
{
    ParamRef r;
    r.scalar = f;
    return r;
}

ParamRef PerCamera(int (WizardPara::*f)[8])
{
    ParamRef r;
    r.cameraArray = f;
    r.perCamera = true;
    return r;
}
}

void WizardParaWidget::BuildCameraPage()
{
    const SettingsMetrics& m = settingsMetrics();
    QWidget* page = pageArea(SettingsPageCamera);
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(m.rowSpacing);
    auto* top = new QHBoxLayout;
    top->setSpacing(m.margin);
    auto* columns = new QHBoxLayout;
    columns->setSpacing(m.margin);
    outer->addLayout(top);
    outer->addLayout(columns, 1);
    auto* left = new QVBoxLayout;
    auto* middle = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    for (QVBoxLayout* col : {left, middle, right})
        col->setSpacing(m.rowSpacing);
    const int rest = m.dialogSize.width() - 2 * m.margin - m.numberWidth - 2 * m.margin;
    const int boxWidth = qMax(120, rest / 2);
    const int P = SettingsPageCamera;

    simpleDisplayButton = AddButton(top, P, SettingsCaption(300));
    pendingButtons.push_back(simpleDisplayButton);
    switchCameraButton = AddButton(top, P, SettingsCaption(163));
    connect(switchCameraButton, &QPushButton::clicked, this, &WizardParaWidget::SlotChangeCamera);
    autoExposeButton = AddButton(top, P, SettingsCaption(500));
    connect(autoExposeButton, &QPushButton::clicked, this, &WizardParaWidget::SlotAutoExposeTime);
    restoreButton = AddButton(top, P, SettingsCaption(526));
    connect(restoreButton, &QPushButton::clicked, this, &WizardParaWidget::SlotRestoreDefaultSettings);
    top->addStretch();

    auto factory = [this] { return factoryBox && factoryBox->value(); };
    AddHeader(left, P, 221, SettingsCaption(214));
    exposureBox = AddNumber(left, P, 164, 1, 100, PerCamera(&WizardPara::exposure));
    connect(exposureBox, &EditBox::valueChanged, this, &WizardParaWidget::SetExposeTime);
    gainBox = AddNumber(left, P, 165, 0, 64, PerCamera(&WizardPara::gain));
    connect(gainBox, &EditBox::valueChanged, this, &WizardParaWidget::SetAdjust);
    sharpBox = AddNumber(left, P, 241, 0, 100, PerCamera(&WizardPara::sharpness));
    controls.back().shown = factory;
    connect(sharpBox, &EditBox::valueChanged, this, &WizardParaWidget::SetSharp);
    contrastBox = AddNumber(left, P, 242, 1, 200, PerCamera(&WizardPara::contrast));
    controls.back().shown = factory;
    connect(contrastBox, &EditBox::valueChanged, this, &WizardParaWidget::SetContrast);
    gammaBox = AddNumber(left, P, 364, 0, 250, PerCamera(&WizardPara::gamma));
    controls.back().shown = factory;
    connect(gammaBox, &EditBox::valueChanged, this, &WizardParaWidget::SetGamma);
    speedBox = AddNumber(left, P, 244, 0, 32, Field(&WizardPara::captureSpeed));
    controls.back().shown = factory;
    reorderButton = AddButton(left, P, SettingsCaption(396));
    pendingButtons.push_back(reorderButton);
    left->addStretch();

    struct BoxRow {
        int caption;
        int WizardPara::*field;
    };
    const BoxRow middleBoxes[] = {
        {388, &WizardPara::autoShading},       {337, &WizardPara::noLensOptimize},
        {270, &WizardPara::colorCamera},       {271, &WizardPara::grayChannel},
        {519, &WizardPara::externalTrigger},   {657, &WizardPara::refreshAfterDetect},
        {1012, &WizardPara::continuousTimedDetect}, {200, &WizardPara::showAlgorithmDetails},
        {196, &WizardPara::defectEnabled},     {197, &WizardPara::spotEnabled},
        {198, &WizardPara::ignoreAreaEnabled}, {199, &WizardPara::positionEnabled},
    };
    middle->addSpacing(headerHeight_);
    for (const BoxRow& b : middleBoxes) {
        CheckBox* box = AddBox(middle, P, b.caption, Field(b.field), boxWidth);
        controls.back().shown = factory;
        if (b.field == &WizardPara::autoShading)
            shadingBox = box;
        if (b.field == &WizardPara::showAlgorithmDetails)
            showDetailsBox = box;
    }
    middle->addStretch();
    connect(shadingBox, &QCheckBox::stateChanged, this, &WizardParaWidget::SetAutoWDR);

    right->addSpacing(headerHeight_);
    vMirrorBox = AddBox(right, P, 566, PerCamera(&WizardPara::vMirror), boxWidth);
    controls.back().shown = factory;
    connect(vMirrorBox, &QCheckBox::clicked, this, &WizardParaWidget::SetVMirror);
    hMirrorBox = AddBox(right, P, 565, PerCamera(&WizardPara::hMirror), boxWidth);
    controls.back().shown = factory;
    connect(hMirrorBox, &QCheckBox::clicked, this, &WizardParaWidget::SetHMirror);
    const BoxRow rightBoxes[] = {
        {390, &WizardPara::blackAreaEnabled}, {391, &WizardPara::whiteAreaEnabled},
        {520, &WizardPara::whiteCountEnabled}, {561, &WizardPara::directionEnabled},
        {581, &WizardPara::distanceEnabled},  {397, &WizardPara::similarityEnabled},
    };
    for (const BoxRow& b : rightBoxes) {
        AddBox(right, P, b.caption, Field(b.field), boxWidth);
        if (b.field == &WizardPara::directionEnabled)
            controls.back().shown = [] { return false; };   // its value passes through
        else
            controls.back().shown = factory;
    }
    right->addStretch();

    columns->addLayout(left);
    columns->addLayout(middle);
    columns->addLayout(right);
    columns->addStretch();
}

// ---------------------------------------------------------- live setters

void WizardParaWidget::SetExposeTime(int v)
{
    if (!gpWParaBak)
        return;
    gpWParaBak->exposure[tunedCamera] = v;
    host_->applyCameraSetting(tunedCamera, CameraSetting::Exposure);
}

void WizardParaWidget::SetAdjust(int v)
{
    if (!gpWParaBak)
        return;
    gpWParaBak->gain[tunedCamera] = v;
    host_->applyCameraSetting(tunedCamera, CameraSetting::Gain);
}

void WizardParaWidget::SetSharp(int v)
{
    if (!gpWParaBak)
        return;
    gpWParaBak->sharpness[tunedCamera] = v;
    host_->applyCameraSetting(tunedCamera, CameraSetting::Sharpness);
}

void WizardParaWidget::SetContrast(int v)
{
    if (!gpWParaBak)
        return;
    gpWParaBak->contrast[tunedCamera] = v;
    host_->applyCameraSetting(tunedCamera, CameraSetting::Contrast);
}

void WizardParaWidget::SetGamma(int v)
{
    if (!gpWParaBak)
        return;
    gpWParaBak->gamma[tunedCamera] = v;
    host_->applyCameraSetting(tunedCamera, CameraSetting::Gamma);
}

void WizardParaWidget::SetHMirror()
{
    if (!gpWParaBak)
        return;
    gpWParaBak->hMirror[tunedCamera] = hMirrorBox->value();
    host_->applyCameraSetting(tunedCamera, CameraSetting::HMirror);
}

void WizardParaWidget::SetVMirror()
{
    if (!gpWParaBak)
        return;
    gpWParaBak->vMirror[tunedCamera] = vMirrorBox->value();
    host_->applyCameraSetting(tunedCamera, CameraSetting::VMirror);
}

void WizardParaWidget::SetAutoWDR(int state)
{
    if (!gpWParaBak)
        return;
    gpWParaBak->autoShading = state;
    for (int c = 0; c < kCameraSlots; ++c)
        host_->applyCameraSetting(c, CameraSetting::Exposure);
}

void WizardParaWidget::LoadCameraFields()
{
    if (!gpWParaBak)
        return;
    const int c = tunedCamera;
    exposureBox->setValue(gpWParaBak->exposure[c]);
    gainBox->setValue(gpWParaBak->gain[c]);
    sharpBox->setValue(gpWParaBak->sharpness[c]);
    contrastBox->setValue(gpWParaBak->contrast[c]);
    gammaBox->setValue(gpWParaBak->gamma[c]);
    hMirrorBox->setValue(gpWParaBak->hMirror[c]);
    vMirrorBox->setValue(gpWParaBak->vMirror[c]);
}

void WizardParaWidget::SlotChangeCamera()
{
    const int n = host_->cameraCount();
    if (n == 1)
        return;
    // A one-key exposure of the camera left behind ends with nothing stored.
    CancelAutoExpose();
    tunedCamera = tunedCamera + 1 >= n ? 0 : tunedCamera + 1;
    host_->showCameraAlone(tunedCamera);
    LoadCameraFields();
    update();
}

void WizardParaWidget::SlotRestoreDefaultSettings()
{
    if (!AskYes(527))
        return;
    host_->restoreCameraDefaults(tunedCamera);
    LoadCameraFields();
    if (gpWParaBak)
        speedBox->setValue(gpWParaBak->captureSpeed);
}

void WizardParaWidget::SlotAutoExposeTime()
{
    // The camera is latched now: a switch or a hide before the timeout ends
    // the run with nothing stored.
    CancelAutoExpose();
    autoExposeCamera = tunedCamera;
    autoExposeTimer->start(2000);
    if (OneKeyExposure* ae = host_->oneKeyExposure())
        ae->begin(autoExposeCamera);
}

void WizardParaWidget::SlotAutoExposeTimeTimeout()
{
    autoExposeTimer->stop();
    const int camera = autoExposeCamera;
    autoExposeCamera = -1;
    OneKeyExposure* ae = host_->oneKeyExposure();
    if (camera < 0 || camera != tunedCamera || !ae)
        return;
    OneKeyExposureResult r;
    if (!ae->finish(camera, &r))
        return;
    // The fields snap the camera's values; their setters apply and store them.
    exposureBox->setValue(r.exposureMs);
    if (r.gainKnown)
        gainBox->setValue(r.gain);
    update();
}

void WizardParaWidget::CancelAutoExpose()
{
    if (!autoExposeTimer->isActive())
        return;
    autoExposeTimer->stop();
    if (OneKeyExposure* ae = host_->oneKeyExposure())
        ae->cancel(autoExposeCamera);
    autoExposeCamera = -1;
}
