#include "customionamewidget.h"

#include "colorbutton.h"
#include "combobox.h"
#include "globals.h"
#include "ionames.h"
#include "iowidget.h"
#include "kitlayout.h"
#include "messages.h"
#include "pixmaps.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>

#include <algorithm>

namespace {
// The grid at its design size: eight 180 px columns and four 60 px rows
// with Confirm's 70 px row below, spacing 10, margin 20.
constexpr int kColumn = 180;
constexpr int kRow = 60;
constexpr int kButtonRow = 70;
constexpr int kSpacing = 10;
constexpr int kMargin = 20;
constexpr int kDesignW = 2 * kMargin + 8 * kColumn + 7 * kSpacing;
constexpr int kDesignH = 2 * kMargin + 4 * kRow + kButtonRow + 4 * kSpacing;
}  // namespace

CustomIONameWidget::CustomIONameWidget(QWidget* window, WizardParaWidget* dialog)
    : QWidget(window), settingsDialog(dialog), ioPage(dialog ? dialog->ioPage : nullptr),
      fit_(PageFit::forScreen(gShowW, gShowH, kDesignW, kDesignH))
{
    const QFont font = MicroHei(fit_.fontPx(30));
    auto* grid = new QGridLayout(this);
    grid->setSpacing(fit_.px(kSpacing));
    grid->setContentsMargins(fit_.px(kMargin), fit_.px(kMargin), fit_.px(kMargin), fit_.px(kMargin));
    grid->setSizeConstraint(QLayout::SetFixedSize);
    auto label = [&](const QString& text) {
        auto* l = new QLabel(text, this);
        l->setFixedSize(fit_.size(kColumn, kRow));
        l->setFont(font);
        l->setAlignment(Qt::AlignCenter);
        SetTextColor(l, Qt::yellow);
        return l;
    };
    auto box = [&](const char* const* names, int count) {
        auto* b = new ComboBox(this);
        b->setFixedSize(fit_.size(kColumn, kRow));
        b->setFont(font);
        b->setItemHeight(fit_.px(50));
        for (int i = 0; i < count; ++i)
            b->addItem(QString::fromUtf8(names[3 * i + std::clamp(gLan, 0, 2)]));
        return b;
    };
    for (int k = 0; k < 8; ++k) {
        inputLabel[k] = label(CustomInputLabel(k));
        inputNameBox[k] = box(gInName, kInNames);
        outputLabel[k] = label(CustomOutputLabel(k));
        outputNameBox[k] = box(gOutName, kOutNames);
        grid->addWidget(inputLabel[k], 0, k);
        grid->addWidget(inputNameBox[k], 1, k);
        grid->addWidget(outputLabel[k], 2, k);
        grid->addWidget(outputNameBox[k], 3, k);
    }
    confirmButton = new ColorButton(Msg(121), this);
    confirmButton->setFixedSize(fit_.size(kColumn, kButtonRow));
    grid->addWidget(confirmButton, 4, 7);
    connect(confirmButton, &QPushButton::clicked, this, &CustomIONameWidget::accept);
}

void CustomIONameWidget::init()
{
    if (!ioPage)
        return;
    for (int k = 0; k < 8; ++k) {
        inputNameBox[k]->setCurrentIndex(ioPage->model().inputNameIndex(k));
        outputNameBox[k]->setCurrentIndex(ioPage->model().outputNameIndex(k));
    }
}

void CustomIONameWidget::accept()
{
    if (ioPage) {
        MultiDetectModel& m = ioPage->model();
        for (int k = 0; k < 8; ++k) {
            m.setInputNameIndex(k, inputNameBox[k]->currentIndex());
            m.setOutputNameIndex(k, outputNameBox[k]->currentIndex());
            // The edit copy takes what the page holds, so the two never differ.
            if (gpWParaBak) {
                gpWParaBak->customInputName[k] = m.inputNameIndex(k);
                gpWParaBak->customOutputName[k] = m.outputNameIndex(k);
            }
        }
    }
    hide();
    if (ioPage)
        for (IOCheckComBO* row : ioPage->rows)
            row->resetName();
    if (settingsDialog)
        settingsDialog->showPage();
}

void CustomIONameWidget::showEvent(QShowEvent* event)
{
    if (QWidget* window = parentWidget())
        move(std::max(0, (window->width() - width()) / 2), std::max(0, (window->height() - height()) / 2));
    QWidget::showEvent(event);
}

void CustomIONameWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (gpPixmapBG)
        p.drawPixmap(rect(), *gpPixmapBG);
}
