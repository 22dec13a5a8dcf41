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

void WizardParaWidget::BuildCommonPage()
{
    using paramfields::ParamField;
    const SettingsMetrics& m = settingsMetrics();
    const int P = SettingsPageCommon;
    QWidget* page = pageArea(P);
    const PageColumns pc = MakePageColumns(page, m, 120);
    QVBoxLayout* left = pc.left;
    QVBoxLayout* middle = pc.middle;
    QVBoxLayout* right = pc.right;
    QVBoxLayout* actions = pc.actions;
    const int boxWidth = pc.boxWidth;

    // Left: the delays, the re-detections, the uniform filter, each under
    // its header.  Second column: the switches, two to a row.
    int boxes = 0;
    auto place = [&](const ParamField& f) -> QBoxLayout* {
        const QLatin1String name(f.name);
        if (name == QLatin1String("detectDelay") && f.index == 0)
            AddHeader(left, P, 219, SettingsCaption(220));
        if (name == QLatin1String("moldRecheckCount"))
            AddHeader(left, P, 222);
        if (name == QLatin1String("minimumSize")) {
            AddHeader(left, P, 333);
            texts.back().shown = [this] { return !showDetailsBox || !showDetailsBox->value(); };
        }
        if (f.column == 0)
            return left;
        if (boxes == 0)
            AddHeader(middle, P, 228);
        return boxes++ % 2 == 0 ? middle : right;
    };
    right->addSpacing(headerHeight_);
    AddFields(paramfields::Page::Common, P, place, boxWidth, 0);
    for (int d = 0; d < 8; ++d)
        if (SettingsControl* c = Control("detectDelay", d))
            delayBoxes[d] = c->edit;
    recheckBox = Control("moldRecheckCount")->edit;
    filterSizeBox = Control("minimumSize")->edit;
    filterAreaBox = Control("minimumArea")->edit;
    motionBox = Control("motionCorrection")->check;
    left->addStretch();
    middle->addStretch();
    right->addStretch();

    actions->addSpacing(headerHeight_);
    resetCountButton = AddButton(actions, P, SettingsCaption(172));
    connect(resetCountButton, &QPushButton::clicked, this, &WizardParaWidget::ResetTotal);
    QStringList languages;
    for (int lang = 0; lang < 3; ++lang)
        languages << Msg(317, lang);
    languageCombo = AddCombo(actions, P, languages, QString(), 0);
    languageCombo->setFixedWidth(m.actionButton.width());
    shutDownButton = AddButton(actions, P, SettingsCaption(209));
    pendingButtons.push_back(shutDownButton);
    textButtons[209] = shutDownButton;
    actions->addStretch();

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
