#include "messages.h"

int gLan = LanSimplifiedChinese;
QString gaLanStr[kMessageIds * 3];

namespace {

struct MessageRow {
    int id;
    const char* text[3];  // UTF-8, in column order (LanSimplifiedChinese .. LanTraditionalChinese)
};

// kMessageRows: generated at build time from core/messages.tsv.
#include "messages_data.inc"

}  // namespace

void FillMessageTable()
{
    // Rows without an entry stay empty in every language.
    for (QString& text : gaLanStr)
        text.clear();
    for (const MessageRow& row : kMessageRows) {
        for (int language = 0; language < 3; ++language)
            gaLanStr[3 * row.id + language] = QString::fromUtf8(row.text[language]);
    }
}

const QString& Msg(int id)
{
    // A language outside the table means the default one.
    const bool known = gLan >= LanSimplifiedChinese && gLan <= LanTraditionalChinese;
    return Msg(id, known ? gLan : LanSimplifiedChinese);
}

const QString& Msg(int id, int language)
{
    static const QString empty;
    if (id < 0 || id >= kMessageIds || language < 0 || language > 2)
        return empty;
    return gaLanStr[3 * id + language];
}
