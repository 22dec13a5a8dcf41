#include "messages.h"

int gLan = LanSimplifiedChinese;
QString gaLanStr[kMessageIds * 3];

void FillMessageTable()
{
    // The generated table is compiled in by the message-table build step.
}

const QString& Msg(int id)
{
    return Msg(id, gLan);
}

const QString& Msg(int id, int language)
{
    static const QString empty;
    if (id < 0 || id >= kMessageIds || language < 0 || language > 2)
        return empty;
    return gaLanStr[3 * id + language];
}
