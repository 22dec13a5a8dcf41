#include "relaylink.h"

#include <QFont>
#include <QImage>
#include <QPainter>

RelayLink* gpNet = nullptr;

void RelayLink::CNT_SendRecord(const QDateTime& time, const QString& level, const QString& text)
{
    deliver(QStringLiteral("record %1|%2|%3").arg(time.toString(Qt::ISODate), level, text));
}

void RelayLink::CNT_ReStart() { deliver(QStringLiteral("restart")); }

void RelayLink::CNT_SendParam() { deliver(QStringLiteral("param")); }

void RelayLink::CNT_SendROIParam(int camera, int detection)
{
    deliver(QStringLiteral("roi %1 %2").arg(camera).arg(detection));
}

void RelayLink::CNT_SendTempPic(const QString& path) { deliver(QStringLiteral("temppic ") + path); }

void RelayLink::CNT_SendDelTempPic(int camera, int detect, const QString& name)
{
    deliver(QStringLiteral("deltemppic %1 %2 %3").arg(camera).arg(detect).arg(name));
}

void RelayLink::CNT_SendStatistics_Once(const QList<param_roi>& list, bool ng, int trigger)
{
    deliver(QStringLiteral("statsonce %1 %2 %3").arg(list.size()).arg(ng ? 1 : 0).arg(trigger));
}

void RelayLink::CNT_SendSaveNgVideo(int camera, int isng)
{
    deliver(QStringLiteral("ngvideo %1 %2").arg(camera).arg(isng));
}

void RelayLink::CNT_SendTelInfo(int detection, int count)
{
    deliver(QStringLiteral("telinfo %1 %2").arg(detection).arg(count));
}

void RelayLink::ChkandAddStaticticsItem(int camera, int detection, int area)
{
    deliver(QStringLiteral("statsitem %1 %2 %3").arg(camera).arg(detection).arg(area));
}

void RelayLink::CNT_SendStatistics(const QString& image) { deliver(QStringLiteral("statistics ") + image); }

void RelayLink::CNT_AddNgTimes(int ms) { deliver(QStringLiteral("ngtimes %1").arg(ms)); }

void RelayLink::CNT_SendCancle() { deliver(QStringLiteral("cancel")); }

void RelayLink::CNT_SendAlarmPic(const QString& path) { deliver(QStringLiteral("alarmpic ") + path); }

void RelayLink::CNT_SendManualStop() { deliver(QStringLiteral("manualstop")); }

void RelayLink::CNT_SendMemoryInfo() { deliver(QStringLiteral("memoryinfo")); }

void RecordingRelayLink::deliver(const QString& line)
{
    QMutexLocker lock(&mutex_);
    calls_ << line;
}

void RecordingRelayLink::CNT_AddUseMemory(int id, int width, int height, void* frame)
{
    deliver(QStringLiteral("usememory %1 %2 %3 0x%4")
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

void PaintViewStamp(QImage& view, const QString& stamp)
{
    if (view.isNull() || stamp.isEmpty())
        return;
    QFont font(QStringLiteral("wqy-microhei"));
    font.setPixelSize(50);
    QPainter painter(&view);
    painter.setPen(Qt::green);
    painter.setFont(font);
    const int w = view.width(), h = view.height();
    painter.drawText(QRect(QPoint(0, h - 100), QPoint(w - 1, h - 1)), Qt::AlignRight | Qt::AlignVCenter, stamp);
}
