// Relay input: the chunked batch reader and the batch classifier over any
// bytes the relay may send, and the enable table's parse over any file.
#include "cntframe.h"

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    qint64 total = 0;
    BatchReader::drain(source, [&](const QByteArray& batch) {
        if (batch.size() > kMaxBatchBytes)
            std::abort();
        total += batch.size();
        const ReplyBatch r = classifyReplyBatch(batch);
        if ((r.kind == ReplyKind::Ignored) != (r.reason[0] != '\0'))
            std::abort();
        if (r.kind != ReplyKind::Session && r.session != 0)
            std::abort();
        if (r.body.size() > 3 * batch.size())   // a replaced byte grows to three
            std::abort();
    });
    if (total != qint64(size))
        std::abort();
    // The whole input as one read, however long.
    classifyReplyBatch(bytes);
    parseWhichSend(bytes.left(int(kWhichSendMaxBytes)));
    return 0;
}
