#pragma once
// The network settings the panel hands to the system, as pure functions of
// their inputs, and the one writer of the files in "./cnt_net".  Nothing
// here runs a command or touches /etc: the dialog's Confirm copies the two
// host-name files there through the command runner.
#include "netcard.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace netfiles {

// The folder of the files handed to the system, relative to the program
// directory, and the files in it.
inline const char* const kFolder = "./cnt_net";
inline const char* const kNetplanFile = "netplan_prejson.txt";
inline const char* const kHostnameFile = "ls_hostname";
inline const char* const kHostsFile = "ls_hosts";
inline const char* const kMacRegisterFile = "registermac.txt";

// "./cnt_net/<name>".
QString FilePath(const char* name);

// netplan_prejson.txt: {"netcard_info": [...]} in cJSON's formatted print
// (tabs and line ends), Latin-1.  One object per interface of the edited
// card whose list holds exactly three texts, in name order, with "name",
// "mac" (from macs, the system's MAC map; empty when absent), "address",
// "netmask" and "gateway".
QByteArray NetplanJson(const NetCard& edited, const QMap<QString, QString>& macs);

// ls_hosts from the system's hosts file (its whole text).  The new name's
// two lines come first ("127.0.1.1\t<name>", "127.0.0.1\t<name>") and two
// empty lines; then the old file from its first "#" line on.  Of the lines
// before that only empty lines and lines naming oldName alone after an
// address are dropped (what an earlier rename wrote); the others, such as
// "127.0.0.1 localhost", are kept in front of the "#" line.  A file
// without any "#" line is kept whole.
QByteArray HostsFile(const QByteArray& systemHosts, const QString& oldName, const QString& newName);

// ls_hostname: the name in Latin-1 without a line end.
QByteArray HostnameFile(const QString& name);

// The hardware address of an interface as sysfs gives it, or nothing when
// its file does not open.
using AddressReader = std::function<std::optional<QByteArray>(const QString& interfaceName)>;
// Reads "<paths().sysClassNet>/<name>/address".
AddressReader SysfsAddressReader();

// The MAC register: "MAC=address;netmask;gateway\n" per line, keyed by MAC,
// so entries of interfaces gone or renamed stay.  oldText: the file's text,
// nothing when it did not open.  Every interface of the edited card whose
// address reads replaces the entry of its MAC.  Returns the new text,
// sorted by MAC, or nothing when there is no entry (the file stays as it
// was).
std::optional<QByteArray> UpdateMacRegister(const std::optional<QByteArray>& oldText, const NetCard& edited,
                                            const AddressReader& readAddress);

// The gateway in "ip route show" output: the whole text split at single
// blanks, the word after the first word holding "via" that has at least
// two more words after it.  Empty when there is none.
QString RouteGateway(const QString& routeText);

// A ping answered: some line holds "time=" and what follows it, without
// its last three characters (" ms"), is a number other than 0.
bool PingReachable(const QString& pingOutput);

// A host name the system takes (RFC 1123): dot-separated labels of ASCII
// letters, digits and inner hyphens, 1 to 63 characters each, at most 253
// in all.
bool ValidHostName(const QString& name);

// Writes bytes as "./cnt_net/<name>" in one piece (a temporary file
// renamed over the old one), making the folder when missing.  On failure
// the old file stays, the reason is logged and returned in error.
bool WriteFile(const char* name, const QByteArray& bytes, QString* error = nullptr);
// The file's text, nothing when it does not open.
std::optional<QByteArray> ReadFile(const QString& path);

}  // namespace netfiles
