#pragma once
// GigE Vision Control Protocol (GVCP) messages used by the address repair:
// discovery and the vendor force-IP command, with their acknowledges.
// Multi-byte fields are big-endian on the wire; addresses in this program are
// host-order quint32.
#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>

namespace gvcp {

constexpr quint16 kPort = 3956;
constexpr quint8 kKey = 0x42;
constexpr quint8 kFlagAckRequired = 0x01;
constexpr quint8 kFlagBroadcastAck = 0x10;
constexpr quint16 kDiscoveryCmd = 0x0002;
constexpr quint16 kDiscoveryAck = 0x0003;
constexpr quint16 kForceIpCmd = 0xF008;
constexpr quint16 kForceIpAck = 0xF009;
constexpr int kHeaderSize = 8;
constexpr int kDiscoveryAckSize = 256;
constexpr int kForceIpCmdSize = 64;
constexpr int kForceIpPayload = 56;
constexpr int kMaxDatagram = 576;

using Mac = std::array<quint8, 6>;

struct AckHeader {
    quint16 status = 0;
    quint16 command = 0;
    quint16 length = 0;
    quint16 requestId = 0;
};

// The fields of a discovery acknowledge the repair uses.
struct DiscoveryAck {
    Mac mac{};
    quint32 ip = 0;
    quint32 mask = 0;
    QByteArray manufacturerInfo;   // 48 bytes
};

QByteArray encodeDiscovery(quint16 requestId);
QByteArray encodeForceIp(quint16 requestId, const Mac& mac, quint32 ip, quint32 mask,
                         quint32 gateway);

// Header of an acknowledge; nothing for fewer than 8 bytes.
std::optional<AckHeader> parseAckHeader(const QByteArray& datagram);
// A full 256-byte discovery acknowledge (command 0x0003); anything shorter or
// of another command is rejected, so stale or cut datagrams are never read.
std::optional<DiscoveryAck> parseDiscoveryAck(const QByteArray& datagram);
// The status of a force-IP acknowledge for requestId: nothing when the
// datagram is not that acknowledge.
std::optional<quint16> forceIpAckStatus(const QByteArray& datagram, quint16 requestId);

// 00:00:00:00:00:00 names no camera: a command to it is never sent.
bool isZeroMac(const Mac& mac);

QString ipText(quint32 ip);
QString macText(const Mac& mac);

} // namespace gvcp
