// The camera page: the tuned camera's image values, applied to the camera
// as they are typed, and the camera-related switches.
#include "wizardparawidget.h"

#include "cameraglobals.h"
#include "checkbox.h"
#include "choosebox.h"
#include "colorbutton.h"
#include "editbox.h"
#include "settingshost.h"
#include "settingslayout.h"
#include "wizardpara.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

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
    textButtons[300] = simpleDisplayButton;
    switchCameraButton = AddButton(top, P, SettingsCaption(163));
    connect(switchCameraButton, &QPushButton::clicked, this, &WizardParaWidget::SlotChangeCamera);
    autoExposeButton = AddButton(top, P, SettingsCaption(500));
    connect(autoExposeButton, &QPushButton::clicked, this, &WizardParaWidget::SlotAutoExposeTime);
    restoreButton = AddButton(top, P, SettingsCaption(526));
    connect(restoreButton, &QPushButton::clicked, this, &WizardParaWidget::SlotRestoreDefaultSettings);
    top->addStretch();

    AddHeader(left, P, 221, SettingsCaption(214));
    middle->addSpacing(headerHeight_);
    right->addSpacing(headerHeight_);
    QBoxLayout* byColumn[3] = {left, middle, right};
    AddFields(paramfields::Page::Camera, P, [&](const paramfields::ParamField& f) { return byColumn[qBound(0, f.column, 2)]; },
              boxWidth, 0);
    reorderButton = AddButton(left, P, SettingsCaption(396));
    pendingButtons.push_back(reorderButton);
    textButtons[396] = reorderButton;
    left->addStretch();
    middle->addStretch();
    right->addStretch();

    exposureBox = Control("exposure")->edit;
    gainBox = Control("gain")->edit;
    sharpBox = Control("sharpness")->edit;
    contrastBox = Control("contrast")->edit;
    gammaBox = Control("gamma")->edit;
    speedBox = Control("captureSpeed")->edit;
    shadingBox = Control("autoShading")->check;
    showDetailsBox = Control("showAlgorithmDetails")->check;
    hMirrorBox = Control("hMirror")->check;
    vMirrorBox = Control("vMirror")->check;
    connect(exposureBox, &EditBox::valueChanged, this, &WizardParaWidget::SetExposeTime);
    connect(gainBox, &EditBox::valueChanged, this, &WizardParaWidget::SetAdjust);
    connect(sharpBox, &EditBox::valueChanged, this, &WizardParaWidget::SetSharp);
    connect(contrastBox, &EditBox::valueChanged, this, &WizardParaWidget::SetContrast);
    connect(gammaBox, &EditBox::valueChanged, this, &WizardParaWidget::SetGamma);
    connect(shadingBox, &QCheckBox::stateChanged, this, &WizardParaWidget::SetAutoWDR);
    connect(vMirrorBox, &QCheckBox::clicked, this, &WizardParaWidget::SetVMirror);
    connect(hMirrorBox, &QCheckBox::clicked, this, &WizardParaWidget::SetHMirror);

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
    // The run belongs to the camera it starts on: a switch or a hide before
    // its end cancels it with nothing stored.
    CancelAutoExpose();
    autoExposeCamera = tunedCamera;
    host_->startOneKeyExposure(autoExposeCamera,
                               [this](const OneKeyExposureResult& r) { SlotAutoExposeTimeTimeout(r); });
}

void WizardParaWidget::SlotAutoExposeTimeTimeout(const OneKeyExposureResult& r)
{
    const int camera = autoExposeCamera;
    autoExposeCamera = -1;
    if (camera < 0 || r.camera != camera || camera != tunedCamera)
        return;
    // The fields snap the camera's values; their setters apply and store them.
    exposureBox->setValue(r.exposure);
    if (r.gainKnown)
        gainBox->setValue(r.gain);
    update();
}

void WizardParaWidget::CancelAutoExpose()
{
    if (autoExposeCamera < 0)
        return;
    host_->cancelOneKeyExposure();
    autoExposeCamera = -1;
}
