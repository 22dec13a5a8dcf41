#include "storedints.h"

#include <QStringList>
#include <climits>

namespace {
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
}  // namespace

QVector<int> ParseStoredInts(const QByteArray& text, int count)
{
    QVector<int> values(count, 0);
    const char* p = text.constData();
    const char* const end = p + text.size();
    for (int i = 0; i < count; ++i) {
        while (p < end && IsSpace(*p))
            ++p;
        bool negative = false;
        if (p < end && (*p == '-' || *p == '+'))
            negative = *p++ == '-';
        if (p >= end || *p < '0' || *p > '9')
            break;   // end of text or not a number: this and every later value stay 0
        long long v = 0;
        for (; p < end && *p >= '0' && *p <= '9'; ++p) {
            if (v <= INT_MAX)
                v = v * 10 + (*p - '0');
        }
        if (negative)
            v = -v;
        values[i] = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : int(v);
    }
    return values;
}

bool ParseWholeInts(const QByteArray& text, QVector<int>* items, int maxItems)
{
    items->clear();
    const char* p = text.constData();
    const char* const end = p + text.size();
    for (;;) {
        while (p < end && IsSpace(*p))
            ++p;
        if (p >= end)
            return true;
        if (items->size() >= maxItems)
            return false;
        bool negative = false;
        if (*p == '-' || *p == '+')
            negative = *p++ == '-';
        if (p >= end || *p < '0' || *p > '9')
            return false;
        long long v = 0;
        for (; p < end && *p >= '0' && *p <= '9'; ++p) {
            v = v * 10 + (*p - '0');
            if (v > 1LL + INT_MAX)
                return false;
        }
        if (p < end && !IsSpace(*p))
            return false;
        if (negative)
            v = -v;
        if (v > INT_MAX || v < INT_MIN)
            return false;
        items->append(int(v));
    }
}

QString JoinStoredInts(const QVector<int>& values)
{
    QStringList parts;
    parts.reserve(values.size());
    for (int v : values)
        parts << QString::number(v);
    return parts.join(QLatin1Char(' '));
}
