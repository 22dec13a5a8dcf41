#include "relaylink.h"

RelayLink* gpNet = nullptr;

void RecordingRelayLink::add(const QString& line)
{
    QMutexLocker lock(&mutex_);
    calls_ << line;
}

void RecordingRelayLink::CNT_SendRecord(const QDateTime& time, const QString& level, const QString& text)
{
    add(QStringLiteral("record %1|%2|%3").arg(time.toString(Qt::ISODate), level, text));
}

void RecordingRelayLink::CNT_SendParam() { add(QStringLiteral("param")); }

void RecordingRelayLink::CNT_SendROIParam(int camera, int detection)
{
    add(QStringLiteral("roi %1 %2").arg(camera).arg(detection));
}

void RecordingRelayLink::CNT_SendTempPic(const QString& path) { add(QStringLiteral("temppic ") + path); }

void RecordingRelayLink::CNT_SendDelTempPic(int camera, int detect, const QString& name)
{
    add(QStringLiteral("deltemppic %1 %2 %3").arg(camera).arg(detect).arg(name));
}

void RecordingRelayLink::CNT_AddUseMemory(int id, int width, int height, void* frame)
{
    add(QStringLiteral("usememory %1 %2 %3 0x%4")
            .arg(id)
            .arg(width)
            .arg(height)
            .arg(reinterpret_cast<quintptr>(frame), 0, 16));
}

QStringList RecordingRelayLink::calls() const
{
    QMutexLocker lock(&mutex_);
    return calls_;
}

void RecordingRelayLink::clear()
{
    QMutexLocker lock(&mutex_);
    calls_.clear();
}
