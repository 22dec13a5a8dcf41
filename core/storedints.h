#pragma once
// Stored lists of integers ("12 -3 40"): decimal numbers separated by white
// space.  Reading follows stream rules: a value beyond the end of the text
// reads as 0, and from the first item that is not a number on, every value
// reads as 0.  A number too large for an int saturates, so that the range
// checks of the callers still see it as out of range.
#include <QByteArray>
#include <QString>
#include <QVector>

QVector<int> ParseStoredInts(const QByteArray& text, int count);
// Every item of text, each a whole decimal number that fits an int, into
// *items.  False, with *items holding the items read so far, when an item is
// anything else ("3.0", "x", a number too large) or when text holds more
// than maxItems items.  Empty text gives no items and true.
bool ParseWholeInts(const QByteArray& text, QVector<int>* items, int maxItems);
// The stored form: single spaces, none at either end.
QString JoinStoredInts(const QVector<int>& values);
