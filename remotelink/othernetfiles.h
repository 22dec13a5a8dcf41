#pragma once
// The two files the other-network dialog changes for the system and the
// relay: the Wi-Fi settings (written into "./cnt_net", copied into the
// system's wpa_supplicant folder) and the relay's server addresses in its
// "./cnt_net/sysconf.db".  Plain functions, no widget.
#include <QByteArray>
#include <QString>

#include <optional>

namespace othernet {

// What wpa_supplicant's network block can carry between its quotes: no
// quote, backslash or control character (a line break would add lines to a
// file copied into /etc); a name of 1 to 32 bytes and a pass phrase of 8 to
// 63 bytes of UTF-8, as wpa_supplicant counts them.  Empty when accepted,
// else the reason (for the log).
QString WifiRefusal(const QString& name, const QString& passPhrase);

// The file's whole text, UTF-8, every line ended by CR LF.
QByteArray WifiFileText(const QString& name, const QString& passPhrase);

// Name and pass phrase read back from a wlanpwd.conf: on a line holding
// ssid=" the text between the quote after the line's last ssid= and the
// line's last quote, the same for psk=; the last such line wins.  Empty
// when none is found.
struct WifiSettings {
    QString name;
    QString passPhrase;
};
WifiSettings ReadWifiText(const QString& text);

// The four rows of table info_sysconf the dialog shows, in the dialog's
// order; absent when the row is not there.
struct ServerValues {
    std::optional<QString> infoAddress;   // serverip_info
    std::optional<QString> fileAddress;   // serverip_file
    std::optional<QString> infoPort;      // serverport_info
    std::optional<QString> filePort;      // serverport_file
};

// Reads the rows from dbPath, opened read-only: a missing file is never
// created.  error: why nothing could be read (empty on success).
ServerValues ReadServerValues(const QString& dbPath, QString* error = nullptr);

struct ServerSettings {
    QString infoAddress;
    QString fileAddress;
    QString infoPort;
    QString filePort;
};
struct ServerUpdate {
    int rowsUpdated = 0;   // rows whose value was written
    QString error;         // why nothing was written; empty when rows were
};
// Writes the values (bound, so any text is stored as typed) into the rows
// that exist, in one transaction: all of them or none.  Never creates the
// file, the table or a row.
ServerUpdate UpdateServerValues(const QString& dbPath, const ServerSettings& values);

}  // namespace othernet
