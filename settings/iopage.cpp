// The input/output page: timings, the reserve input and output roles, the
// outputs' initial states, the output and alarm switches and the machine's
// function with its mould selection.
#include "wizardparawidget.h"

#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "editbox.h"
#include "messages.h"
#include "settingslayout.h"
#include "wizardpara.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

void WizardParaWidget::BuildIOPage()
{
    using paramfields::ParamField;
    const SettingsMetrics& m = settingsMetrics();
    const int P = SettingsPageIO;
    QWidget* page = pageArea(P);
    auto* columns = new QHBoxLayout(page);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(m.margin);
    auto* left = new QVBoxLayout;
    left->setSpacing(m.rowSpacing);
    auto* rightArea = new QVBoxLayout;
    rightArea->setSpacing(m.rowSpacing);
    auto* boxes = new QGridLayout;
    boxes->setHorizontalSpacing(m.margin);
    boxes->setVerticalSpacing(m.rowSpacing);
    auto* function = new QHBoxLayout;
    function->setSpacing(m.margin);
    auto* outputGrid = new QGridLayout;
    outputGrid->setHorizontalSpacing(m.margin);
    outputGrid->setVerticalSpacing(m.rowSpacing);
    const int areaWidth = m.dialogSize.width() - 2 * m.margin - m.numberWidth - m.margin;
    const int boxWidth = qMax(120, (areaWidth - m.margin) / 2);
    const int labelWidth = qMax(60, m.numberWidth - m.comboWidth);
    const int cellLabelWidth = qMax(60, boxWidth - m.comboWidth - m.margin);

    // Left: the numbers, the reserve roles and outputs 1-4; right: the
    // fifteen switches in two columns, the function, outputs 5-9.
    std::vector<QVBoxLayout*> cells;
    auto cell = [&](QGridLayout* grid, int row, int col) {
        auto* c = new QVBoxLayout;
        c->setSpacing(0);
        grid->addLayout(c, row, col);
        cells.push_back(c);
        return c;
    };
    int boxCount = 0;
    const int perColumn = 8;
    for (const paramfields::ParamField* f : paramfields::PageFields(paramfields::Page::IO)) {
        if (!paramfields::FieldBuilt(*f, multiDetectBuilt ? SystemModeMultiDetect : SystemModeStandard))
            continue;
        const QLatin1String name(f->name);
        if (name == QLatin1String("outputInvert") && f->index >= 4) {
            AddField(cell(outputGrid, (f->index - 4) / 2, (f->index - 4) % 2), P, *f, boxWidth, cellLabelWidth);
        } else if (f->column == 0) {
            AddField(left, P, *f, boxWidth, labelWidth);
        } else if (f->widget == paramfields::Widget::Check) {
            AddField(cell(boxes, boxCount % perColumn, boxCount / perColumn), P, *f, boxWidth, 0);
            ++boxCount;
        } else {
            auto* c = new QVBoxLayout;
            function->addLayout(c);
            AddField(c, P, *f, boxWidth, 0);
        }
    }
    sysFunCombo = Control("systemModePending")->combo;
    moldSelectCombo = Control("moldSelect")->combo;
    for (int k = 0; k < 9; ++k)
        if (SettingsControl* c = Control("outputInvert", k))
            outputCombos[k] = c->combo;
    outputCombosBuilt = multiDetectBuilt ? 9 : 4;
    // The output labels show with their combos.
    for (PaintedText& t : texts)
        if (t.page == P)
            for (int k = 0; k < outputCombosBuilt; ++k)
                if (outputCombos[k] && t.anchor == outputCombos[k]->parentWidget())
                    t.shown = [this] { return factoryBox && factoryBox->value(); };

    auto multiChosen = [this] { return paramfields::MultiDetectButtonsVisible(sysFunCombo->currentIndex()); };
    customIoButton = AddButton(function, P, SettingsCaption(473));
    controls.back().shown = multiChosen;
    ioNameButton = AddButton(function, P, SettingsCaption(498));
    controls.back().shown = multiChosen;
    pendingButtons.push_back(customIoButton);
    textButtons[473] = customIoButton;
    pendingButtons.push_back(ioNameButton);
    textButtons[498] = ioNameButton;
    function->addStretch();
    left->addStretch();
    rightArea->addLayout(boxes);
    rightArea->addLayout(function);
    rightArea->addLayout(outputGrid);
    rightArea->addStretch();
    connect(sysFunCombo, qOverload<int>(&QComboBox::currentIndexChanged), this, &WizardParaWidget::SlotChangeSysFun);

    columns->addLayout(left);
    columns->addLayout(rightArea);
    columns->addStretch();
}

void WizardParaWidget::SlotChangeSysFun(int index)
{
    Q_UNUSED(index);
    if (currentPage != SettingsPageIO)
        return;
    // The mould choice and the multi-detection buttons follow the function
    // shown at once; nothing is written before Confirm.
    const paramfields::VisibilityContext visibility = Visibility();
    for (QWidget* w : {static_cast<QWidget*>(moldSelectCombo), static_cast<QWidget*>(customIoButton),
                       static_cast<QWidget*>(ioNameButton)}) {
        if (SettingsControl* c = ControlOf(w))
            c->row->setVisible(c->field ? paramfields::FieldVisible(*c->field, visibility) : c->shown());
    }
    update();
}
