// The other-network dialog's readers of system files: /proc/net/dev,
// "ifconfig" output and a wlanpwd.conf, over any bytes; two readings of
// any text never give a negative rate nor list "lo".
#include "othernetfiles.h"
#include "portstate.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    const QString text = QString::fromLocal8Bit(bytes);
    const QMap<QString, qint64> first = ParseProcNetDev(text);
    const QMap<QString, qint64> second = ParseProcNetDev(text.mid(text.size() / 2) + text.left(text.size() / 2));
    const QMap<QString, bool> running = ParseIfconfigRunning(text);
    if (first.contains(QStringLiteral("lo")) || running.contains(QStringLiteral("lo")))
        std::abort();
    for (auto it = first.begin(); it != first.end(); ++it)
        if (it.value() < 0 || it.key().isEmpty())
            std::abort();
    PortReadings r;
    r.start(first);
    r.apply(running, &second, 1 + int(size % 3));
    for (const PortRow& row : r.rows())
        if (row.bytesPerSecond < 0 || row.name == QLatin1String("lo"))
            std::abort();
    const othernet::WifiSettings wifi = othernet::ReadWifiText(text);
    // What is read back lay on one line.
    if (wifi.name.contains(QLatin1Char('\n')) || wifi.passPhrase.contains(QLatin1Char('\n')))
        std::abort();
    // A written file reads back (the reader keys on the last "ssid=" and
    // "psk=" of a line, so names holding those keys are left aside).
    const QString both = wifi.name + wifi.passPhrase;
    if (othernet::WifiRefusal(wifi.name, wifi.passPhrase).isEmpty() && !both.contains(QLatin1String("ssid=")) &&
        !both.contains(QLatin1String("psk=")) &&
        othernet::ReadWifiText(QString::fromUtf8(othernet::WifiFileText(wifi.name, wifi.passPhrase))).name != wifi.name)
        std::abort();
    return 0;
}
