#include "networkfiles.h"

#include "paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cjson/cJSON.h>
#include <glog/logging.h>

#include <memory>

namespace netfiles {

QString FilePath(const char* name)
{
    return QString::fromLatin1(kFolder) + QLatin1Char('/') + QString::fromLatin1(name);
}

QByteArray NetplanJson(const NetCard& edited, const QMap<QString, QString>& macs)
{
    std::unique_ptr<cJSON, decltype(&cJSON_Delete)> root(cJSON_CreateObject(), &cJSON_Delete);
    cJSON* list = cJSON_AddArrayToObject(root.get(), "netcard_info");
    for (auto it = edited.cardInfo.cbegin(); it != edited.cardInfo.cend(); ++it) {
        if (it.value().size() != 3)
            continue;
        cJSON* card = cJSON_CreateObject();
        auto add = [card](const char* key, const QString& text) {
            cJSON_AddStringToObject(card, key, text.toLatin1().constData());
        };
        add("name", it.key());
        add("mac", macs.value(it.key()));
        add("address", it.value().at(0));
        add("netmask", it.value().at(1));
        add("gateway", it.value().at(2));
        cJSON_AddItemToArray(list, card);
    }
    char* printed = cJSON_Print(root.get());
    const QByteArray text(printed ? printed : "");
    cJSON_free(printed);
    return text;
}

namespace {

// "address name" and nothing else, with the given name.
bool NamesOnly(const QByteArray& line, const QByteArray& name)
{
    const QList<QByteArray> words = line.simplified().split(' ');
    return !name.isEmpty() && words.size() == 2 && words.at(1) == name;
}

}  // namespace

QByteArray HostsFile(const QByteArray& systemHosts, const QString& oldName, const QString& newName)
{
    const QByteArray name = newName.toLatin1();
    const QByteArray old = oldName.toLatin1();
    const QList<QByteArray> lines = systemHosts.split('\n');
    int firstComment = -1;
    for (int i = 0; i < lines.size() && firstComment < 0; ++i)
        if (lines.at(i).startsWith('#'))
            firstComment = i;

    QList<QByteArray> out{"127.0.1.1\t" + name, "127.0.0.1\t" + name, "\n"};
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        if (i < firstComment && (line.trimmed().isEmpty() || NamesOnly(line, old)))
            continue;
        out << line;
    }
    QByteArray text;
    for (const QByteArray& element : out)
        text += element + '\n';
    return text;
}

QByteArray HostnameFile(const QString& name) { return name.toLatin1(); }

AddressReader SysfsAddressReader()
{
    const QString root = paths().sysClassNet;
    return [root](const QString& interfaceName) -> std::optional<QByteArray> {
        QFile f(root + QLatin1Char('/') + interfaceName + QStringLiteral("/address"));
        if (!f.open(QIODevice::ReadOnly))
            return std::nullopt;
        return f.readAll();
    };
}

std::optional<QByteArray> UpdateMacRegister(const std::optional<QByteArray>& oldText, const NetCard& edited,
                                            const AddressReader& readAddress)
{
    QMap<QByteArray, QByteArray> entries;
    if (oldText) {
        for (QByteArray line : oldText->split('\n')) {
            const QList<QByteArray> parts = line.split('=');
            if (parts.size() != 2)
                continue;
            // Every entry ends its line, also a last line written without
            // one, so the next entry never runs into it.
            entries.insert(parts.at(0), parts.at(1) + '\n');
        }
    }
    for (auto it = edited.cardInfo.cbegin(); it != edited.cardInfo.cend(); ++it) {
        const std::optional<QByteArray> address = readAddress ? readAddress(it.key()) : std::nullopt;
        if (!address)
            continue;
        QByteArray key = *address;
        key.replace('\n', QByteArray());
        entries.insert(key, it.value().join(QLatin1Char(';')).toUtf8() + '\n');
    }
    if (entries.isEmpty())
        return std::nullopt;
    QByteArray text;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        text += it.key() + '=' + it.value();
    return text;
}

QString RouteGateway(const QString& routeText)
{
    const QStringList words = routeText.split(QLatin1Char(' '));
    for (int i = 0; i < words.size(); ++i)
        if (words.at(i).contains(QLatin1String("via")) && i + 2 < words.size())
            return words.at(i + 1);
    return QString();
}

bool PingReachable(const QString& pingOutput)
{
    for (const QString& line : pingOutput.split(QLatin1Char('\n'))) {
        const int at = line.indexOf(QLatin1String("time="));
        if (at < 0)
            continue;
        const QString value = line.mid(at + 5);
        bool ok = false;
        const double t = value.left(value.size() - 3).toDouble(&ok);
        if (ok && t != 0.0)
            return true;
    }
    return false;
}

bool ValidHostName(const QString& name)
{
    if (name.isEmpty() || name.size() > 253)
        return false;
    for (const QString& label : name.split(QLatin1Char('.'))) {
        if (label.isEmpty() || label.size() > 63)
            return false;
        if (label.startsWith(QLatin1Char('-')) || label.endsWith(QLatin1Char('-')))
            return false;
        for (const QChar c : label) {
            const bool ok = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                            (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                            (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-');
            if (!ok)
                return false;
        }
    }
    return true;
}

bool WriteFile(const char* name, const QByteArray& bytes, QString* error)
{
    const QString path = FilePath(name);
    QString why;
    if (!QDir().mkpath(QString::fromLatin1(kFolder))) {
        why = QStringLiteral("cannot make %1").arg(QString::fromLatin1(kFolder));
    } else {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            why = file.errorString();
        else if (file.write(bytes) != bytes.size())
            why = file.errorString();
        else if (!file.commit())
            why = file.errorString();
    }
    if (why.isEmpty())
        return true;
    LOG(ERROR) << "network settings: " << path.toStdString() << " not written: " << why.toStdString();
    if (error)
        *error = why;
    return false;
}

std::optional<QByteArray> ReadFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return f.readAll();
}

}  // namespace netfiles
