#pragma once
// Makes Hikvision GigE cameras reachable through their SDK: a camera outside
// the subnet of the host interface it hangs on gets a free address of that
// subnet, found by ping.
#include "gige_cameraip.h"
#include "hikvisionsdk.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// The SDK calls used here, behind a seam.
class HikGigeSdk {
public:
    virtual ~HikGigeSdk() = default;
    // GigE devices only; the entries are copies.
    virtual int enumGige(std::vector<simsdk::hik::DeviceInfo>& devices) = 0;
    virtual int createHandle(simsdk::hik::Handle* h, const simsdk::hik::DeviceInfo& info) = 0;
    virtual int forceIpEx(simsdk::hik::Handle h, quint32 ip, quint32 mask, quint32 gateway) = 0;
    virtual int destroyHandle(simsdk::hik::Handle h) = 0;
};

// The stand-in SDK of platform/camerasdk.
class SimHikGigeSdk : public HikGigeSdk {
public:
    int enumGige(std::vector<simsdk::hik::DeviceInfo>& devices) override;
    int createHandle(simsdk::hik::Handle* h, const simsdk::hik::DeviceInfo& info) override;
    int forceIpEx(simsdk::hik::Handle h, quint32 ip, quint32 mask, quint32 gateway) override;
    int destroyHandle(simsdk::hik::Handle h) override;
};

// One IPv4 interface of _ALL_NET_INFO (host byte order).
struct NetInfoEntry {
    QString name;
    quint32 ip = 0;
    quint32 mask = 0;
};

struct EnsureReachEnv {
    QStringList allowedInterfaces;   // cameras on other interfaces are left alone
    std::shared_ptr<NetInterfaces> interfaces;
    std::shared_ptr<HikGigeSdk> sdk;
    int maxPings = 16;               // per call, over all cameras

    static EnsureReachEnv system(const QStringList& allowedInterfaces);
};

// The IPv4 interfaces in list order, at most 64.
std::vector<NetInfoEntry> GetNetInfo(const NetInterfaces& interfaces);
QString getStrIp(quint32 ip);
// True only when a ping ran and no host answered: a ping that fails to run,
// or fails otherwise, leaves the address "not free".
bool IsFreeIp(quint32 ip);
// A free host address of the camera's new subnet, tried from the camera's
// own host part upward, then downward; network, broadcast and the host's own
// addresses are skipped.  0 when none was found within *pingBudget pings.
quint32 bChooseNoUseIp(quint32 cameraIp, quint32 hostIp, quint32 mask,
                       const std::vector<quint32>& ownAddresses, int* pingBudget);
// The gateway sent with a new address: the host's /24 network + 254 when that
// is a host address of the subnet (hostIp, mask) other than newIp, else 0.
quint32 forceIpGateway(quint32 hostIp, quint32 mask, quint32 newIp);
// Sets the address through the SDK; true when every call succeeded.
bool DoForceIp(HikGigeSdk& sdk, const simsdk::hik::DeviceInfo& device, quint32 ip, quint32 mask,
               quint32 gateway);
// The number of cameras given a new address.
int EnsureDeviceReach(const EnsureReachEnv& env);
