#include "iowidget.h"

#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "globals.h"
#include "ionames.h"
#include "kitlayout.h"
#include "messages.h"
#include "pixmaps.h"
#include "settingslayout.h"
#include "warnbox.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <algorithm>

namespace {
constexpr int kDesignW = 1800;
constexpr int kDesignH = 950;
// Messages of the cut modes, in the order of their stored values.
constexpr int kCutModeText[MultiDetectModel::kCutModes] = {474, 475, 523, 563, 564, 592};

// The check-box size class whose indicator suits a box of this height.
KitRowSize BoxSizeFor(int height)
{
    return height >= 38 ? KitRowSize::Large : height >= 26 ? KitRowSize::Medium : KitRowSize::Small;
}

// The font at designPx scaled, made smaller (not under the page's least
// size) until the widest of texts fits room.  One font for every name a
// box can show, so the rows keep one look whatever names are chosen.
QFont FitNames(const PageFit& fit, int designPx, const QStringList& texts, int room)
{
    QFont font = MicroHei(fit.fontPx(designPx));
    for (;;) {
        const QFontMetrics metrics(font);
        int widest = 0;
        for (const QString& t : texts)
            widest = std::max(widest, metrics.horizontalAdvance(t));
        if (widest <= room || font.pixelSize() <= PageFit::kMinFontPx)
            return font;
        font.setPixelSize(font.pixelSize() - 1);
    }
}

// Width of a combo box's text field.
int ComboTextRoom(ComboBox* box)
{
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.rect = QRect(QPoint(0, 0), box->size());
    return box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box).width();
}

QStringList Names(QString (*name)(int), int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << name(i);
    return out;
}

// Where the page is drawn: over the dialog, or, where the dialog takes the
// small form, over the whole window (the page's 1800 x 950 would be scaled
// too far to read inside a 700 x 500 dialog).
QWidget* PageParent(WizardParaWidget* dialog)
{
    if (settingsMetrics().form == SettingsMetrics::Small && dialog->parentWidget())
        return dialog->parentWidget();
    return dialog;
}
}  // namespace

// ------------------------------------------------------------------ a row

IOCheckComBO::IOCheckComBO(IOWidget* page, const QString& captionText, int stepCount)
    : QWidget(page), owner(page), stepCount_(qBound(0, stepCount, 8))
{
    const PageFit& fit = page->fit();
    const QFont font = MicroHei(fit.fontPx(28));
    const int itemHeight = fit.px(40);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(fit.px(10));
    row->setSizeConstraint(QLayout::SetFixedSize);
    if (!captionText.isEmpty()) {
        caption = new QLabel(captionText, this);
        caption->setFont(font);
        SetTextColor(caption, Qt::yellow);
        row->addWidget(caption);
    }
    // Each box's font fits the widest text it can show: every input name,
    // every output name beside the indicator, every cut mode.
    triggerBox = new ComboBox(this);
    triggerBox->setFixedSize(fit.size(150, 40));
    triggerBox->setItemHeight(itemHeight);
    triggerBox->setFont(FitNames(fit, 28, Names(InName, kInNames), ComboTextRoom(triggerBox)));
    row->addWidget(triggerBox);
    QFont stepFont;
    for (int j = 0; j < stepCount_; ++j) {
        stepBox[j] = new CheckBox(this, QString(), BoxSizeFor(fit.px(40)));
        stepBox[j]->setFixedSize(fit.size(155, 40));
        if (j == 0)
            stepFont = FitNames(fit, 28, Names(OutName, kOutNames), stepBox[0]->width() - stepBox[0]->indicatorSide - 8);
        stepBox[j]->setFont(stepFont);
        row->addWidget(stepBox[j]);
        connect(stepBox[j], &QCheckBox::stateChanged, this, [this, j](int state) { Slotclick(j, state); });
    }
    cutModeBox = new ComboBox(this);
    cutModeBox->setFixedSize(fit.size(155, 40));
    cutModeBox->setItemHeight(itemHeight);
    QStringList cutTexts;
    for (int id : kCutModeText)
        cutTexts << Msg(id);
    cutModeBox->addItems(cutTexts);
    cutModeBox->setFont(FitNames(fit, 28, cutTexts, ComboTextRoom(cutModeBox)));
    // Still too long at the least size (the longest Chinese cut mode on the
    // small screen): the box, the last of the row, grows by what is missing.
    int widest = 0;
    for (const QString& t : cutTexts)
        widest = std::max(widest, QFontMetrics(cutModeBox->font()).horizontalAdvance(t));
    if (widest > ComboTextRoom(cutModeBox))
        cutModeBox->setFixedWidth(cutModeBox->width() + widest - ComboTextRoom(cutModeBox));
    row->addWidget(cutModeBox);
    connect(triggerBox, qOverload<int>(&QComboBox::currentIndexChanged), this, &IOCheckComBO::SlotChangeTrigin);
    connect(cutModeBox, qOverload<int>(&QComboBox::currentIndexChanged), this, &IOCheckComBO::SlotChangeCutMode);
}

void IOCheckComBO::SetIONum(int count, int previousSlot)
{
    const MultiDetectModel& m = owner->model();
    firstSlot = previousSlot;
    triggerSlot = m.triggerSlot(rowIndex);
    const QStringList items = m.triggerItems(rowIndex);
    {
        const QSignalBlocker quiet(triggerBox);
        // Refilled only when the choices differ: the box may be the one
        // whose own choice led here.
        QStringList shown;
        for (int i = 0; i < triggerBox->count(); ++i)
            shown << triggerBox->itemText(i);
        if (shown != items) {
            triggerBox->clear();
            triggerBox->addItems(items);
        }
        if (triggerBox->currentIndex() != m.triggerIndex(rowIndex))
            triggerBox->setCurrentIndex(m.triggerIndex(rowIndex));
    }
    for (int j = 0; j < stepCount_; ++j)
        stepBox[j]->setVisible(j < count);
}

void IOCheckComBO::setCheckdisable(int step, bool enable)
{
    if (step < 0 || step >= stepCount_)
        return;
    CheckBox* box = stepBox[step];
    if (!enable)
        setCheckComboStatus(step, false);
    box->setEnabled(enable);
    SetTextColor(box, enable ? QColor(Qt::yellow) : QColor(Qt::gray));
    update();
}

void IOCheckComBO::setCheckComboStatus(int step, bool on)
{
    if (step < 0 || step >= stepCount_)
        return;
    const QSignalBlocker quiet(stepBox[step]);
    stepBox[step]->setChecked(on);
}

void IOCheckComBO::resetName()
{
    const MultiDetectModel& m = owner->model();
    const QStringList items = m.triggerItems(rowIndex);
    for (int i = 0; i < triggerBox->count() && i < items.size(); ++i)
        triggerBox->setItemText(i, items[i]);
    for (int j = 0; j < stepCount_ && j < m.count(); ++j)
        stepBox[j]->setText(m.stepText(j));
}

void IOCheckComBO::showModel()
{
    const MultiDetectModel& m = owner->model();
    SetIONum(m.count(), m.firstSlot(rowIndex));
    {
        const QSignalBlocker quiet(cutModeBox);
        cutModeBox->setCurrentIndex(m.cutMode(rowIndex));
    }
    for (int j = 0; j < stepCount_; ++j) {
        setCheckdisable(j, !m.locked(rowIndex, j));
        setCheckComboStatus(j, m.ticked(rowIndex, j));
    }
    resetName();
}

void IOCheckComBO::Slotclick(int step, int state) { emit clickeCheckBox(rowIndex, step, state); }

void IOCheckComBO::SlotChangeTrigin(int index)
{
    if (index < 0)
        return;
    triggerSlot = firstSlot + index;
    emit changeTrigin(rowIndex, triggerSlot);
}

void IOCheckComBO::SlotChangeCutMode(int index)
{
    owner->model().setCutMode(rowIndex, index);
}

// ----------------------------------------------------------------- the page

IOWidget::IOWidget(WizardParaWidget* dialog) : QWidget(PageParent(dialog)), settingsDialog(dialog)
{
    QWidget* over = parentWidget();
    const QSize room = over == dialog ? dialog->size() : QSize(gShowW, gShowH);
    fit_ = PageFit::forScreen(room.width(), room.height(), kDesignW, kDesignH);
    // Scaled, the page still covers all it lies over (so the dialog's own
    // buttons wait until Confirm), its content centred in it.
    const QRect r = fit_.centred(kDesignW, kDesignH, room.width(), room.height());
    if (fit_.full()) {
        setFixedSize(r.size());
        move(r.topLeft());
    } else {
        setFixedSize(room);
        move(0, 0);
        origin_ = r.topLeft();
    }
    if (over != dialog)
        dialog->installEventFilter(this);   // the page goes with the dialog

    detectCountBox = new ComboBox(this);
    detectCountBox->setGeometry(at(40, 30, 150, 40));
    detectCountBox->setFont(MicroHei(fit_.fontPx(32)));
    detectCountBox->setItemHeight(fit_.px(40));
    for (int id = 501; id <= 507; ++id)
        detectCountBox->addItem(Msg(id));

    resetButton = new ColorButton(Msg(497), this);
    resetButton->setGeometry(at(1320, 855, 200, 75));
    confirmButton = new ColorButton(Msg(121), this);
    confirmButton->setGeometry(at(1550, 855, 200, 75));

    for (int r = 0; r < 8; ++r) {
        rows[r] = new IOCheckComBO(this, QString(), 8);
        rows[r]->rowIndex = r;
        rows[r]->move(at(30, 100 + 70 * r, 0, 0).topLeft());
        connect(rows[r], &IOCheckComBO::clickeCheckBox, this, &IOWidget::SlotClickCheckBox);
        connect(rows[r], &IOCheckComBO::changeTrigin, this, &IOWidget::SlotChangeTrigin);
    }
    // In the bottom band beside Reset and Confirm: at (930, 100) the box
    // would lie over row 0's last step boxes whenever eight are shown.
    notSequentialBox = new CheckBox(this, Msg(593), BoxSizeFor(fit_.px(40)));
    notSequentialBox->setFont(MicroHei(fit_.fontPx(28)));
    notSequentialBox->setGeometry(at(40, 872, 450, 40));
    connect(notSequentialBox, &QCheckBox::toggled, this, [this](bool on) { model_.setNotSequential(on); });

    connect(confirmButton, &QPushButton::clicked, this, &IOWidget::accept);
    connect(resetButton, &QPushButton::clicked, this, &IOWidget::reset);
    connect(detectCountBox, qOverload<int>(&QComboBox::currentIndexChanged), this, &IOWidget::SlotChangeDetectNum);
    initIOWidget();
}

void IOWidget::initIOWidget()
{
    if (gpWPara)
        model_.load(*gpWPara);
    {
        const QSignalBlocker quiet(detectCountBox);
        detectCountBox->setCurrentIndex(model_.count() - 2);
    }
    {
        const QSignalBlocker quiet(notSequentialBox);
        notSequentialBox->setChecked(model_.notSequential());
    }
    ResetOutput();
    hide();
}

void IOWidget::SlotChangeDetectNum(int index)
{
    if (index < 0)
        return;
    model_.applyCount(index + 2);
    ResetOutput();
}

void IOWidget::SlotClickCheckBox(int row, int step, int state)
{
    if (state == Qt::Unchecked)
        model_.clear(row, step);
    else
        model_.tick(row, step);
    // A refused change is undone by the mirror as well.
    ResetOutput();
}

void IOWidget::SlotChangeTrigin(int row, int slot)
{
    model_.chooseTrigger(row, slot - model_.firstSlot(row));
    ResetOutput();
}

void IOWidget::reset()
{
    model_.reset();
    ResetOutput();
}

void IOWidget::ResetOutput()
{
    for (int r = 0; r < 8; ++r) {
        rows[r]->setVisible(model_.rowShown(r));
        rows[r]->showModel();
    }
    update();
}

void IOWidget::accept()
{
    if (const int refusal = model_.validate()) {
        WarnMessage(refusal);
        return;
    }
    if (gpWParaBak)
        model_.store(*gpWParaBak);
    hide();
    if (gpWPara && gpWParaBak && gpWPara->systemMode == SystemModeMultiDetect
        && gpWParaBak->systemMode == SystemModeMultiDetect)
        settingsDialog->ResetReCheck1Text(model_.recheckCaption());
    settingsDialog->DoChangePage();
}

QRect IOWidget::at(int x, int y, int w, int h) const
{
    return QRect(origin_ + QPoint(fit_.px(x), fit_.px(y)), fit_.size(w, h));
}

bool IOWidget::eventFilter(QObject* watched, QEvent* event)
{
    // Over the window the page is no child of the dialog: it hides and
    // comes back with it, as a child would.
    if (watched == settingsDialog && event->type() == QEvent::Hide) {
        reshowWithDialog_ = isVisible();
        hide();
    } else if (watched == settingsDialog && event->type() == QEvent::Show && reshowWithDialog_) {
        reshowWithDialog_ = false;
        show();
        raise();
    }
    return QWidget::eventFilter(watched, event);
}

void IOWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (gpPixmapBG)
        p.drawPixmap(rect(), *gpPixmapBG);
    p.setPen(QColor(0, 255, 255));
    p.setFont(MicroHei(fit_.fontPx(35)));
    const QRect title(width() / 2 - fit_.px(150), origin_.y() + fit_.px(20), fit_.px(300), fit_.px(50));
    p.drawText(title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, Msg(499));
}
