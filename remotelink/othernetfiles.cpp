#include "othernetfiles.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <algorithm>

namespace othernet {

namespace {

bool refusedChar(QChar c)
{
    switch (c.category()) {
    case QChar::Other_Control:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return c == QLatin1Char('"') || c == QLatin1Char('\\');
    }
}

bool hasRefusedChar(const QString& text)
{
    return std::any_of(text.begin(), text.end(), refusedChar);
}

// The text between the quote after the line's last key and the line's last
// quote; null when the line holds no such pair.
QString quotedAfter(const QString& line, const QString& key)
{
    const int at = line.lastIndexOf(key);
    if (at < 0)
        return QString();
    const int open = line.indexOf(QLatin1Char('"'), at + key.size());
    const int close = line.lastIndexOf(QLatin1Char('"'));
    if (open < 0 || close <= open)
        return QString();
    const QString between = line.mid(open + 1, close - open - 1);
    return between.isNull() ? QStringLiteral("") : between;
}

// The four rows, in the dialog's order, with their fixed look-ups.
constexpr const char* kRows[4] = {"serverip_info", "serverip_file", "serverport_info", "serverport_file"};

// A connection of its own on dbPath that never creates the file; closed
// and removed when it goes.
class SysconfConnection {
public:
    SysconfConnection(const QString& dbPath, bool readOnly)
    {
        static int serial = 0;
        name_ = QStringLiteral("othernet_sysconf_%1").arg(++serial);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        if (!QFileInfo(dbPath).isFile()) {
            error_ = QStringLiteral("%1 does not exist").arg(dbPath);
            return;
        }
        // "mode=rw" opens an existing file only, where a plain name would
        // make an empty database.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
        db.setDatabaseName(QUrl::fromLocalFile(QFileInfo(dbPath).absoluteFilePath()).toString(QUrl::FullyEncoded) +
                           (readOnly ? QStringLiteral("?mode=ro") : QStringLiteral("?mode=rw")));
        if (!db.open())
            error_ = QStringLiteral("Failed to connect database.%1").arg(db.lastError().text());
    }
    ~SysconfConnection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(name_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name_);
    }
    SysconfConnection(const SysconfConnection&) = delete;
    SysconfConnection& operator=(const SysconfConnection&) = delete;

    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }

private:
    QString name_;
    QString error_;
};

}  // namespace

QString WifiRefusal(const QString& name, const QString& passPhrase)
{
    if (hasRefusedChar(name))
        return QStringLiteral("the name holds a quote, a backslash or a control character");
    if (hasRefusedChar(passPhrase))
        return QStringLiteral("the pass phrase holds a quote, a backslash or a control character");
    const int nameBytes = int(name.toUtf8().size());
    if (nameBytes < 1 || nameBytes > 32)
        return QStringLiteral("the name has %1 bytes, not 1 to 32").arg(nameBytes);
    const int passBytes = int(passPhrase.toUtf8().size());
    if (passBytes < 8 || passBytes > 63)
        return QStringLiteral("the pass phrase has %1 bytes, not 8 to 63").arg(passBytes);
    return QString();
}

QByteArray WifiFileText(const QString& name, const QString& passPhrase)
{
    const QString text = QStringLiteral("network={\r\n"
                                        "\tssid=\"%1\"\r\n"
                                        "\tpsk=\"%2\"\r\n"
                                        "\tproto=RSN\r\n"
                                        "}\r\n")
                             .arg(name, passPhrase);
    return text.toUtf8();
}

WifiSettings ReadWifiText(const QString& text)
{
    WifiSettings found;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.contains(QLatin1String("ssid="))) {
            const QString name = quotedAfter(line, QStringLiteral("ssid="));
            if (!name.isNull())
                found.name = name;
        }
        if (line.contains(QLatin1String("psk="))) {
            const QString pass = quotedAfter(line, QStringLiteral("psk="));
            if (!pass.isNull())
                found.passPhrase = pass;
        }
    }
    return found;
}

ServerValues ReadServerValues(const QString& dbPath, QString* error)
{
    ServerValues values;
    SysconfConnection connection(dbPath, true);
    if (error)
        *error = connection.error();
    if (!connection.ok())
        return values;
    std::optional<QString>* fields[4] = {&values.infoAddress, &values.fileAddress, &values.infoPort,
                                         &values.filePort};
    for (int i = 0; i < 4; ++i) {
        QSqlQuery q(connection.db());
        const QString lookup =
            QStringLiteral("select 值 from info_sysconf where 信息名称='%1'").arg(QLatin1String(kRows[i]));
        if (!q.exec(lookup)) {
            if (error && error->isEmpty())
                *error = q.lastError().text();
            continue;
        }
        if (q.next())
            *fields[i] = q.value(0).toString();
    }
    return values;
}

ServerUpdate UpdateServerValues(const QString& dbPath, const ServerSettings& values)
{
    ServerUpdate result;
    SysconfConnection connection(dbPath, false);
    if (!connection.ok()) {
        result.error = connection.error();
        return result;
    }
    QSqlDatabase db = connection.db();
    if (!db.transaction()) {
        result.error = db.lastError().text();
        return result;
    }
    const QString* texts[4] = {&values.infoAddress, &values.fileAddress, &values.infoPort, &values.filePort};
    int rows = 0;
    for (int i = 0; i < 4; ++i) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("update info_sysconf set 值=? where 信息名称='%1'").arg(QLatin1String(kRows[i])));
        q.addBindValue(*texts[i]);
        if (!q.exec()) {
            result.error = q.lastError().text();
            db.rollback();
            return result;
        }
        rows += std::max(0, q.numRowsAffected());
    }
    if (rows == 0) {
        db.rollback();
        result.error = QStringLiteral("no server row in table info_sysconf");
        return result;
    }
    if (!db.commit()) {
        result.error = db.lastError().text();
        db.rollback();
        return result;
    }
    result.rowsUpdated = rows;
    return result;
}

}  // namespace othernet
