#pragma once
// The panel's network interfaces as the relay link reads them and the
// network page edits them.
#include <QMap>
#include <QString>
#include <QStringList>

struct NetCard {
    // Interface name to exactly three dotted IPv4 texts: address, netmask,
    // gateway ("0.0.0.0" where the system gives none).  "lo" is never listed.
    QMap<QString, QStringList> cardInfo;
    // Interface name to its hardware address as the kernel prints it
    // (lower-case hex pairs separated by colons).
    QMap<QString, QString> macAddr;
    QString hostName;

    bool operator==(const NetCard& o) const
    {
        return cardInfo == o.cardInfo && macAddr == o.macAddr && hostName == o.hostName;
    }
    bool operator!=(const NetCard& o) const { return !(*this == o); }
};
