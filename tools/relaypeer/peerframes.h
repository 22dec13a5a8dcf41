#pragma once
// The relay peer's reading of what the monitor sends: its own frame decoder
// and body checks, written from the wire protocol alone so that a fault in
// the monitor's encoder cannot hide behind shared code.
//
// Frame:  <type>:<length>:..!<body>     header ^(0|[1-9][0-9]*):(0|[1-9][0-9]*):\.\.!
// The length counts the body's UTF-8 bytes; frames follow each other with no
// separator, so the body is cut by the length only (it may hold ":..!").
#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <vector>

namespace relaypeer {

constexpr int kMaxType = 20;
constexpr int kMaxLengthDigits = 9;
constexpr qint64 kDefaultLengthCap = 4 * 1024 * 1024;

// Types the monitor never sends (reserved or unused numbers).
bool isNeverSent(int type);

struct Frame {
    int type = -1;
    qint64 declared = 0;   // length from the header
    QByteArray body;       // exactly `declared` bytes
};

// Incremental decoder: bytes go in as they are read (a frame may be split
// over any number of reads, a read may hold several frames).  The header is
// checked byte by byte, so junk is caught at its first wrong byte and never
// buffered.  A broken header or a length over the cap is fatal: the stream
// cannot be resynchronised, so the caller closes the connection.  The body
// buffer only grows with bytes that actually arrived, and never past the cap.
class FrameDecoder {
public:
    enum class Error {
        None,
        BadHeader,       // a byte the header grammar does not allow
        LengthDigits,    // more than 9 length digits
        TypeDigits,      // a type of more than 2 digits
        OverCap,         // declared length above the cap
    };

    explicit FrameDecoder(qint64 lengthCap = kDefaultLengthCap);

    // Feeds bytes; completed frames are appended to *out.  Returns the number
    // of bytes consumed (less than size only after a fatal error).
    size_t feed(const char* data, size_t size, std::vector<Frame>* out);
    size_t feed(const QByteArray& bytes, std::vector<Frame>* out) { return feed(bytes.constData(), size_t(bytes.size()), out); }

    bool failed() const { return error_ != Error::None; }
    Error error() const { return error_; }
    QString errorText() const { return errorText_; }
    // True while a frame has begun (header bytes or a partial body held).
    bool midFrame() const { return state_ != State::TypeFirst || !header_.isEmpty(); }
    // True once the header of the current frame is complete and its body is
    // still short.
    bool inBody() const { return state_ == State::Body; }
    qint64 lengthCap() const { return cap_; }
    qint64 bufferedBytes() const { return header_.size() + body_.size(); }
    void reset();

private:
    enum class State { TypeFirst, Type, LengthFirst, Length, Dot1, Dot2, Bang, Body };
    bool fail(Error e, const QString& text);
    void finishHeader();

    qint64 cap_;
    State state_ = State::TypeFirst;
    Error error_ = Error::None;
    QString errorText_;
    QByteArray header_;   // at most 2 + 1 + 9 + 4 bytes
    int type_ = 0;
    qint64 length_ = 0;
    QByteArray body_;
};

QString errorName(FrameDecoder::Error e);

// Strict UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(const QByteArray& bytes);

// Key order in JSON: an order-keeping reader of its own, since QJsonObject
// sorts its keys.  Nodes keep the kind, the keys in document order and, for
// numbers, the text as printed.
struct OrderedJson {
    enum Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Null;
    QByteArray numberText;
    std::vector<std::pair<QString, OrderedJson>> members;   // objects
    std::vector<OrderedJson> items;                         // arrays
    const OrderedJson* member(const QString& key) const;
    QStringList keys() const;
};
// Parses a JSON text; false (with *error) on any syntax error or a nesting
// deeper than 64.
bool readOrderedJson(const QByteArray& text, OrderedJson* out, QString* error);
QString kindName(OrderedJson::Kind k);

// Result of checking one body against its type.
struct BodyCheck {
    QStringList violations;
    QJsonObject fields;   // what was read: JSON members, form pairs, the path
};
BodyCheck checkBody(int type, const QByteArray& body);

// The form key lists (types 1, 11, 15, 16); empty for other types.
QStringList formKeys(int type);
// The top-level JSON keys in order (types 2, 7, 8, 9, 10, 18, 20).
QStringList jsonKeys(int type);

} // namespace relaypeer
