#include "cntframe.h"

#include <QFile>
#include <QIODevice>
#include <QStringList>
#include <cjson/cJSON.h>
#include <glog/logging.h>

QByteArray utf8Body(const QString& body) { return body.toUtf8(); }

QByteArray encodeFrame(int type, const QByteArray& utf8Body)
{
    QByteArray frame = QByteArray::number(type);
    frame += ':';
    frame += QByteArray::number(utf8Body.size());
    frame += ":..!";
    frame += utf8Body;
    return frame;
}

namespace {
ReplyBatch ignored(const char* reason)
{
    ReplyBatch b;
    b.reason = reason;
    return b;
}
}

ReplyBatch classifyReplyBatch(const QByteArray& chunk)
{
    if (chunk.size() > kMaxBatchBytes)
        return ignored("oversized batch");
    const int nul = chunk.indexOf('\0');
    const QString text = QString::fromUtf8(nul < 0 ? chunk : chunk.left(nul));
    const QStringList parts = text.split(QStringLiteral("\r\n\r\n"), Qt::KeepEmptyParts);
    if (parts.size() != 2)
        return ignored(parts.size() < 2 ? "no blank line" : "several blank lines");
    const QStringList headers = parts[0].split(QStringLiteral("\r\n"), Qt::KeepEmptyParts);
    ReplyBatch b;
    b.body = parts[1].toUtf8();
    const QString& first = headers.front();
    if (first.contains(QLatin1String("/back/"))) {
        b.kind = ReplyKind::Ack;
    } else if (first.contains(QLatin1String("/heart/"))) {
        b.kind = ReplyKind::Heart;
    } else if (first.contains(QLatin1String("/reline/"))) {
        b.kind = ReplyKind::Reline;
    } else {
        b.kind = ReplyKind::Session;
        for (const QString& line : headers) {
            if (!line.contains(QLatin1String("SessionId")))
                continue;
            const QStringList kv = line.split(QLatin1Char(':'));
            if (kv.size() == 2)
                b.session = kv[1].trimmed().toInt();   // 0 when no number or too large
        }
    }
    return b;
}

int BatchReader::drain(QIODevice& source, const std::function<void(const QByteArray&)>& onBatch)
{
    int batches = 0;
    while (source.bytesAvailable() > 0) {
        const QByteArray chunk = source.read(kMaxBatchBytes);
        if (chunk.isEmpty())
            break;
        ++batches;
        onBatch(chunk);
    }
    return batches;
}

SendTable parseWhichSend(const QByteArray& json)
{
    SendTable on;
    on.fill(true);
    cJSON* root = cJSON_ParseWithLength(json.constData(), size_t(json.size()));
    if (!root)
        return on;
    if (cJSON_IsObject(root)) {
        for (int type = 0; type < kSendTypeCount; ++type) {
            // Member names are matched without regard to case, as the
            // relay's tools have always written them.
            const cJSON* item = cJSON_GetObjectItem(root, QByteArray::number(type).constData());
            on[size_t(type)] = !(item && cJSON_IsFalse(item));
        }
    }
    cJSON_Delete(root);
    return on;
}

SendTable readWhichSend(const QString& path)
{
    QFile f(path);
    if (!f.exists() || !f.open(QIODevice::ReadOnly))
        return parseWhichSend(QByteArray());
    if (f.size() > kWhichSendMaxBytes) {
        LOG(WARNING) << "CNT: " << path.toStdString() << " larger than " << kWhichSendMaxBytes
                     << " bytes, every message type stays on";
        return parseWhichSend(QByteArray());
    }
    return parseWhichSend(f.read(kWhichSendMaxBytes));
}
