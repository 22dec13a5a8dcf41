#pragma once
// Big-endian (network order) field access in packet buffers, shared by the
// GVCP and ARP codecs.
#include <QByteArray>
#include <QtGlobal>

namespace netbytes {

inline void put16(QByteArray& b, int at, quint16 v)
{
    b[at] = char(v >> 8);
    b[at + 1] = char(v & 0xFF);
}

inline void put32(QByteArray& b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (24 - 8 * i)) & 0xFF);
}

inline quint16 get16(const QByteArray& b, int at)
{
    return quint16((quint8(b[at]) << 8) | quint8(b[at + 1]));
}

inline quint32 get32(const QByteArray& b, int at)
{
    return (quint32(quint8(b[at])) << 24) | (quint32(quint8(b[at + 1])) << 16)
        | (quint32(quint8(b[at + 2])) << 8) | quint32(quint8(b[at + 3]));
}

} // namespace netbytes
