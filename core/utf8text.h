#pragma once
#include <QByteArray>

// True when bytes are valid UTF-8 (the empty text included).
bool IsUtf8(const QByteArray& bytes);

// The longest prefix of UTF-8 bytes, at most maxBytes long, that ends on a
// whole character.
int Utf8CutLength(const QByteArray& bytes, int maxBytes);
