// The common page: delays, re-detections, the uniform filter, the general
// switches and the actions (counters, language, shut down).
#include "wizardparawidget.h"

#include "cameraglobals.h"
#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "cyclecounters.h"
#include "editbox.h"
#include "kitlayout.h"
#include "messages.h"
#include "settingshost.h"
#include "settingslayout.h"
#include "wizardpara.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {
ParamRef Field(int WizardPara::*f)
{
    ParamRef r;
    r.scalar = f;
    return r;
}
}

void WizardParaWidget::BuildCommonPage()
{
    const SettingsMetrics& m = settingsMetrics();
    QWidget* page = pageArea(SettingsPageCommon);
    auto* columns = new QHBoxLayout(page);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(m.margin);
    auto* left = new QVBoxLayout;
    auto* middle = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    auto* actions = new QVBoxLayout;
    for (QVBoxLayout* col : {left, middle, right, actions})
        col->setSpacing(m.rowSpacing);
    const int rest = m.dialogSize.width() - 2 * m.margin - m.numberWidth - 3 * m.margin - m.actionButton.width();
    const int boxWidth = qMax(120, rest / 2);

    const bool multi = multiDetectBuilt;
    AddHeader(left, SettingsPageCommon, 219, SettingsCaption(220));
    static const int multiCaptions[8] = {508, 509, 485, 486, 487, 488, 489, 490};
    for (int d = 0; d < (multi ? 8 : 2); ++d) {
        ParamRef r;
        r.cameraArray = &WizardPara::detectDelay;
        r.index = d;
        const int caption = multi ? multiCaptions[d] : (d == 0 ? 161 : 162);
        delayBoxes[d] = AddNumber(left, SettingsPageCommon, caption, 0, 10000, r, EditBoxTypeScaled, 10,
                                  SettingsCaption(540));
        if (d >= 2)
            controls.back().shown = [this, d] { return gpWParaBak && gpWParaBak->multiDetectCount > d; };
    }
    AddHeader(left, SettingsPageCommon, 222);
    recheckBox = AddNumber(left, SettingsPageCommon, 167, 0, 10, Field(&WizardPara::moldRecheckCount));
    if (multi && gpWPara)
        ResetReCheck1Text(Msg(511).arg(Msg(476 + qBound(1, gpWPara->multiDetectCount, 8))));
    // The uniform filter only while the areas' own parameters are hidden
    // (the camera page's box as it stands, not the stored value).
    auto uniform = [this] { return !showDetailsBox || !showDetailsBox->value(); };
    AddHeader(left, SettingsPageCommon, 333);
    texts.back().shown = uniform;
    filterSizeBox = AddNumber(left, SettingsPageCommon, 22, 1, 10, Field(&WizardPara::minimumSize));
    controls.back().shown = uniform;
    filterAreaBox = AddNumber(left, SettingsPageCommon, 24, 0, 1000, Field(&WizardPara::minimumArea));
    controls.back().shown = uniform;
    left->addStretch();

    AddHeader(middle, SettingsPageCommon, 228);
    AddBox(middle, SettingsPageCommon, multi ? 510 : 175, Field(&WizardPara::productDetectEnabled), boxWidth);
    AddBox(middle, SettingsPageCommon, 177, Field(&WizardPara::moldSameAsProduct), boxWidth);
    AddBox(middle, SettingsPageCommon, 170, Field(&WizardPara::passwordEnabled), boxWidth);
    middle->addStretch();
    right->addSpacing(headerHeight_);
    AddBox(right, SettingsPageCommon, 174, Field(&WizardPara::semiAuto), boxWidth);
    motionBox = AddBox(right, SettingsPageCommon, 176, Field(&WizardPara::motionCorrection), boxWidth);
    controls.back().offset = -1;   // ticked stores 0, not ticked -1
    right->addStretch();

    actions->addSpacing(headerHeight_);
    resetCountButton = AddButton(actions, SettingsPageCommon, SettingsCaption(172));
    connect(resetCountButton, &QPushButton::clicked, this, &WizardParaWidget::ResetTotal);
    {
        auto* row = new QWidget(page);
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        languageCombo = new ComboBox(row);
        languageCombo->setFont(MicroHei(m.fontPx));
        languageCombo->setFixedSize(m.actionButton.width(), m.rowHeight);
        languageCombo->setItemHeight(m.rowHeight);
        for (int lang = 0; lang < 3; ++lang)
            languageCombo->addItem(Msg(317, lang));
        h->addWidget(languageCombo);
        actions->addWidget(row);
        SettingsControl c;
        c.kind = SettingsControl::Combo;
        c.page = SettingsPageCommon;
        c.row = row;
        c.combo = languageCombo;
        AddControl(c);
    }
    shutDownButton = AddButton(actions, SettingsPageCommon, SettingsCaption(209));
    pendingButtons.push_back(shutDownButton);
    actions->addStretch();

    columns->addLayout(left);
    columns->addLayout(middle);
    columns->addLayout(right);
    columns->addStretch();
    columns->addLayout(actions);
}

void WizardParaWidget::ResetTotal()
{
    for (int c = 0; c < kCameraSlots; ++c) {
        gAllNum[c] = 0;
        gFailNum[c] = 0;
    }
    host_->insertRecord(Msg(255));
    host_->countWrite();
    gLost = 0;
}

void WizardParaWidget::ResetEBoxTrigDelayPos(int count)
{
    // The rows below the delays follow the last delay shown: the column's
    // layout closes up over the hidden delay rows.
    for (int d = 2; d < 8; ++d)
        if (delayBoxes[d] && currentPage == SettingsPageCommon)
            delayBoxes[d]->setVisible(d < count);
    update();
}

void WizardParaWidget::ResetReCheck1Text(const QString& text)
{
    if (recheckBox)
        recheckBox->setText(text);
}
