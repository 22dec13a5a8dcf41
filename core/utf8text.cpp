#include "utf8text.h"

#include <QStringDecoder>

#include <algorithm>

bool IsUtf8(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    Q_UNUSED(text);
    return !utf8.hasError();
}

int Utf8CutLength(const QByteArray& bytes, int maxBytes)
{
    if (bytes.size() <= maxBytes)
        return int(bytes.size());
    int len = std::max(0, maxBytes);
    // Back to the start of the character that would be split.
    while (len > 0 && (uchar(bytes[len]) & 0xC0) == 0x80)
        --len;
    return len;
}
