#pragma once
// Stored lists of integers ("12 -3 40"): decimal numbers separated by white
// space.  Reading follows stream rules: a value beyond the end of the text
// reads as 0, and from the first item that is not a number on, every value
// reads as 0.  A number too large for an int saturates, so that the range
// checks of the callers still see it as out of range.
#include <QByteArray>
#include <QString>
#include <QVector>

enum class StoredIntRule {
    // "12abc" reads 12 and stops after it; too large a number saturates.
    Stream,
    // An item must be a whole number that fits an int: "12abc" or too large
    // a number reads 0, and so does every later value.
    WholeItem,
};

QVector<int> ParseStoredInts(const QByteArray& text, int count, StoredIntRule rule = StoredIntRule::Stream);
// The stored form: single spaces, none at either end.
QString JoinStoredInts(const QVector<int>& values);
