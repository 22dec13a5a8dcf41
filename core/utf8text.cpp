#include "utf8text.h"

#include <QStringDecoder>

bool IsUtf8(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    Q_UNUSED(text);
    return !utf8.hasError();
}
