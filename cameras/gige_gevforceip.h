#pragma once
// The vendor force-IP command: gives the camera with a MAC address a new
// address, mask and gateway.
#include "gige_broadcastsocket.h"
#include "gige_gvcp.h"

struct ForceIpTiming {
    int sends = 4;          // commands sent before giving up
    int receives = 200;     // receive waits per command
    int recvWaitMs = 200;
    int pauseMs = 5;        // after each receive (application clock)
};

class CGevForceIp {
public:
    // True when the camera acknowledged with status 0.  Acknowledges are
    // read from both sockets of the transport; other datagrams, other
    // request ids and short datagrams are ignored.  A zero MAC is refused
    // without sending.
    static bool GevSetForceIpCustom(GvcpTransport& transport, const gvcp::Mac& mac, quint32 ip,
                                    quint32 mask, quint32 gateway,
                                    const ForceIpTiming& timing = ForceIpTiming());
    // The request id the next command will carry (all commands share it).
    static quint16 nextRequestId();
};
