#pragma once
// GVCP discovery on one interface: broadcasts the discovery command and
// collects the acknowledges of our cameras on a receive thread.
#include "gige_broadcastsocket.h"
#include "gige_gvcp.h"

#include <QByteArray>
#include <QMutex>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class CGevDiscovery {
public:
    static constexpr int kMaxDevices = 250;

    // transport: the interface's socket pair (or a test's fake).  The receive
    // thread starts at once.
    explicit CGevDiscovery(std::unique_ptr<GvcpTransport> transport,
                           QByteArray manufacturerPrefix = QByteArrayLiteral("F622"),
                           int recvWaitMs = 200);
    ~CGevDiscovery();
    CGevDiscovery(const CGevDiscovery&) = delete;
    CGevDiscovery& operator=(const CGevDiscovery&) = delete;

    // Clears the list and broadcasts one discovery command; false when it
    // could not be sent.
    bool SendDiscovery();
    // Offers one received datagram to the list: only full discovery
    // acknowledges of our manufacturer; the same MAC and address once; at
    // most kMaxDevices cameras.
    void DeviceListAdd(const QByteArray& datagram);
    std::vector<gvcp::DiscoveryAck> GetDiscoveryList() const;

private:
    void RevThread();

    std::unique_ptr<GvcpTransport> transport_;
    QByteArray prefix_;
    int recvWaitMs_;
    mutable QMutex mutex_;
    std::vector<gvcp::DiscoveryAck> list_;
    quint16 requestId_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
