#include "gige_gevforceip.h"

#include "clock.h"

#include <atomic>

namespace {
std::atomic<quint16> gForceIpRequestId{0};
}

quint16 CGevForceIp::nextRequestId()
{
    quint16 id = ++gForceIpRequestId;
    while (id == 0)
        id = ++gForceIpRequestId;
    return id;
}

bool CGevForceIp::GevSetForceIpCustom(GvcpTransport& transport, const gvcp::Mac& mac, quint32 ip,
                                      quint32 mask, quint32 gateway, const ForceIpTiming& timing)
{
    if (gvcp::isZeroMac(mac))
        return false;
    const quint16 id = nextRequestId();
    const QByteArray command = gvcp::encodeForceIp(id, mac, ip, mask, gateway);
    QByteArray datagram;
    for (int send = 0; send < timing.sends; ++send) {
        if (transport.send(command) <= 0)
            return false;
        for (int i = 0; i < timing.receives; ++i) {
            const int n = transport.recv(datagram, timing.recvWaitMs);
            if (n < 0)
                return false;
            appClock().sleepMs(timing.pauseMs);
            if (n == 0)
                continue;
            if (const auto status = gvcp::forceIpAckStatus(datagram, id))
                return *status == 0;
        }
    }
    return false;
}
