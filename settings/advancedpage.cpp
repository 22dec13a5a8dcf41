// The advanced page: detection tuning numbers, picture and template counts,
// screen and logout times, the display and protection switches, the
// parameter groups, the password and the maintenance entries.
#include "wizardparawidget.h"

#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "edit.h"
#include "editbox.h"
#include "globals.h"
#include "kitlayout.h"
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

void WizardParaWidget::BuildAdvancedPage()
{
    const SettingsMetrics& m = settingsMetrics();
    const int P = SettingsPageAdvanced;
    QWidget* page = pageArea(P);
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
    const int boxWidth = qMax(110, rest / 2);
    const QString seconds = SettingsCaption(540);

    // The offset only in the large layout; it keeps its value in the small one.
    offsetBox = AddNumber(left, P, 213, 1, 8000, Field(&WizardPara::maxOffset));
    controls.back().shown = [] { return gShowW > 1024; };
    AddNumber(left, P, 188, 0, 4, Field(&WizardPara::differenceMultiplier));
    AddNumber(left, P, 181, 1, 20, Field(&WizardPara::minSpot));
    AddNumber(left, P, 403, 0, 180, Field(&WizardPara::rotationAngle));
    screenOffBox = AddNumber(left, P, 243, 30, 9999, Field(&WizardPara::screenOffSeconds), 0, 1, seconds);
    screenOffBox->setUse0(true);   // 0: never
    AddNumber(left, P, 189, 0, 1000, Field(&WizardPara::autoLogoutSeconds), 0, 1, seconds);
    AddNumber(left, P, 185, 1, 100, Field(&WizardPara::templateCount));
    AddNumber(left, P, 186, 0, 2000, Field(&WizardPara::ngImageKeep));
    AddNumber(left, P, 187, 0, 2000, Field(&WizardPara::okImageKeep));

    // Parameter groups: name, list, backup / restore / delete.
    AddHeader(left, P, 261);
    {
        auto* row = new QWidget(page);
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(m.margin / 2);
        groupNameEdit = new Edit(EditFlagCharPad, row);
        groupNameEdit->setFont(MicroHei(m.fontPx));
        groupNameEdit->setFixedSize(m.numberWidth / 2, m.rowHeight);
        groupCombo = new ComboBox(row);
        groupCombo->setFont(MicroHei(m.fontPx));
        groupCombo->setFixedSize(m.numberWidth / 2 - m.margin, m.rowHeight);
        groupCombo->setItemHeight(m.rowHeight);
        groupCombo->addItem(QString());
        h->addWidget(groupNameEdit);
        h->addWidget(groupCombo);
        h->addStretch();
        left->addWidget(row);
        AnchorHeaders(left, row);
        SettingsControl c;
        c.page = P;
        c.row = row;
        c.combo = groupCombo;
        c.kind = SettingsControl::Other;
        AddControl(c);
    }
    {
        auto* row = new QHBoxLayout;
        row->setSpacing(m.margin / 2);
        for (int id : {182, 183, 184})
            pendingButtons.push_back(AddButton(row, P, SettingsCaption(id)));
        row->addStretch();
        left->addLayout(row);
    }
    left->addStretch();

    struct BoxRow {
        int caption;
        int WizardPara::*field;
    };
    const BoxRow middleBoxes[] = {
        {254, &WizardPara::showFactoryParams},  {272, &WizardPara::showManualSnapshot},
        {191, &WizardPara::autoGenerateArea},   {194, &WizardPara::skipMoldPassword},
        {341, &WizardPara::addTemplatePassword}, {342, &WizardPara::ignorePointPassword},
        {556, &WizardPara::stopDetectPassword}, {457, &WizardPara::templateIsNg},
        {201, nullptr},                          {470, &WizardPara::liveRoiDisplay},
        {400, &WizardPara::templateAutoUpdate}, {1011, &WizardPara::ngSwitchToContinuous},
    };
    for (const BoxRow& b : middleBoxes) {
        ParamRef r;
        if (b.field)
            r = Field(b.field);
        CheckBox* box = AddBox(middle, P, b.caption, r, boxWidth);
        if (b.caption == 254)
            factoryBox = box;
        if (b.caption == 201)
            saveRawBox = box;   // the window's switch, not a parameter
    }
    middle->addStretch();

    const BoxRow rightBoxes[] = {
        {554, &WizardPara::statisticsEnabled},   {471, &WizardPara::showCavityNumbers},
        {558, &WizardPara::logEnabled},          {572, &WizardPara::skipDetectEnabled},
        {1007, &WizardPara::separateDetectSignal}, {586, &WizardPara::cameraCheck},
        {591, &WizardPara::ioLostAlarm},         {644, &WizardPara::imageAdjustEnabled},
        {652, &WizardPara::showCaptureModeButton}, {-1, &WizardPara::cycleTimeLog},
        {653, &WizardPara::hideNgCount},
    };
    for (const BoxRow& b : rightBoxes) {
        CheckBox* box = AddBox(right, P, b.caption < 0 ? 0 : b.caption, Field(b.field), boxWidth);
        if (b.caption < 0) {
            box->setText(WrapText(QStringLiteral("启用检测周期"), box->font(), boxWidth - m.indicator - 10));
            controls.back().captionId = -1;
        }
    }
    // Password: two fields, the change button.
    AddHeader(right, P, 225);
    for (int k = 0; k < 2; ++k) {
        auto* row = new QWidget(page);
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        const int labelWidth = boxWidth / 3;
        h->addSpacing(labelWidth);
        passwordEdits[k] = new Edit(0, row);
        passwordEdits[k]->setEchoMode(QLineEdit::Password);
        passwordEdits[k]->setFont(MicroHei(m.fontPx));
        passwordEdits[k]->setFixedSize(boxWidth - labelWidth - m.margin, m.rowHeight);
        h->addWidget(passwordEdits[k]);
        h->addStretch();
        right->addWidget(row);
        AnchorHeaders(right, row);
        PaintedText t;
        t.page = P;
        t.anchor = row;
        t.text = SettingsCaption(k == 0 ? 226 : 227);
        t.header = false;
        t.width = labelWidth;
        texts.push_back(t);
        SettingsControl c;
        c.page = P;
        c.row = row;
        AddControl(c);
    }
    pendingButtons.push_back(AddButton(right, P, SettingsCaption(171)));
    right->addStretch();

    // The maintenance entries at the right edge.
    const int buttonIds[10] = {551, 568, 594, -1, 206, 210, 401, 458, 325, 326};
    for (int id : buttonIds) {
        ColorButton* b = AddButton(actions, P, id < 0 ? QStringLiteral("检测周期") : SettingsCaption(id));
        if (id < 0) {
            detectCycleButton = b;
            connect(b, &QPushButton::clicked, this, &WizardParaWidget::SlotShowDetectCycle);
        } else {
            pendingButtons.push_back(b);
        }
    }
    actions->addStretch();

    columns->addLayout(left);
    columns->addLayout(middle);
    columns->addLayout(right);
    columns->addStretch();
    columns->addLayout(actions);
}

void WizardParaWidget::SlotShowDetectCycle() { host_->showDetectCycle(); }
