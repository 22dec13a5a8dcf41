#include "indexbutton.h"

#include "colorbutton.h"
#include "combobox.h"
#include "cyclestate.h"
#include "globals.h"
#include "kitlayout.h"
#include "messages.h"
#include "mojuwizard.h"
#include "wizardpara.h"

#include <QAbstractItemView>
#include <QFile>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kSnapshotW = 140;
constexpr int kComboW = 100;
constexpr int kComboFontPx = 33;
constexpr int kComboItemH = 73;
constexpr int kSpacing = 1;
constexpr int kBottomGap = 10;   // the bar ends 10 px above the screen's bottom
// "1st" ... "8th" are messages 477 to 484.
constexpr int kFirstOrdinalMsg = 477;
constexpr int kOrdinals = 8;

ColorButton* MakeButton(int messageId, QWidget* parent)
{
    auto* b = new ColorButton(Msg(messageId), parent, ColorButtonSizeLarge);
    b->setFixedSize(IndexButton::kButtonW, IndexButton::kButtonH);
    return b;
}

// The first logo file that loads: a bitmap before a PNG.
QPixmap* LoadLogo()
{
    for (const char* name : {"./images/logo2.bmp", "./images/logo2.png"}) {
        const QString path = QString::fromLatin1(name);
        if (!QFile::exists(path))
            continue;
        QPixmap picture(path);
        if (!picture.isNull())
            return new QPixmap(picture);
    }
    return nullptr;
}
}

SideBarSwitches SideBarSwitches::From(const WizardPara& w, bool statisticsBuilt)
{
    SideBarSwitches s;
    s.skipDetect = w.skipDetectEnabled != 0;
    s.captureModeButton = w.showCaptureModeButton != 0;
    s.manualSnapshot = w.showManualSnapshot != 0;
    s.productDetect = w.productDetectEnabled != 0;
    s.systemMode = w.systemMode;
    s.statisticsBuilt = statisticsBuilt;
    return s;
}

SideBarVisibility SideBarChildrenShown(bool u, const SideBarSwitches& s)
{
    const bool multi = s.systemMode == SystemModeMultiDetect;
    SideBarVisibility v{};
    v[SideMultiScreen] = u;
    v[SideStartStop] = u;
    v[SideSystem] = u;
    v[SideResample] = u;
    v[SideArea] = u;
    v[SideHelp] = u;
    v[SideStatistics] = u && s.statisticsBuilt;
    v[SideSkip] = u && s.skipDetect;
    v[SideCaptureMode] = u && s.captureModeButton;
    v[SideProductSnap] = u && s.manualSnapshot && s.productDetect && !multi;
    v[SideMouldSnap] = u && s.manualSnapshot && !multi;
    v[SideSnapshot] = u && s.manualSnapshot && multi;
    v[SideCombo] = v[SideSnapshot];
    return v;
}

int SideBarRowHeight(int barHeight, int rows)
{
    if (rows <= 0)
        return IndexButton::kButtonH;
    // One spacing above each row; the stretch takes no spacing of its own.
    const int room = barHeight - IndexButton::kLogoH - rows * kSpacing;
    return std::clamp(room / rows, 1, IndexButton::kButtonH);
}

IndexButton::IndexButton(QWidget* parent) : QWidget(parent)
{
    startStopButton = MakeButton(127, this);
    skipButton = MakeButton(573, this);
    captureModeButton =
        MakeButton(gpWPara && gpWPara->externalTrigger == 1 ? 650 : 651, this);
    hideTimer = new QTimer(this);
    hideTimer->setInterval(kHideMs);
    connect(hideTimer, &QTimer::timeout, this, &IndexButton::SlotShowHideTimeout);
    barUnfolded = true;

    logoPixmap = LoadLogo();
    logoLabel = new QLabel(this);
    logoLabel->setFixedSize(kLogoW, kLogoH);
    logoLabel->setAlignment(Qt::AlignCenter);
    if (logoPixmap)
        logoLabel->setPixmap(
            logoPixmap->scaled(kLogoW, kLogoH, Qt::KeepAspectRatio, Qt::SmoothTransformation));

    resampleButton = MakeButton(129, this);
    areaButton = MakeButton(130, this);
    helpButton = MakeButton(111, this);
    systemButton = MakeButton(215, this);
    multiScreenButton = MakeButton(126, this);
    if (gisUseStatistics)
        statisticsButton = MakeButton(541, this);

    manualTrigCombo = new ComboBox(this);
    manualTrigCombo->setFont(MicroHei(kComboFontPx));
    manualTrigCombo->view()->setFont(MicroHei(kComboFontPx));
    manualTrigCombo->setItemHeight(kComboItemH);
    manualTrigCombo->setFixedSize(kComboW, kButtonH);
    snapshotButton = MakeButton(516, this);
    // 140 + 1 + 100 is one pixel wider than the bar: the button gives it up.
    snapshotButton->setMinimumWidth(kButtonW - kComboW - kSpacing);
    snapshotButton->setMaximumWidth(kSnapshotW);
    productSnapButton = MakeButton(131, this);
    mouldSnapButton = MakeButton(132, this);
    logoHeight = kLogoH;

    auto* column = new QVBoxLayout(this);
    column->setSpacing(kSpacing);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSizeConstraint(QLayout::SetNoConstraint);
    column->addWidget(logoLabel, 0, Qt::AlignHCenter);
    for (QWidget* w : {multiScreenButton, startStopButton, systemButton, resampleButton, areaButton})
        column->addWidget(w);
    if (statisticsButton)
        column->addWidget(statisticsButton);
    column->addWidget(skipButton);
    column->addWidget(helpButton);
    auto* snapshotRow = new QHBoxLayout;
    snapshotRow->setSpacing(kSpacing);
    snapshotRow->setContentsMargins(0, 0, 0, 0);
    snapshotRow->addWidget(snapshotButton);
    snapshotRow->addWidget(manualTrigCombo);
    column->addLayout(snapshotRow);
    column->addWidget(mouldSnapButton);
    column->addWidget(productSnapButton);
    column->addStretch(5);
    column->addWidget(captureModeButton);

    setGeometry(gShowW - kButtonW, 0, kButtonW, gShowH - kBottomGap);
    ShowHide(0);
    ResetComboChooseManualTrig();
}

IndexButton::~IndexButton()
{
    delete logoPixmap;
}

QWidget* IndexButton::child(SideBarChild c) const
{
    switch (c) {
    case SideMultiScreen: return multiScreenButton;
    case SideStartStop: return startStopButton;
    case SideSystem: return systemButton;
    case SideResample: return resampleButton;
    case SideArea: return areaButton;
    case SideStatistics: return statisticsButton;
    case SideSkip: return skipButton;
    case SideHelp: return helpButton;
    case SideSnapshot: return snapshotButton;
    case SideCombo: return manualTrigCombo;
    case SideMouldSnap: return mouldSnapButton;
    case SideProductSnap: return productSnapButton;
    case SideCaptureMode: return captureModeButton;
    case SideBarChildCount: break;
    }
    return nullptr;
}

const std::vector<SideBarWire>& SideBarWiring()
{
    static const std::vector<SideBarWire> wiring = {
        {&IndexButton::multiScreenButton, &MoJuWizard::SlotReturn},
        {&IndexButton::startStopButton, &MoJuWizard::SlotStartStop},
        {&IndexButton::systemButton, &MoJuWizard::SlotSystemPara},
        {&IndexButton::resampleButton, &MoJuWizard::SlotReTrain},
        {&IndexButton::areaButton, &MoJuWizard::SlotAdjustArea},
        {&IndexButton::statisticsButton, &MoJuWizard::SlotShowStatisticsWidget},
        {&IndexButton::skipButton, &MoJuWizard::SlotStartSkipDetect},
        {&IndexButton::helpButton, &MoJuWizard::SlotHelp},
        {&IndexButton::snapshotButton, &MoJuWizard::SlotMuliManualTrig},
        {&IndexButton::mouldSnapButton, &MoJuWizard::SlotManualTrig1},
        {&IndexButton::productSnapButton, &MoJuWizard::SlotManualTrig0},
        {&IndexButton::captureModeButton, &MoJuWizard::CameraChangeTrig},
    };
    return wiring;
}

void IndexButton::Connect(MoJuWizard* window)
{
    for (const SideBarWire& wire : SideBarWiring())
        if (ColorButton* button = this->*wire.button)
            connect(button, &QPushButton::clicked, window, wire.slot);
}

void IndexButton::ShowHide(int mode)
{
    const bool unfolded = mode == 0 ? true : barUnfolded;
    if (mode == 0)
        hide();
    const SideBarSwitches switches =
        gpWPara ? SideBarSwitches::From(*gpWPara, statisticsButton != nullptr) : SideBarSwitches{};
    const SideBarVisibility shown = SideBarChildrenShown(unfolded, switches);
    for (int c = 0; c < SideBarChildCount; ++c)
        if (QWidget* w = child(SideBarChild(c)))
            w->setVisible(shown[c]);
    FitRows();
}

void IndexButton::FitRows()
{
    int rows = 0;
    for (int c = 0; c < SideBarChildCount; ++c) {
        const QWidget* w = child(SideBarChild(c));
        // The combo shares the snapshot button's row (and its visibility).
        if (w && !w->isHidden() && c != SideCombo)
            ++rows;
    }
    const int h = SideBarRowHeight(height(), rows);
    for (int c = 0; c < SideBarChildCount; ++c)
        if (QWidget* w = child(SideBarChild(c)))
            w->setFixedHeight(h);
}

void IndexButton::checkShowHide()
{
    if (barUnfolded)
        return;
    barUnfolded = true;
    ShowHide(1);
}

void IndexButton::SlotShowHideTimeout()
{
    hide();
    hideTimer->stop();
}

int IndexButton::CurChooseTrig() const
{
    return manualTrigCombo->currentIndex();
}

void IndexButton::ResetComboChooseManualTrig()
{
    manualTrigCombo->clear();
    const int n = gpWPara ? std::min(gpWPara->multiDetectCount, kOrdinals) : 0;
    for (int i = 0; i < n; ++i)
        manualTrigCombo->addItem(Msg(kFirstOrdinalMsg + i));
    FitComboFont();
}

void IndexButton::FitComboFont()
{
    // "第1次" at 33 px is wider than the field beside the arrow of a 100 px
    // combo: the field's text shrinks until the widest entry fits (the
    // open list keeps 33 px, its rows are wide enough).
    QStyleOptionComboBox opt;
    opt.initFrom(manualTrigCombo);
    opt.rect = QRect(0, 0, kComboW, kButtonH);
    const int room = manualTrigCombo->style()
                         ->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField,
                                          manualTrigCombo)
                         .width()
        - 4;
    QFont font = MicroHei(kComboFontPx);
    auto widest = [&] {
        int w = 0;
        for (int i = 0; i < manualTrigCombo->count(); ++i)
            w = std::max(w, QFontMetrics(font).horizontalAdvance(manualTrigCombo->itemText(i)));
        return w;
    };
    while (font.pixelSize() > 8 && widest() > room)
        font.setPixelSize(font.pixelSize() - 1);
    manualTrigCombo->setFont(font);
}

void IndexButton::ReSetCaptureMode()
{
    if (!gpWPara || !gpWPara->showCaptureModeButton)
        return;
    captureModeButton->setText(Msg(gpWPara->externalTrigger == 1 ? 650 : 651));
}

// The bar draws nothing itself: the camera view shows between its buttons.
void IndexButton::paintEvent(QPaintEvent*) {}

void IndexButton::mousePressEvent(QMouseEvent* event)
{
    if (event->position().y() < logoHeight) {
        barUnfolded = !barUnfolded;
        ShowHide(1);
    }
    QWidget::mousePressEvent(event);
}

void IndexButton::showEvent(QShowEvent* event)
{
    barUnfolded = true;
    ShowHide(1);
    QWidget::showEvent(event);
}
