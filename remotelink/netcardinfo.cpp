#include "netcardinfo.h"

#include "commandrunner.h"

#include <QHostInfo>
#include <QNetworkInterface>
#include <QRegularExpression>

namespace {
const QString kNoAddress = QStringLiteral("0.0.0.0");
const QString kLoopbackName = QStringLiteral("lo");
}  // namespace

QList<InterfaceRecord> SystemInterfaces()
{
    QList<InterfaceRecord> list;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : all) {
        InterfaceRecord r;
        r.name = iface.name();
        r.hardwareAddress = iface.hardwareAddress();
        for (const QNetworkAddressEntry& e : iface.addressEntries()) {
            if (e.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                r.ipv4 = e.ip().toString();
                r.netmask = e.netmask().toString();
                break;
            }
        }
        list.append(r);
    }
    return list;
}

RouteGateway FirstViaRoute(const QString& routeText)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList lines = routeText.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QStringList words = line.split(blanks, Qt::SkipEmptyParts);
        const qsizetype via = words.indexOf(QStringLiteral("via"));
        if (via >= 0 && words.size() - via - 1 >= 3)
            return RouteGateway{words[via + 1], words[via + 3]};
    }
    return RouteGateway{};
}

QMap<QString, QStringList> BuildCardInfo(const QList<InterfaceRecord>& interfaces, const QString& routeText)
{
    QMap<QString, QStringList> cards;
    for (const InterfaceRecord& r : interfaces) {
        if (r.name == kLoopbackName)
            continue;
        if (r.ipv4.isEmpty())
            cards.insert(r.name, {kNoAddress, kNoAddress, kNoAddress});
        else
            cards.insert(r.name, {r.ipv4, r.netmask.isEmpty() ? kNoAddress : r.netmask, kNoAddress});
    }
    const RouteGateway route = FirstViaRoute(routeText);
    auto card = cards.find(route.interfaceName);
    if (!route.gateway.isEmpty() && card != cards.end())
        (*card)[2] = route.gateway;
    return cards;
}

QMap<QString, QString> BuildMacMap(const QList<InterfaceRecord>& interfaces)
{
    QMap<QString, QString> macs;
    for (const InterfaceRecord& r : interfaces) {
        // Only the loopback itself is left out: "wlo1" and "lo0x" are real cards.
        if (r.name == kLoopbackName || r.hardwareAddress.isEmpty())
            continue;
        macs.insert(r.name, r.hardwareAddress.toLower());
    }
    return macs;
}

QMap<QString, QStringList> getNewNetCardInfo()
{
    const CommandResult route =
        commandRunner().run(QStringLiteral("ip"), {QStringLiteral("route"), QStringLiteral("show")}, kRouteTimeoutMs);
    return BuildCardInfo(SystemInterfaces(), QString::fromUtf8(route.output));
}

QMap<QString, QString> getNetMac()
{
    return BuildMacMap(SystemInterfaces());
}

QString getNetHostName()
{
    return QHostInfo::localHostName();
}

NetCard ReadNetCard()
{
    NetCard card;
    card.cardInfo = getNewNetCardInfo();
    card.macAddr = getNetMac();
    card.hostName = getNetHostName();
    return card;
}
