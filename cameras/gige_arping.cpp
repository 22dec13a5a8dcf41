#include "gige_arping.h"

#include "gige_netbytes.h"


#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace arp {
namespace {

using netbytes::get16;
using netbytes::get32;
using netbytes::put16;
using netbytes::put32;

} // namespace

QByteArray buildRequest(const gvcp::Mac& ownMac, quint32 ownIp, quint32 target)
{
    QByteArray f(kFrameSize, '\0');
    for (int i = 0; i < 6; ++i) {
        f[i] = char(0xFF);                       // destination: broadcast
        f[6 + i] = char(ownMac[size_t(i)]);      // source
        f[22 + i] = char(ownMac[size_t(i)]);     // sender hardware address
    }
    put16(f, 12, kEtherTypeArp);
    put16(f, 14, 1);        // hardware type: Ethernet
    put16(f, 16, 0x0800);   // protocol type: IPv4
    f[18] = 6;
    f[19] = 4;
    put16(f, 20, 1);        // request
    put32(f, 28, ownIp);
    // target hardware address (32..37) stays zero
    put32(f, 38, target);
    return f;
}

bool isReplyFrom(const QByteArray& f, const gvcp::Mac& ownMac, quint32 target)
{
    if (f.size() < 42)
        return false;
    if (quint8(f[12]) != 0x08 || quint8(f[13]) != 0x06 || quint8(f[20]) != 0 || quint8(f[21]) != 2)
        return false;
    for (int i = 0; i < 6; ++i)
        if (quint8(f[32 + i]) != ownMac[size_t(i)])
            return false;
    return get32(f, 28) == target;
}

} // namespace arp

int arpping(quint32 test, quint32 own, const gvcp::Mac& ownMac, const QString& interfaceName,
            int waitMs)
{
    const QByteArray name = interfaceName.toLocal8Bit();
    const unsigned ifindex = if_nametoindex(name.constData());
    if (ifindex == 0)
        return kArpError;
    const int fd = ::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ARP));
    if (fd < 0)
        return kArpError;   // e.g. no CAP_NET_RAW
    sockaddr_ll addr {};
    addr.sll_family = AF_PACKET;
    addr.sll_protocol = htons(ETH_P_ARP);
    addr.sll_ifindex = int(ifindex);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return kArpError;
    }
    const QByteArray request = arp::buildRequest(ownMac, own, test);
    sockaddr_ll to = addr;
    to.sll_halen = 6;
    for (int i = 0; i < 6; ++i)
        to.sll_addr[i] = 0xFF;
    if (::sendto(fd, request.constData(), size_t(request.size()), 0,
                 reinterpret_cast<sockaddr*>(&to), sizeof to) != request.size()) {
        ::close(fd);
        return kArpError;
    }
    int result = kArpFree;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd p {fd, POLLIN, 0};
        const int n = ::poll(&p, 1, int(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result = kArpError;
            break;
        }
        if (n == 0)
            break;
        char buf[1514];
        const ssize_t len = ::recv(fd, buf, sizeof buf, 0);
        if (len < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            result = kArpError;
            break;
        }
        if (arp::isReplyFrom(QByteArray(buf, int(len)), ownMac, test)) {
            result = kArpInUse;
            break;
        }
    }
    ::close(fd);
    return result;
}
