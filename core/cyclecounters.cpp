#include "cyclecounters.h"

#include "storedints.h"

#include <QFile>
#include <QSaveFile>

int gAllNum[kCameraSlots] = {};
int gFailNum[kCameraSlots] = {};

namespace {
const char kCountFile[] = "count.txt";
constexpr unsigned kMaxCount = 100000000;

int Bounded(int value)
{
    return unsigned(value) > kMaxCount ? 0 : value;   // negative counts as above
}
}  // namespace

void CountRead()
{
    QFile file{QLatin1String(kCountFile)};
    QByteArray text;
    if (file.open(QIODevice::ReadOnly))
        text = file.readAll();
    // Slot 0 all, slot 0 NG, slot 1 all, ...
    const QVector<int> values = ParseStoredInts(text, 2 * kCameraSlots);
    for (int c = 0; c < kCameraSlots; ++c) {
        gAllNum[c] = Bounded(values[2 * c]);
        gFailNum[c] = Bounded(values[2 * c + 1]);
    }
}

bool CountWrite()
{
    QByteArray text;
    for (int c = 0; c < kCameraSlots; ++c)
        text += QByteArray::number(gAllNum[c]) + ' ' + QByteArray::number(gFailNum[c]) + ' ';
    // A power loss mid-write must not zero the counters: write aside, then rename.
    QSaveFile file{QLatin1String(kCountFile)};
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text);
    return file.commit();
}
