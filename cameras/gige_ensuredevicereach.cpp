#include "gige_ensuredevicereach.h"

#include "commandrunner.h"

#include <cstdio>

using namespace simsdk::hik;

int SimHikGigeSdk::enumGige(std::vector<DeviceInfo>& devices)
{
    DeviceInfoList list;
    const int r = MV_CC_EnumDevices(MV_GIGE_DEVICE, &list);
    devices.clear();
    if (r == MV_OK)
        for (unsigned i = 0; i < list.count && i < 256; ++i)
            if (list.entries[i])
                devices.push_back(*list.entries[i]);
    return r;
}

int SimHikGigeSdk::createHandle(Handle* h, const DeviceInfo& info)
{
    return MV_CC_CreateHandle(h, &info);
}

int SimHikGigeSdk::forceIpEx(Handle h, quint32 ip, quint32 mask, quint32 gateway)
{
    return MV_GIGE_ForceIpEx(h, ip, mask, gateway);
}

int SimHikGigeSdk::destroyHandle(Handle h)
{
    return MV_CC_DestroyHandle(h);
}

EnsureReachEnv EnsureReachEnv::system(const QStringList& allowedInterfaces)
{
    EnsureReachEnv env;
    env.allowedInterfaces = allowedInterfaces;
    env.interfaces = std::make_shared<SystemNetInterfaces>();
    env.sdk = std::make_shared<SimHikGigeSdk>();
    return env;
}

std::vector<NetInfoEntry> GetNetInfo(const NetInterfaces& interfaces)
{
    std::vector<NetInfoEntry> out;
    for (const NetInterface& n : interfaces.addresses()) {
        if (out.size() >= 64)
            break;
        out.push_back({n.name, n.ip, n.mask});
    }
    return out;
}

QString getStrIp(quint32 ip)
{
    return gvcp::ipText(ip);
}

bool IsFreeIp(quint32 ip)
{
    const QString address = getStrIp(ip);
    const CommandResult r = commandRunner().run(QStringLiteral("ping"),
                                                {address, QStringLiteral("-w"), QStringLiteral("1")},
                                                5000);
    // ping exits 1 when no answer came; 0 is an answer, 2 and -1 are errors.
    const bool free = r.started && r.exitCode == 1 && !r.output.toLower().contains("ttl");
    std::printf("nSetDeviceIp: %s, bFreeIp: %d\n", address.toLatin1().constData(), free ? 1 : 0);
    std::fflush(stdout);
    return free;
}

quint32 bChooseNoUseIp(quint32 cameraIp, quint32 hostIp, quint32 mask,
                       const std::vector<quint32>& ownAddresses, int* pingBudget)
{
    const quint32 hostMax = ~mask;   // the broadcast host part
    if (hostMax < 2)
        return 0;                    // no host addresses in this subnet
    const quint32 net = hostIp & mask;
    quint32 start = cameraIp & hostMax;
    if (start < 1)
        start = 1;
    if (start > hostMax - 1)
        start = hostMax - 1;
    auto tryHost = [&](quint32 h, quint32* found) {
        const quint32 c = net | h;
        if (!gigeaddr::isFreeForCamera(c, hostIp, mask, ownAddresses))
            return false;
        if (*pingBudget <= 0)
            return true;   // stop: budget used up
        --*pingBudget;
        if (IsFreeIp(c)) {
            *found = c;
            return true;
        }
        return false;
    };
    quint32 found = 0;
    for (quint32 h = start; h <= hostMax - 1; ++h)
        if (tryHost(h, &found))
            return found;
    for (quint32 h = start - 1; h >= 1; --h)
        if (tryHost(h, &found))
            return found;
    return 0;
}

quint32 forceIpGateway(quint32 hostIp, quint32 mask, quint32 newIp)
{
    // Host .254 of the /24 the host sits in, as the cameras were always
    // given; where that is no host of the real subnet (another mask) or is
    // the camera itself, no gateway.
    const quint32 gateway = (hostIp & 0xFFFFFF00u) + 254;
    const bool hostOfSubnet = gigeaddr::network(gateway, mask) == gigeaddr::network(hostIp, mask)
        && gateway != gigeaddr::network(hostIp, mask) && gateway != gigeaddr::broadcast(hostIp, mask);
    if (!hostOfSubnet || gateway == newIp)
        return 0;
    return gateway;
}

bool DoForceIp(HikGigeSdk& sdk, const DeviceInfo& device, quint32 ip, quint32 mask, quint32 gateway)
{
    Handle h = nullptr;
    int r = sdk.createHandle(&h, device);
    if (r != MV_OK) {
        std::printf("1 MV_CC_CreateHandle fail! nRet [%x]\n", unsigned(r));
        std::fflush(stdout);
        return false;
    }
    bool ok = true;
    r = sdk.forceIpEx(h, ip, mask, gateway);
    if (r != MV_OK) {
        std::printf("1 MV_GIGE_ForceIpEx fail! nRet [%x]\n", unsigned(r));
        ok = false;
    }
    r = sdk.destroyHandle(h);
    if (r != MV_OK) {
        std::printf("1 MV_CC_DestroyHandle fail! nRet [%x]\n", unsigned(r));
        ok = false;
    }
    std::fflush(stdout);
    return ok;
}

int EnsureDeviceReach(const EnsureReachEnv& env)
{
    if (!env.interfaces || !env.sdk)
        return 0;
    const std::vector<NetInfoEntry> nets = GetNetInfo(*env.interfaces);
    std::vector<quint32> own;
    for (const NetInfoEntry& n : nets)
        own.push_back(n.ip);
    std::vector<DeviceInfo> devices;
    if (env.sdk->enumGige(devices) != MV_OK)
        return 0;
    int budget = env.maxPings;
    int repaired = 0;
    for (const DeviceInfo& d : devices) {
        const quint32 host = d.netExport;
        const NetInfoEntry* iface = nullptr;
        for (const NetInfoEntry& n : nets)
            if (n.ip == host)
                iface = &n;   // the last matching entry
        // Only cameras on an allowed interface are touched.
        if (!iface || !env.allowedInterfaces.contains(iface->name))
            continue;
        const quint32 mask = iface->mask;
        if (gigeaddr::isFreeForCamera(d.currentIp, host, mask, {}))
            continue;   // reachable already
        const quint32 ip = bChooseNoUseIp(d.currentIp, host, mask, own, &budget);
        if (!ip)
            continue;
        if (DoForceIp(*env.sdk, d, ip, mask, forceIpGateway(host, mask, ip)))
            ++repaired;
    }
    return repaired;
}
