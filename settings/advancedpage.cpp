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

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QVBoxLayout>

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

    QBoxLayout* byColumn[3] = {left, middle, right};
    AddFields(paramfields::Page::Advanced, P, [&](const paramfields::ParamField& f) { return byColumn[qBound(0, f.column, 2)]; },
              boxWidth, 0);
    offsetBox = Control("maxOffset")->edit;
    screenOffBox = Control("screenOffSeconds")->edit;
    factoryBox = Control("showFactoryParams")->check;
    saveRawBox = Control("saveRawImages")->check;   // the window's switch, not a parameter

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
        for (int id : {182, 183, 184}) {
            ColorButton* b = AddButton(row, P, SettingsCaption(id));
            b->setFixedWidth(qMin(m.actionButton.width(), (m.numberWidth - m.margin) / 3));
            pendingButtons.push_back(b);
        }
        row->addStretch();
        left->addLayout(row);
    }
    left->addStretch();

    middle->addStretch();

    // Password: two fields, the change button.
    AddHeader(right, P, 225);
    for (int k = 0; k < 2; ++k) {
        auto* row = new QWidget(page);
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        const QFontMetrics fm(MicroHei(m.labelPx));
        const int labelWidth =
            qMax(fm.horizontalAdvance(SettingsCaption(226)), fm.horizontalAdvance(SettingsCaption(227))) + 8;
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
