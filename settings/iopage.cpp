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

namespace {
ParamRef Field(int WizardPara::*f)
{
    ParamRef r;
    r.scalar = f;
    return r;
}

// The outputs whose initial state shows: four, or in the multi-detection
// mode the outputs the steps and the alarm drive, 1 .. max(4, N + 1).
int OutputsShown(bool multiDetectBuilt)
{
    if (!multiDetectBuilt || !gpWParaBak)
        return 4;
    return qBound(4, gpWParaBak->multiDetectCount + 1, 9);
}
}

void WizardParaWidget::BuildIOPage()
{
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
    const int areaWidth = m.dialogSize.width() - 2 * m.margin - m.numberWidth - m.margin;
    const int boxWidth = qMax(120, (areaWidth - m.margin) / 2);
    const QString seconds = SettingsCaption(540);

    AddNumber(left, P, 336, 0, 10000, Field(&WizardPara::inputTimeout), EditBoxTypeScaled, 1, seconds);
    const int labelWidth = qMax(60, m.numberWidth - m.comboWidth);
    AddCombo(left, P, {455, 404, 405, 406}, Field(&WizardPara::reserveInputRole), 203, labelWidth);
    AddCombo(left, P, {455, 407, 408, 409}, Field(&WizardPara::reserveOutputRole), 334, labelWidth);
    AddNumber(left, P, 166, 0, 100, Field(&WizardPara::preCut), EditBoxTypeScaled, 10, seconds);
    AddNumber(left, P, 168, 0, 1000, Field(&WizardPara::ejectorPulse), EditBoxTypeScaled, 10, seconds);
    AddNumber(left, P, 169, 0, 1000, Field(&WizardPara::clampPulse), EditBoxTypeScaled, 10, seconds);
    AddNumber(left, P, 524, 0, 100, Field(&WizardPara::debounceTime), EditBoxTypeScaled, 10, seconds);
    AddNumber(left, P, 571, 0, 100, Field(&WizardPara::skipDetectCount));

    // Output initial states: 1-4 under the numbers, 5-9 beside the function.
    auto factory = [this] { return factoryBox && factoryBox->value(); };
    outputCombosBuilt = multiDetectBuilt ? 9 : 4;
    static const int firstLabels[4] = {273, 274, 275, 281};
    auto* outputGrid = new QGridLayout;
    outputGrid->setHorizontalSpacing(m.margin);
    outputGrid->setVerticalSpacing(m.rowSpacing);
    for (int k = 0; k < outputCombosBuilt; ++k) {
        ParamRef r;
        r.outputArray = &WizardPara::outputInvert;
        r.index = k;
        QBoxLayout* column = left;
        int width = labelWidth;
        if (k >= 4) {
            auto* cell = new QVBoxLayout;
            outputGrid->addLayout(cell, (k - 4) / 2, (k - 4) % 2);
            column = cell;
            width = qMax(60, boxWidth - m.comboWidth);
        }
        outputCombos[k] = AddCombo(column, P, {204, 211}, r, k < 4 ? firstLabels[k] : -1, width);
        if (k >= 4) {
            PaintedText t;
            t.page = P;
            t.anchor = controls.back().row;
            t.text = Msg(496).arg(k + 1);
            t.header = false;
            t.width = width;
            texts.push_back(t);
        }
        texts.back().shown = factory;
        controls.back().shown = [this, k, factory] { return factory() && k < OutputsShown(multiDetectBuilt); };
    }
    left->addStretch();

    struct BoxRow {
        int caption;
        int WizardPara::*field;
    };
    const BoxRow boxRows[] = {
        {179, &WizardPara::stopForbidsClamp},         {178, &WizardPara::cutEjectorOnClamp},
        {192, &WizardPara::productNoEjectorControl},  {190, &WizardPara::productNgPulseNoAlarm},
        {642, &WizardPara::moldNgPulseNoAlarm},       {1013, &WizardPara::productOkNgOutputs},
        {645, &WizardPara::okClampNgEjector},         {193, &WizardPara::cutClampAfterMoldOk},
        {513, &WizardPara::cutEjectorAfterProductOk}, {265, &WizardPara::safetyDoorTrigger},
        {195, &WizardPara::safetyDoorClearsAlarm},    {515, &WizardPara::productAlarmCutsEjector},
        {562, &WizardPara::moldAlarmCutsClamp},       {643, &WizardPara::stopForbidsEjector},
        {202, &WizardPara::okNgPulses},
    };
    const int perColumn = 8;
    int i = 0;
    for (const BoxRow& b : boxRows) {
        auto* cell = new QVBoxLayout;
        boxes->addLayout(cell, i % perColumn, i / perColumn);
        AddBox(cell, P, b.caption, Field(b.field), boxWidth);
        ++i;
    }
    rightArea->addLayout(boxes);

    auto* function = new QHBoxLayout;
    function->setSpacing(m.margin);
    auto* funCell = new QVBoxLayout;
    sysFunCombo = AddCombo(funCell, P, {384, 385, 386, 399, 472}, Field(&WizardPara::systemModePending), -1, 0);
    function->addLayout(funCell);
    auto* moldCell = new QVBoxLayout;
    moldSelectCombo = AddCombo(moldCell, P, {376, 377, 383}, Field(&WizardPara::moldSelect), -1, 0);
    controls.back().shown = [this] {
        const int f = sysFunCombo->currentIndex();
        return f == 1 || f == 2;
    };
    function->addLayout(moldCell);
    auto multiChosen = [this] { return sysFunCombo->currentIndex() == 4; };
    customIoButton = AddButton(function, P, SettingsCaption(473));
    controls.back().shown = multiChosen;
    ioNameButton = AddButton(function, P, SettingsCaption(498));
    controls.back().shown = multiChosen;
    pendingButtons.push_back(customIoButton);
    pendingButtons.push_back(ioNameButton);
    function->addStretch();
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
    for (QWidget* w : {static_cast<QWidget*>(moldSelectCombo), static_cast<QWidget*>(customIoButton),
                       static_cast<QWidget*>(ioNameButton)}) {
        if (SettingsControl* c = ControlOf(w))
            c->row->setVisible(c->shown());
    }
    update();
}
