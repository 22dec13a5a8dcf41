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
    const PageColumns pc = MakePageColumns(page, m, 110);
    QVBoxLayout* left = pc.left;
    QVBoxLayout* middle = pc.middle;
    QVBoxLayout* right = pc.right;
    QVBoxLayout* actions = pc.actions;
    const int boxWidth = pc.boxWidth;
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
            textButtons[id] = b;
        }
        row->addStretch();
        left->addLayout(row);
    }
    // Password: the two fields on one row under the groups, labelled.
    AddHeader(left, P, 225);
    {
        auto* row = new QHBoxLayout;
        row->setSpacing(m.margin);
        const QFontMetrics fm(MicroHei(m.labelPx));
        // The change button ends the row, except in the small dialog.
        const bool onRow = m.form != SettingsMetrics::Small;
        for (int k = 0; k < 2; ++k) {
            const QString label = SettingsCaption(k == 0 ? 226 : 227);
            const int labelWidth = fm.horizontalAdvance(label) + 8;
            auto* half = new QWidget(page);
            auto* h = new QHBoxLayout(half);
            h->setContentsMargins(0, 0, 0, 0);
            h->setSpacing(0);
            h->addSpacing(labelWidth);
            passwordEdits[k] = new Edit(0, half);
            passwordEdits[k]->setEchoMode(QLineEdit::Password);
            passwordEdits[k]->setFont(MicroHei(m.fontPx));
            const int room = m.numberWidth - (onRow ? m.actionButton.width() + 2 * m.margin : m.margin);
            passwordEdits[k]->setFixedSize(qMax(50, room / 2 - labelWidth), m.rowHeight);
            h->addWidget(passwordEdits[k]);
            row->addWidget(half);
            AnchorHeaders(left, half);
            PaintedText t;
            t.page = P;
            t.anchor = half;
            t.text = label;
            t.header = false;
            t.width = labelWidth;
            texts.push_back(t);
            SettingsControl c;
            c.page = P;
            c.row = half;
            AddControl(c);
        }
        if (onRow) {
            pendingButtons.push_back(AddButton(row, P, SettingsCaption(171)));
            textButtons[171] = pendingButtons.back();
        }
        row->addStretch();
        left->addLayout(row);
    }
    left->addStretch();

    middle->addStretch();

    // The change-password button: under the right column's boxes in the
    // small dialog, at the end of the password row elsewhere.
    if (m.form == SettingsMetrics::Small) {
        pendingButtons.push_back(AddButton(right, P, SettingsCaption(171)));
        textButtons[171] = pendingButtons.back();
    }
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
            textButtons[id] = b;
        }
    }
    actions->addStretch();

}

void WizardParaWidget::SlotShowDetectCycle() { host_->showDetectCycle(); }
