#include "storedints.h"

#include <QStringList>
#include <climits>

namespace {
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
}  // namespace

QVector<int> ParseStoredInts(const QByteArray& text, int count, StoredIntRule rule)
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
        bool capped = false;   // digits past INT_MAX were dropped
        for (; p < end && *p >= '0' && *p <= '9'; ++p) {
            if (v <= INT_MAX)
                v = v * 10 + (*p - '0');
            else
                capped = true;
        }
        if (negative)
            v = -v;
        if (rule == StoredIntRule::WholeItem
            && (capped || v > INT_MAX || v < INT_MIN || (p < end && !IsSpace(*p))))
            break;
        values[i] = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : int(v);
    }
    return values;
}

QString JoinStoredInts(const QVector<int>& values)
{
    QStringList parts;
    parts.reserve(values.size());
    for (int v : values)
        parts << QString::number(v);
    return parts.join(QLatin1Char(' '));
}
