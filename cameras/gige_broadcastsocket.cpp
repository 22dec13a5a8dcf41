#include "gige_broadcastsocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

int makeSocket()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    return fd;
}

bool bindTo(int fd, quint32 ip, quint16 port)
{
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(ip);
    a.sin_port = htons(port);
    return ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

} // namespace

CBroadcastSocket::CBroadcastSocket(quint32 interfaceIp, const GvcpEndpoint& endpoint)
    : interfaceIp_(interfaceIp), endpoint_(endpoint)
{
}

CBroadcastSocket::~CBroadcastSocket()
{
    closeAll();
}

void CBroadcastSocket::closeAll()
{
    if (recvFd_ >= 0)
        ::close(recvFd_);
    if (sendFd_ >= 0)
        ::close(sendFd_);
    recvFd_ = sendFd_ = -1;
}

bool CBroadcastSocket::Init()
{
    std::mt19937 rng(unsigned(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::uniform_int_distribution<int> ports(10001, 65535);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if (recvFd_ < 0)
            recvFd_ = makeSocket();
        if (sendFd_ < 0)
            sendFd_ = makeSocket();
        if (recvFd_ < 0 || sendFd_ < 0) {
            closeAll();
            continue;
        }
        const quint16 p = quint16(ports(rng));
        if (!bindTo(recvFd_, 0xFFFFFFFFu, p))
            continue;   // the next port, same sockets
        if (bindTo(sendFd_, interfaceIp_, p))
            return true;
        closeAll();     // the receive socket is bound: start over with new sockets
    }
    closeAll();
    return false;
}

int CBroadcastSocket::send(const QByteArray& datagram)
{
    if (!isReady())
        return -1;
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(endpoint_.destination);
    to.sin_port = htons(endpoint_.port);
    const ssize_t n = ::sendto(sendFd_, datagram.constData(), size_t(datagram.size()), 0,
                               reinterpret_cast<sockaddr*>(&to), sizeof to);
    return n < 0 ? -1 : int(n);
}

int CBroadcastSocket::recv(QByteArray& datagram, int waitMs)
{
    datagram.clear();
    if (!isReady())
        return -1;
    pollfd p[2] = {{recvFd_, POLLIN, 0}, {sendFd_, POLLIN, 0}};
    int n;
    do {
        n = ::poll(p, 2, waitMs);
    } while (n < 0 && errno == EINTR);
    if (n <= 0)
        return n < 0 ? -1 : 0;
    // A broadcast acknowledge arrives on the receive socket, one sent straight
    // back to us on the send socket.
    int order[2] = {0, 1};
    if (preferSend_)
        std::swap(order[0], order[1]);
    preferSend_ = !preferSend_;
    for (int i : order) {
        if (!(p[i].revents & POLLIN))
            continue;
        char buf[gvcp::kMaxDatagram];
        const ssize_t len = ::recv(p[i].fd, buf, sizeof buf, 0);
        if (len > 0) {
            datagram = QByteArray(buf, int(len));
            return int(len);
        }
    }
    return 0;
}
