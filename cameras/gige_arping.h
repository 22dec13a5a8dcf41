#pragma once
// ARP probe of one address on one interface: is the address in use?
#include "gige_gvcp.h"

#include <QByteArray>
#include <QString>

namespace arp {

constexpr int kFrameSize = 60;
constexpr quint16 kEtherTypeArp = 0x0806;

// Broadcast ARP request "who has target? tell ownIp", padded to 60 bytes.
QByteArray buildRequest(const gvcp::Mac& ownMac, quint32 ownIp, quint32 target);
// True for an ARP reply from target addressed to ownMac.
bool isReplyFrom(const QByteArray& frame, const gvcp::Mac& ownMac, quint32 target);

} // namespace arp

// Results of a probe.
constexpr int kArpFree = 1;
constexpr int kArpInUse = 0;
constexpr int kArpError = -1;   // no probe was possible: the address is not known to be free

// arpping(test address, own address, own MAC, interface name): sends one
// request and listens waitMs (monotonic clock) for the answer.  1 free,
// 0 in use, -1 no probe possible (no packet socket, unknown interface, send
// or read error).
int arpping(quint32 test, quint32 own, const gvcp::Mac& ownMac, const QString& interfaceName,
            int waitMs = 1000);

// The probe behind a seam, so that the address choice can be tested.
class ArpProber {
public:
    virtual ~ArpProber() = default;
    virtual int probe(quint32 test, quint32 own, const gvcp::Mac& ownMac,
                      const QString& interfaceName) = 0;
};

class PacketArpProber : public ArpProber {
public:
    explicit PacketArpProber(int waitMs = 1000) : waitMs_(waitMs) {}
    int probe(quint32 test, quint32 own, const gvcp::Mac& ownMac,
              const QString& interfaceName) override
    {
        return arpping(test, own, ownMac, interfaceName, waitMs_);
    }
private:
    int waitMs_;
};
