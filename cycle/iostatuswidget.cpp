#include "iostatuswidget.h"

#include "clock.h"
#include "controlport.h"
#include "copy2movedisk.h"
#include "kitfonts.h"
#include "messages.h"
#include "mojuwizard.h"
#include "operationrecord.h"
#include "pixmaps.h"
#include "wizardpara.h"

#include <QFontMetrics>
#include <QPainter>
#include <QtAlgorithms>

namespace {

StripLevels readLevels(const StripLampSet& set)
{
    StripLevels levels;
    const ControlPort* io = gpControlIO;
    if (!io)
        return levels;
    for (quint32 m = set.inputs; m; m &= m - 1) {
        const int i = int(qCountTrailingZeroBits(m));
        levels.inputs |= quint32(io->IOState(0, i)) << i;
    }
    for (int k = 0; k < set.outputLamps(); ++k)
        levels.outputs |= quint32(io->IOState(1, k)) << k;
    return levels;
}

bool mounted()
{
    return !Copy2MoveDisk::instance()->mountPath().isEmpty();
}

} // namespace

IOStatusWidget::IOStatusWidget(MoJuWizard* parent)
    : IOStatusWidget(parent, parent->accessLevel, parent->cycleTime)
{
}

IOStatusWidget::IOStatusWidget(QWidget* parent, int& accessLevel, const int& cycleTime)
    : QWidget(parent), accessLevel_(accessLevel), cycleTime_(cycleTime)
{
    const int h = StripMetricsFor(gShowW).height;
    setGeometry(0, gShowH - h, gShowW, h);
    font_.setFamily(QString::fromLatin1(kMicroHeiFamily));
}

void IOStatusWidget::setParamGroups(const QStringList& groups)
{
    paramGroups_ = groups;
    update();
}

StripInput IOStatusWidget::currentInput() const
{
    StripInput in;
    in.para = StripParams::from(*gpWPara);
    in.screenW = gShowW;
    in.levels = readLevels(StripLampsFor(in.para));
    in.accessLevel = accessLevel_;
    in.paramGroups = paramGroups_;
    in.mounted = mounted();
    in.now = appClock().now();
    in.cycleTime = cycleTime_;
    in.language = gLan;
    in.names = gaName;
    in.textWidth = [this](const QString& text, int px) {
        QFont f = font_;
        f.setPixelSize(px);
        return QFontMetrics(f).horizontalAdvance(text);
    };
    return in;
}

IOStatusWidget::Shown IOStatusWidget::shownNow()
{
    Shown s;
    s.para = StripParams::from(*gpWPara);
    const StripLevels levels = readLevels(StripLampsFor(s.para));
    s.inputs = levels.inputs;
    s.outputs = levels.outputs;
    s.login = s.para.passwordEnabled ? (accessLevel_ == AccessLevelNone ? 1 : 2) : 0;
    s.cycleTime = cycleTime_;
    s.mounted = mounted() ? 1 : 0;
    // Reading the local time costs more than the rest of the pass together,
    // so it is read only once the monotonic clock says the second has turned
    // (a clock that is set shows at the next turn).
    const qint64 mono = appClock().monotonicMs();
    if (mono >= nextSecondMs_) {
        const QDateTime now = appClock().now();
        second_ = now.toSecsSinceEpoch();
        nextSecondMs_ = mono + 1000 - now.time().msec();
    }
    s.second = second_;
    return s;
}

bool IOStatusWidget::refresh()
{
    const Shown now = shownNow();
    if (now == shown_)
        return false;
    shown_ = now;
    update();
    return true;
}

void IOStatusWidget::mousePressEvent(QMouseEvent*)
{
    accessLevel_ = AccessLevelNone;
    repaint();
}

void IOStatusWidget::showEvent(QShowEvent*) {}

void IOStatusWidget::scaleLamps(const QSize& size)
{
    const qint64 keys[2] = {gpPixmapOUT[0] ? gpPixmapOUT[0]->cacheKey() : 0,
                            gpPixmapOUT[1] ? gpPixmapOUT[1]->cacheKey() : 0};
    if (size == lampSize_ && keys[0] == lampKeys_[0] && keys[1] == lampKeys_[1])
        return;
    lampSize_ = size;
    for (int level = 0; level < 2; ++level) {
        lampKeys_[level] = keys[level];
        const QPixmap* source = gpPixmapOUT[level];
        lamps_[level] = source && !source->isNull()
            ? source->scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            : QPixmap();
    }
}

void IOStatusWidget::paintEvent(QPaintEvent*)
{
    const StripInput in = currentInput();
    const StripPicture pic = LayOutStrip(in);
    QPainter p(this);
    if (!pic.lamps.isEmpty())
        scaleLamps(pic.lamps.first().rect.size());
    for (const StripLamp& lamp : pic.lamps) {
        const QPixmap& picture = lamps_[lamp.level ? 1 : 0];
        if (!picture.isNull())
            p.drawPixmap(lamp.rect.topLeft(), picture);
    }
    font_.setPixelSize(pic.labelPx);
    p.setFont(font_);
    p.setPen(QColor(0, 255, 255));
    for (const StripLamp& lamp : pic.lamps)
        p.drawText(lamp.labelRect, Qt::AlignCenter, lamp.label);
    for (const StripText& t : pic.texts) {
        font_.setPixelSize(t.px);
        p.setFont(font_);
        p.setPen(t.colour);
        p.drawText(t.pos, t.text);
    }
}
