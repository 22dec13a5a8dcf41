#include "portstate.h"

#include "collectedcommand.h"

#include "commandrunner.h"
#include "paths.h"

#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <glog/logging.h>

#include <algorithm>

QMap<QString, qint64> ParseProcNetDev(const QString& text)
{
    // One line per interface: "  eth0: 1234 ..." or, once the counter
    // needs all eight columns, "  eth0:123456789 ...".
    static const QRegularExpression line(QStringLiteral("^\\s*([^\\s:]+):\\s*(\\d+)"),
                                         QRegularExpression::MultilineOption);
    QMap<QString, qint64> counters;
    auto it = line.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(1);
        if (name == QLatin1String("lo"))
            continue;
        bool ok = false;
        const qint64 bytes = m.captured(2).toLongLong(&ok);
        if (ok)
            counters.insert(name, bytes);
    }
    return counters;
}

QMap<QString, bool> ParseIfconfigRunning(const QString& text)
{
    QMap<QString, bool> running;
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& l : lines) {
        if (!l.contains(QLatin1String("mtu")))
            continue;
        const QStringList parts = l.split(QLatin1Char(':'), Qt::SkipEmptyParts);
        if (parts.size() != 2 || parts[0] == QLatin1String("lo"))
            continue;
        running.insert(parts[0], parts[1].contains(QLatin1String("RUNNING")));
    }
    return running;
}

void PortReadings::start(const QMap<QString, qint64>& firstCounters)
{
    running.clear();
    increments.clear();
    counters = firstCounters;
    periods = 1;
}

void PortReadings::apply(const QMap<QString, bool>& runningNow, const QMap<QString, qint64>* countersNow,
                         int periodsSpanned)
{
    running = runningNow;
    increments.clear();
    periods = std::max(1, periodsSpanned);
    if (!countersNow)
        return;
    for (auto it = countersNow->begin(); it != countersNow->end(); ++it) {
        auto old = counters.find(it.key());
        if (old == counters.end()) {
            counters.insert(it.key(), it.value());
            continue;
        }
        increments.insert(it.key(), std::max<qint64>(0, it.value() - old.value()));
        old.value() = it.value();
    }
}

QVector<PortRow> PortReadings::rows() const
{
    QVector<PortRow> out;
    for (auto it = counters.begin(); it != counters.end(); ++it) {
        PortRow r;
        r.name = it.key();
        r.running = running.value(it.key(), false);
        const auto inc = increments.find(it.key());
        if (inc != increments.end()) {
            r.hasRate = true;
            r.bytesPerSecond = inc.value() / (qint64(kPeriodSeconds) * periods);
        }
        out << r;
    }
    return out;
}

PortStateMonitor::PortStateMonitor(QObject* parent)
    : QObject(parent), tick_(new QTimer(this)), command_(new CollectedCommand(this))
{
    connect(tick_, &QTimer::timeout, this, &PortStateMonitor::tick);
    connect(command_, &CollectedCommand::ended, this, &PortStateMonitor::commandEnded);
}

PortStateMonitor::~PortStateMonitor() = default;

const QMap<QString, qint64>* PortStateMonitor::readCounters(QMap<QString, qint64>& into)
{
    QFile f(paths().procNetDev);
    if (!f.open(QIODevice::ReadOnly)) {
        LOG(WARNING) << "port state: cannot read " << paths().procNetDev.toStdString() << ": "
                     << f.errorString().toStdString();
        return nullptr;
    }
    // /proc files report no size: read until the end.
    into = ParseProcNetDev(QString::fromLocal8Bit(f.readAll()));
    return &into;
}

void PortStateMonitor::start()
{
    // A command of an earlier press would mix its reading into the new one.
    command_->cancel();
    QMap<QString, qint64> first;
    readings_.start(readCounters(first) ? first : QMap<QString, qint64>());
    periods_ = 1;
    tick_->start(kTickMs);
    emit updated();
}

void PortStateMonitor::stop()
{
    tick_->stop();
}

bool PortStateMonitor::waiting() const
{
    return command_->running();
}

bool PortStateMonitor::active() const
{
    return tick_->isActive();
}

void PortStateMonitor::tick()
{
    if (command_->running()) {
        // Still waiting for the last one: its reading then spans this period too.
        ++skipped_;
        ++periods_;
        return;
    }
    command_->start(QStringLiteral("ifconfig"), {}, kIfconfigLimitMs);
}

void PortStateMonitor::commandEnded(const QByteArray& output)
{
    QMap<QString, qint64> now;
    const QMap<QString, qint64>* counters = readCounters(now);
    readings_.apply(ParseIfconfigRunning(QString::fromLocal8Bit(output)), counters, periods_);
    periods_ = 1;
    emit updated();
}
