#pragma once
// GigE camera address repair over GVCP: find our cameras on the allowed
// interfaces and give each one outside its interface's subnet a free
// address of that subnet.
//
// Nothing is sent on an interface that is not on the allow-list; the
// program builds the list only on a configured panel (gige_addressrepair.h).
#include "gige_arping.h"
#include "gige_broadcastsocket.h"
#include "gige_gevdiscovery.h"
#include "gige_gevforceip.h"
#include "gige_gvcp.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

// One IPv4 address of a network interface.
struct NetInterface {
    QString name;
    gvcp::Mac mac{};      // zero when the hardware address cannot be read
    quint32 ip = 0;
    quint32 mask = 0;
};

class NetInterfaces {
public:
    virtual ~NetInterfaces() = default;
    // Every IPv4 address of every interface, in the system's order.
    virtual std::vector<NetInterface> addresses() const = 0;
    // The names of all interfaces, with or without an address.
    virtual QStringList links() const = 0;
};

// getifaddrs and the hardware-address query.
class SystemNetInterfaces : public NetInterfaces {
public:
    std::vector<NetInterface> addresses() const override;
    QStringList links() const override;
};

// Random host bits for candidate addresses.
class GigeRng {
public:
    virtual ~GigeRng() = default;
    // Four random bytes, each 10..254.
    virtual quint32 hostBits() = 0;
};

// Seeded from the monotonic clock.
class ClockSeededGigeRng : public GigeRng {
public:
    ClockSeededGigeRng();
    quint32 hostBits() override;
private:
    quint64 state_;
};

struct GigeRepairTiming {
    int discoveryWaitMs = 200;
    int recvWaitMs = 200;
    int addressAttempts = 5;
    int drawsPerAttempt = 100;
    ForceIpTiming forceIp;
};

using GvcpTransportFactory = std::function<std::unique_ptr<GvcpTransport>(quint32 interfaceIp)>;

// Everything the repair touches, so tests can point it elsewhere.
struct GigeRepairEnv {
    QStringList allowedInterfaces;   // only these are used; empty: none
    std::shared_ptr<NetInterfaces> interfaces;
    std::shared_ptr<ArpProber> prober;
    std::shared_ptr<GigeRng> rng;
    GvcpTransportFactory transport;  // default: CBroadcastSocket to endpoint
    GvcpEndpoint endpoint;
    QByteArray manufacturerPrefix = QByteArrayLiteral("F622");
    GigeRepairTiming timing;

    // The real system seams for the given allow-list.
    static GigeRepairEnv system(const QStringList& allowedInterfaces);
};

// What happened to one camera that needed a new address.
struct GigeRepairOutcome {
    enum Result { Repaired, AllInUse, ProbeFailed, NoCandidate, NotAcknowledged, NoMac };
    Result result = NotAcknowledged;
    gvcp::Mac mac{};
    quint32 oldIp = 0;
    quint32 newIp = 0;
    QString interfaceName;
    QString text() const;   // for the log and the operation record
};

// Helpers of the address choice, free of any I/O.
namespace gigeaddr {
quint32 network(quint32 ip, quint32 mask);
quint32 broadcast(quint32 ip, quint32 mask);
// candidate = (interface network) OR (NOT mask AND r)
quint32 candidate(quint32 interfaceIp, quint32 mask, quint32 r);
// A host address of the subnet that is neither the network nor the broadcast
// address nor one of the host's own addresses.
bool isFreeForCamera(quint32 candidate, quint32 interfaceIp, quint32 mask,
                     const std::vector<quint32>& ownAddresses);
} // namespace gigeaddr

class CIpConfig {
public:
    static constexpr int kMaxInterfaces = 32;

    explicit CIpConfig(const GigeRepairEnv& env);
    ~CIpConfig();

    // The usable interfaces: allowed, IPv4, first byte not 0 or 255, not
    // 127.0.0.1 or 224.0.0.1; at most 32.  A discovery client is started for
    // each.  Returns their number.
    int DeviceEnumeInit();
    // Discovery on every interface, then the 200 ms wait; the device table.
    int RefreshDevList();
    struct Device {
        gvcp::DiscoveryAck ack;
        int interfaceIndex = 0;
    };
    const std::vector<Device>& GetDeviceList() const { return devices_; }
    const std::vector<NetInterface>& interfaces() const { return interfaces_; }

    // The camera is valid on the interface: the same subnet (each side with
    // its own mask), and not the interface's own, network or broadcast address.
    static bool IsDevIPValid(const gvcp::DiscoveryAck& dev, const NetInterface& iface);
    // Chooses a free address for the camera and sends force-IP.
    GigeRepairOutcome AutoSetIpAddr(const Device& device);

    static std::vector<NetInterface> usableInterfaces(const std::vector<NetInterface>& all,
                                                      const QStringList& allowed);

private:
    // The environment's transport, or a broadcast socket on the interface.
    std::unique_ptr<GvcpTransport> makeTransport(quint32 interfaceIp) const;

    const GigeRepairEnv& env_;
    std::vector<NetInterface> interfaces_;
    std::vector<quint32> ownAddresses_;
    std::vector<std::unique_ptr<CGevDiscovery>> clients_;
    std::vector<Device> devices_;
};

// Repairs the cameras on the allowed interfaces: the number that
// acknowledged a new address, 0 when no camera answered, -1 without a usable
// interface (and then nothing is sent).  Outcomes of every camera that
// needed an address go to report when given.
int RepairAllCameraIP(const GigeRepairEnv& env, std::vector<GigeRepairOutcome>* report = nullptr);
