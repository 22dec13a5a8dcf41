#pragma once
// The panel's network interfaces, hardware addresses and host name, as the
// relay link reports them and the network page shows them.  Nothing here
// writes anything; the route table is read with "ip route show" through the
// command runner (the dry run answers nothing, so off the panel every
// gateway stays "0.0.0.0").
//
// The readers are thin shells over pure builders, which take the interface
// list and the route text as plain data so tests feed canned ones.
#include "netcard.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// One interface as the system lists it.
struct InterfaceRecord {
    QString name;
    QString hardwareAddress;   // as Qt gives it (upper case), "" when none
    QString ipv4;              // first IPv4 address, "" when none
    QString netmask;           // its netmask
};

// The default route as found in "ip route show" output.
struct RouteGateway {
    QString gateway;
    QString interfaceName;
};

// Longest wait for "ip route show".
constexpr int kRouteTimeoutMs = 2000;

// Every interface of QNetworkInterface::allInterfaces(); an alias label
// ("eth0:1") is an extra address of its interface, not an entry.
QList<InterfaceRecord> SystemInterfaces();

// The first line holding the word "via" with at least three words after it:
// the gateway is the word after "via", the interface the third.  Empty
// fields when no line qualifies.
RouteGateway FirstViaRoute(const QString& routeText);

// Interface name to (address, netmask, gateway); every interface but "lo",
// "0.0.0.0" where there is none.  The first via-route sets the gateway of
// its interface, when that interface is listed.
QMap<QString, QStringList> BuildCardInfo(const QList<InterfaceRecord>& interfaces, const QString& routeText);

// Interface name to its hardware address in lower case, as the kernel
// prints it; every interface but "lo" that has one.
QMap<QString, QString> BuildMacMap(const QList<InterfaceRecord>& interfaces);

// The system's card map (runs "ip route show", at most kRouteTimeoutMs).
QMap<QString, QStringList> getNewNetCardInfo();
// The system's hardware addresses.
QMap<QString, QString> getNetMac();
// QHostInfo::localHostName().
QString getNetHostName();
// All three at once, as the link fills NetCard at construction.
NetCard ReadNetCard();
