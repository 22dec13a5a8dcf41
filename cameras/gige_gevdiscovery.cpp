#include "gige_gevdiscovery.h"

#include <QMutexLocker>

CGevDiscovery::CGevDiscovery(std::unique_ptr<GvcpTransport> transport, QByteArray manufacturerPrefix,
                             int recvWaitMs)
    : transport_(std::move(transport)), prefix_(std::move(manufacturerPrefix)), recvWaitMs_(recvWaitMs)
{
    thread_ = std::thread([this] { RevThread(); });
}

CGevDiscovery::~CGevDiscovery()
{
    stop_ = true;   // seen within one receive wait
    if (thread_.joinable())
        thread_.join();
}

bool CGevDiscovery::SendDiscovery()
{
    {
        QMutexLocker lock(&mutex_);
        list_.clear();
        if (++requestId_ == 0)
            requestId_ = 1;
    }
    return transport_->send(gvcp::encodeDiscovery(requestId_)) > 0;
}

void CGevDiscovery::DeviceListAdd(const QByteArray& datagram)
{
    const auto ack = gvcp::parseDiscoveryAck(datagram);
    if (!ack || !ack->manufacturerInfo.startsWith(prefix_))
        return;
    QMutexLocker lock(&mutex_);
    for (const auto& known : list_)
        if (known.mac == ack->mac && known.ip == ack->ip)
            return;
    if (int(list_.size()) < kMaxDevices)
        list_.push_back(*ack);
}

std::vector<gvcp::DiscoveryAck> CGevDiscovery::GetDiscoveryList() const
{
    QMutexLocker lock(&mutex_);
    return list_;
}

void CGevDiscovery::RevThread()
{
    QByteArray datagram;
    while (!stop_.load()) {
        const int n = transport_->recv(datagram, recvWaitMs_);
        if (n > 0)
            DeviceListAdd(datagram);
        else if (n < 0)
            break;   // no socket: nothing will ever arrive
    }
}
