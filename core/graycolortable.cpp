#include "graycolortable.h"

const QVector<QRgb>& GrayColorTable()
{
    static const QVector<QRgb> table = [] {
        QVector<QRgb> t(256);
        for (int i = 0; i < 256; ++i)
            t[i] = 0xFF000000u | (unsigned(i) * 0x010101u);
        return t;
    }();
    return table;
}
