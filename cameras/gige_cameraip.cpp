#include "gige_cameraip.h"

#include <QDebug>
#include <QThread>

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

// ---------------------------------------------------------------- interfaces
std::vector<NetInterface> SystemNetInterfaces::addresses() const
{
    std::vector<NetInterface> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return out;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET)
            continue;
        NetInterface n;
        n.name = QString::fromLocal8Bit(a->ifa_name);
        n.ip = ntohl(reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr);
        if (a->ifa_netmask)
            n.mask = ntohl(reinterpret_cast<sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr);
        ifreq req {};
        std::strncpy(req.ifr_name, a->ifa_name, IFNAMSIZ - 1);
        if (fd >= 0 && ::ioctl(fd, SIOCGIFHWADDR, &req) == 0)
            for (int i = 0; i < 6; ++i)
                n.mac[size_t(i)] = quint8(req.ifr_hwaddr.sa_data[i]);
        out.push_back(n);
    }
    if (fd >= 0)
        ::close(fd);
    freeifaddrs(list);
    return out;
}

QStringList SystemNetInterfaces::links() const
{
    QStringList out;
    if (struct if_nameindex* names = ::if_nameindex()) {
        for (struct if_nameindex* n = names; n->if_index != 0; ++n)
            out << QString::fromLocal8Bit(n->if_name);
        if_freenameindex(names);
    }
    return out;
}

// ---------------------------------------------------------------- random
ClockSeededGigeRng::ClockSeededGigeRng()
    : state_(quint64(std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now().time_since_epoch()).count())
             | 1)
{
}

quint32 ClockSeededGigeRng::hostBits()
{
    quint32 r = 0;
    for (int i = 0; i < 4; ++i) {
        // xorshift64*
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        const quint64 v = state_ * 0x2545F4914F6CDD1DULL;
        r = (r << 8) | quint32((v >> 32) % 245 + 10);
    }
    return r;
}

GigeRepairEnv GigeRepairEnv::system(const QStringList& allowedInterfaces)
{
    GigeRepairEnv env;
    env.allowedInterfaces = allowedInterfaces;
    env.interfaces = std::make_shared<SystemNetInterfaces>();
    env.prober = std::make_shared<PacketArpProber>();
    env.rng = std::make_shared<ClockSeededGigeRng>();
    return env;
}

QString GigeRepairOutcome::text() const
{
    static const char* const why[] = {
        "re-addressed", "every candidate address is in use", "the address could not be checked",
        "the subnet has no free address", "the camera did not acknowledge",
        "the camera reported no MAC address"};
    return QStringLiteral("GigE camera %1 at %2 on %3: %4%5")
        .arg(gvcp::macText(mac), gvcp::ipText(oldIp), interfaceName,
             QString::fromLatin1(why[result]),
             result == Repaired ? QStringLiteral(" to ") + gvcp::ipText(newIp) : QString());
}

// ---------------------------------------------------------------- addresses
namespace gigeaddr {

quint32 network(quint32 ip, quint32 mask) { return ip & mask; }
quint32 broadcast(quint32 ip, quint32 mask) { return (ip & mask) | ~mask; }

quint32 candidate(quint32 interfaceIp, quint32 mask, quint32 r)
{
    return (interfaceIp & mask) | (~mask & r);
}

bool isFreeForCamera(quint32 c, quint32 interfaceIp, quint32 mask,
                     const std::vector<quint32>& ownAddresses)
{
    if (network(c, mask) != network(interfaceIp, mask))
        return false;
    if (c == network(interfaceIp, mask) || c == broadcast(interfaceIp, mask) || c == interfaceIp)
        return false;
    for (quint32 own : ownAddresses)
        if (c == own)
            return false;
    return true;
}

} // namespace gigeaddr

// ---------------------------------------------------------------- CIpConfig
CIpConfig::CIpConfig(const GigeRepairEnv& env) : env_(env) {}

CIpConfig::~CIpConfig()
{
    clients_.clear();   // each stops and joins its receive thread
}

std::vector<NetInterface> CIpConfig::usableInterfaces(const std::vector<NetInterface>& all,
                                                      const QStringList& allowed)
{
    std::vector<NetInterface> out;
    for (const NetInterface& n : all) {
        if (int(out.size()) >= kMaxInterfaces)
            break;
        if (!allowed.contains(n.name))
            continue;
        const quint32 first = n.ip >> 24;
        if (first == 0 || first == 255 || n.ip == 0x7F000001u || n.ip == 0xE0000001u)
            continue;
        out.push_back(n);
    }
    return out;
}

std::unique_ptr<GvcpTransport> CIpConfig::makeTransport(quint32 interfaceIp) const
{
    if (env_.transport)
        return env_.transport(interfaceIp);
    auto s = std::make_unique<CBroadcastSocket>(interfaceIp, env_.endpoint);
    s->Init();
    return s;
}

int CIpConfig::DeviceEnumeInit()
{
    const std::vector<NetInterface> all = env_.interfaces ? env_.interfaces->addresses()
                                                          : std::vector<NetInterface>{};
    ownAddresses_.clear();
    for (const NetInterface& n : all)
        ownAddresses_.push_back(n.ip);
    interfaces_ = usableInterfaces(all, env_.allowedInterfaces);
    clients_.clear();
    for (const NetInterface& n : interfaces_) {
        clients_.push_back(std::make_unique<CGevDiscovery>(makeTransport(n.ip), env_.manufacturerPrefix,
                                                           env_.timing.recvWaitMs));
    }
    return int(interfaces_.size());
}

int CIpConfig::RefreshDevList()
{
    devices_.clear();
    for (auto& c : clients_)
        c->SendDiscovery();
    // Real time, not the program clock: the receive threads collect real replies meanwhile.
    QThread::msleep(static_cast<unsigned long>(qMax(env_.timing.discoveryWaitMs, 0)));
    for (size_t i = 0; i < clients_.size(); ++i)
        for (const auto& ack : clients_[i]->GetDiscoveryList())
            devices_.push_back(Device{ack, int(i)});
    return int(devices_.size());
}

bool CIpConfig::IsDevIPValid(const gvcp::DiscoveryAck& dev, const NetInterface& iface)
{
    if ((iface.ip & iface.mask) != (dev.ip & dev.mask))
        return false;
    return dev.ip != iface.ip && dev.ip != gigeaddr::network(iface.ip, iface.mask)
        && dev.ip != gigeaddr::broadcast(iface.ip, iface.mask);
}

GigeRepairOutcome CIpConfig::AutoSetIpAddr(const Device& device)
{
    const NetInterface& iface = interfaces_.at(size_t(device.interfaceIndex));
    GigeRepairOutcome out;
    out.mac = device.ack.mac;
    out.oldIp = device.ack.ip;
    out.interfaceName = iface.name;
    if (gvcp::isZeroMac(device.ack.mac)) {
        out.result = GigeRepairOutcome::NoMac;   // a command could not name it
        return out;
    }
    out.result = GigeRepairOutcome::AllInUse;
    quint32 chosen = 0;
    for (int attempt = 0; attempt < env_.timing.addressAttempts && !chosen; ++attempt) {
        quint32 c = 0;
        for (int draw = 0; draw < env_.timing.drawsPerAttempt; ++draw) {
            const quint32 d = gigeaddr::candidate(iface.ip, iface.mask, env_.rng->hostBits());
            if (gigeaddr::isFreeForCamera(d, iface.ip, iface.mask, ownAddresses_)) {
                c = d;
                break;
            }
        }
        if (!c) {
            out.result = GigeRepairOutcome::NoCandidate;
            return out;
        }
        const int probe = env_.prober->probe(c, iface.ip, iface.mac, iface.name);
        if (probe == kArpFree)
            chosen = c;
        else if (probe != kArpInUse) {
            // Unverified: forcing it could take another device's address.
            out.result = GigeRepairOutcome::ProbeFailed;
            return out;
        }
    }
    if (!chosen)
        return out;   // every candidate answered: give up for this camera
    out.newIp = chosen;
    const std::unique_ptr<GvcpTransport> t = makeTransport(iface.ip);
    const bool ok = CGevForceIp::GevSetForceIpCustom(*t, device.ack.mac, chosen, iface.mask, 0,
                                                     env_.timing.forceIp);
    out.result = ok ? GigeRepairOutcome::Repaired : GigeRepairOutcome::NotAcknowledged;
    return out;
}

int RepairAllCameraIP(const GigeRepairEnv& env, std::vector<GigeRepairOutcome>* report)
{
    if (!env.prober || !env.rng)
        return -1;
    CIpConfig config(env);
    if (config.DeviceEnumeInit() == 0)
        return -1;
    if (config.RefreshDevList() == 0)
        return 0;
    int repaired = 0;
    for (const CIpConfig::Device& d : config.GetDeviceList()) {
        if (CIpConfig::IsDevIPValid(d.ack, config.interfaces().at(size_t(d.interfaceIndex))))
            continue;
        const GigeRepairOutcome o = config.AutoSetIpAddr(d);
        if (o.result == GigeRepairOutcome::Repaired) {
            ++repaired;
            qInfo().noquote() << o.text();
        } else {
            qWarning().noquote() << o.text();
        }
        if (report)
            report->push_back(o);
    }
    return repaired;
}
