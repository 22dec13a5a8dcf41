#pragma once
#include <QByteArray>

// True when bytes are valid UTF-8 (the empty text included).
bool IsUtf8(const QByteArray& bytes);
