#pragma once
// The relay link's wire pieces, free of sockets and timers: framing of the
// messages we send, the reading of one reply batch, the chunked reader that
// turns a socket's input into batches, and the enable table's file.
#include "sendtype.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>

class QIODevice;

// "<type>:<body bytes>:..!" followed by the body; no separator, no terminator.
QByteArray encodeFrame(int type, const QByteArray& utf8Body);
// Bodies are UTF-8 on the wire; ASCII is unchanged.
QByteArray utf8Body(const QString& body);
inline QByteArray encodeFrame(int type, const QString& body) { return encodeFrame(type, utf8Body(body)); }

enum class ReplyKind { Ack, Heart, Reline, Session, Ignored };

struct ReplyBatch {
    ReplyKind kind = ReplyKind::Ignored;
    // Why an Ignored batch was ignored (a short, fixed text: the fault kind).
    const char* reason = "";
    // Session kind: the last "SessionId" line's number, 0 when none or not a
    // number that fits an int.
    int session = 0;
    // The part after the blank line, UTF-8.
    QByteArray body;
};

// The largest batch read at once; a relay has no length field, so this and
// the socket's read buffer are what bound its input.
constexpr int kMaxBatchBytes = 65535;
constexpr qint64 kReadBufferBytes = 256 * 1024;

// One read from the relay: the text up to the first NUL (invalid UTF-8
// replaced), exactly one "\r\n\r\n"; the first header line decides the kind
// by a case-sensitive "contains".  Anything else is Ignored with a reason.
ReplyBatch classifyReplyBatch(const QByteArray& chunk);

// Drains what source holds now, in chunks of at most kMaxBatchBytes, each
// handed on as one batch.  Returns the number of batches.
class BatchReader {
public:
    static int drain(QIODevice& source, const std::function<void(const QByteArray&)>& onBatch);
};

// The enable table: a member of the JSON object holding exactly false
// switches its type off; any other value, a missing member, or text that is
// not a JSON object leaves the type on.
using SendTable = std::array<bool, kSendTypeCount>;
constexpr qint64 kWhichSendMaxBytes = 64 * 1024;
SendTable parseWhichSend(const QByteArray& json);
// Reads path once; a missing, unreadable or oversized file leaves every type on.
SendTable readWhichSend(const QString& path);
