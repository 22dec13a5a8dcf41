// Datagrams of the GigE address repair as they arrive from the network:
// GVCP acknowledges and ARP replies.  The decoders read only the bytes they
// are given and accept only the messages they describe; the discovery list
// stays within its bound.
#include "gige_arping.h"
#include "gige_gevdiscovery.h"
#include "gige_gvcp.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {
// A transport with no socket: the receive thread ends at once.
class NoSocket : public GvcpTransport {
public:
    int send(const QByteArray&) override { return -1; }
    int recv(QByteArray&, int) override { return -1; }
};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray d(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const auto header = gvcp::parseAckHeader(d);
    if (bool(header) != (d.size() >= gvcp::kHeaderSize))
        std::abort();
    if (const auto ack = gvcp::parseDiscoveryAck(d)) {
        if (d.size() < gvcp::kDiscoveryAckSize || header->command != gvcp::kDiscoveryAck
            || ack->manufacturerInfo.size() != 48)
            std::abort();
    }
    if (header && bool(gvcp::forceIpAckStatus(d, header->requestId)) != (header->command == gvcp::kForceIpAck))
        std::abort();

    static CGevDiscovery discovery(std::make_unique<NoSocket>(), QByteArrayLiteral("F622"), 0);
    for (int i = 0; i < 3; ++i)   // the same camera answering again is listed once
        discovery.DeviceListAdd(d);
    if (discovery.GetDiscoveryList().size() > size_t(CGevDiscovery::kMaxDevices))
        std::abort();

    // An ARP frame checked against the addresses it carries itself.
    if (d.size() >= 42) {
        gvcp::Mac own{};
        for (int i = 0; i < 6; ++i)
            own[size_t(i)] = quint8(d[32 + i]);
        const quint32 sender = (quint32(quint8(d[28])) << 24) | (quint32(quint8(d[29])) << 16)
                               | (quint32(quint8(d[30])) << 8) | quint32(quint8(d[31]));
        const bool reply = quint8(d[12]) == 0x08 && quint8(d[13]) == 0x06 && quint8(d[20]) == 0 && quint8(d[21]) == 2;
        if (arp::isReplyFrom(d, own, sender) && !reply)
            std::abort();
    } else if (arp::isReplyFrom(d, gvcp::Mac{}, 0)) {
        std::abort();
    }
    return 0;
}
