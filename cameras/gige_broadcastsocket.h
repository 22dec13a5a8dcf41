#pragma once
// The UDP endpoint of GVCP commands on one interface.
#include "gige_gvcp.h"

#include <QByteArray>

// Where commands go: the limited broadcast on the GVCP port on the panel; a
// test points it at its own fake camera.
struct GvcpEndpoint {
    quint32 destination = 0xFFFFFFFFu;
    quint16 port = gvcp::kPort;
};

// Sends GVCP commands and receives their acknowledges.
class GvcpTransport {
public:
    virtual ~GvcpTransport() = default;
    // Bytes sent, or -1.
    virtual int send(const QByteArray& datagram) = 0;
    // Waits at most waitMs for one datagram: its length (datagram holds it),
    // 0 when none came, -1 when the transport is unusable.
    virtual int recv(QByteArray& datagram, int waitMs) = 0;
};

// CBroadcastSocket: two UDP sockets on one random local port P (at least
// 10001): the receive socket bound to 255.255.255.255:P for broadcast
// acknowledges, the send socket bound to the interface address:P, which
// also gets acknowledges sent straight back to the sender.  Both are read.
class CBroadcastSocket : public GvcpTransport {
public:
    CBroadcastSocket(quint32 interfaceIp, const GvcpEndpoint& endpoint = GvcpEndpoint());
    ~CBroadcastSocket() override;
    CBroadcastSocket(const CBroadcastSocket&) = delete;
    CBroadcastSocket& operator=(const CBroadcastSocket&) = delete;

    // Up to 1000 attempts to bind both sockets; false leaves them unset.
    bool Init();
    bool isReady() const { return recvFd_ >= 0 && sendFd_ >= 0; }

    int send(const QByteArray& datagram) override;
    int recv(QByteArray& datagram, int waitMs) override;

private:
    void closeAll();

    quint32 interfaceIp_;
    GvcpEndpoint endpoint_;
    int recvFd_ = -1;
    int sendFd_ = -1;
    bool preferSend_ = false;   // alternate when both have data
};
