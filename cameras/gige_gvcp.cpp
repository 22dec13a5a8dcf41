#include "gige_gvcp.h"

#include "gige_netbytes.h"

#include <QStringList>

namespace gvcp {
namespace {

using netbytes::get16;
using netbytes::get32;
using netbytes::put16;
using netbytes::put32;

QByteArray header(quint16 command, quint16 length, quint16 requestId, int total)
{
    QByteArray b(total, '\0');
    b[0] = char(kKey);
    b[1] = char(kFlagAckRequired | kFlagBroadcastAck);
    put16(b, 2, command);
    put16(b, 4, length);
    put16(b, 6, requestId);
    return b;
}

} // namespace

QByteArray encodeDiscovery(quint16 requestId)
{
    return header(kDiscoveryCmd, 0, requestId, kHeaderSize);
}

QByteArray encodeForceIp(quint16 requestId, const Mac& mac, quint32 ip, quint32 mask,
                         quint32 gateway)
{
    QByteArray b = header(kForceIpCmd, kForceIpPayload, requestId, kForceIpCmdSize);
    for (int i = 0; i < 6; ++i)
        b[8 + i] = char(mac[size_t(i)]);
    put32(b, 14, ip);
    put32(b, 18, mask);
    put32(b, 22, gateway);
    b[26] = 0;
    b[27] = 1;
    return b;
}

std::optional<AckHeader> parseAckHeader(const QByteArray& d)
{
    if (d.size() < kHeaderSize)
        return std::nullopt;
    return AckHeader{get16(d, 0), get16(d, 2), get16(d, 4), get16(d, 6)};
}

std::optional<DiscoveryAck> parseDiscoveryAck(const QByteArray& d)
{
    if (d.size() < kDiscoveryAckSize)
        return std::nullopt;
    const auto h = parseAckHeader(d);
    if (!h || h->command != kDiscoveryAck)
        return std::nullopt;
    DiscoveryAck a;
    for (int i = 0; i < 6; ++i)
        a.mac[size_t(i)] = quint8(d[18 + i]);
    a.ip = get32(d, 44);
    a.mask = get32(d, 60);
    a.manufacturerInfo = d.mid(176, 48);
    return a;
}

std::optional<quint16> forceIpAckStatus(const QByteArray& d, quint16 requestId)
{
    const auto h = parseAckHeader(d);
    if (!h || h->command != kForceIpAck || h->requestId != requestId)
        return std::nullopt;
    return h->status;
}

bool isZeroMac(const Mac& mac)
{
    for (quint8 b : mac)
        if (b != 0)
            return false;
    return true;
}

QString ipText(quint32 ip)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(ip >> 24).arg((ip >> 16) & 0xFF).arg((ip >> 8) & 0xFF).arg(ip & 0xFF);
}

QString macText(const Mac& mac)
{
    QStringList parts;
    for (quint8 b : mac)
        parts << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
    return parts.join(QLatin1Char(':'));
}

} // namespace gvcp
