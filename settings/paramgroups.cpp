#include "paramgroups.h"

#include "dbsnapshot.h"

#include "globals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <glog/logging.h>

#include <atomic>
#include <unistd.h>
#include <utility>
#include <vector>

const QString ParamGroups::kFolder = QStringLiteral("paraGroup");
const QString ParamGroups::kDefault = QStringLiteral("default");
const QString ParamGroups::kRestoreStage = QStringLiteral(".restore");
const QString ParamGroups::kPrevious = QStringLiteral(".previous");

namespace {

const QString kParamDb = QStringLiteral("PARAM.db");
const QString kSerialDb = QStringLiteral("SN.db");
const QString kFactoryArchive = QStringLiteral("20clearsh.tar.gz");
// Beside a database: a journal moved apart from its database would be rolled
// into the wrong one at the next open.
const char* const kSidecars[] = {"-journal", "-wal", "-shm"};

QString templateFolder(int camera, int detection)
{
    return QStringLiteral("cammer%1%2").arg(camera).arg(detection);
}

bool isTemplateFolder(const QString& name)
{
    static const QRegularExpression re(QStringLiteral("^cammer[1-8][1-8]$"));
    return re.match(name).hasMatch();
}

// A PARAM.db the program can start from: it opens, passes the quick check
// and has its table "sysparam".
bool paramDbSound(const QString& file, QString* why)
{
    if (!QFileInfo(file).isFile()) {
        *why = QStringLiteral("%1 missing").arg(file);
        return false;
    }
    OwnConnection c(file, true);
    if (!c.db().open()) {
        *why = QStringLiteral("%1 does not open: %2").arg(file, c.db().lastError().text());
        return false;
    }
    QSqlQuery q(c.db());
    if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next() || q.value(0).toString() != QLatin1String("ok")) {
        *why = QStringLiteral("%1 is damaged: %2").arg(file, q.lastError().text());
        return false;
    }
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'sysparam'")) ||
        !q.next() || q.value(0).toInt() != 1) {
        *why = QStringLiteral("%1 has no table sysparam").arg(file);
        return false;
    }
    return true;
}

int countFiles(const QString& dir)
{
    int n = 0;
    const QFileInfoList infos = QDir(dir).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& fi : infos) {
        if (fi.isDir() && !fi.isSymLink())
            n += countFiles(fi.absoluteFilePath());
        else if (fi.isFile())
            ++n;
    }
    return n;
}

void removeQuietly(const QString& path)
{
    const QFileInfo fi(path);
    if (!fi.exists() && !fi.isSymLink())
        return;
    const bool removed = fi.isDir() && !fi.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
    if (!removed)
        LOG(WARNING) << "parameter groups: " << path.toStdString() << " not removed";
}

} // namespace

ParamGroups::NameCheck ParamGroups::CheckName(const QString& name)
{
    if (name.trimmed().isEmpty())
        return NameCheck::Empty;
    if (name.size() > kMaxNameLength || name.startsWith(QLatin1Char('.')))
        return NameCheck::Refused;
    for (const QChar ch : name)
        if (ch == QLatin1Char('/') || ch == QLatin1Char('\\') || ch.category() == QChar::Other_Control)
            return NameCheck::Refused;
    if (name == kDefault)
        return NameCheck::Protected;
    return NameCheck::Ok;
}

ParamGroups::ParamGroups(const QString& programDir) : root_(QDir(programDir).absolutePath()) {}

QString ParamGroups::groupsDir() const { return QDir(root_).filePath(kFolder); }
QString ParamGroups::groupDir(const QString& name) const { return QDir(groupsDir()).filePath(name); }

QStringList ParamGroups::list() const
{
    const QString dir = groupsDir();
    if (!QFileInfo(dir).isDir() && !QDir().mkpath(dir))
        LOG(WARNING) << "parameter groups: " << dir.toStdString() << " cannot be made";
    QStringList out;
    for (const QString& name : QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        if (!name.startsWith(QLatin1Char('.')))
            out << name;
    return out;
}

bool ParamGroups::move(const QString& from, const QString& to, QString* why)
{
    // Renames only: everything stays below the program directory, on one
    // file system, so a move is never a half-done copy.
    if (injected(QStringLiteral("move ") + QDir(root_).relativeFilePath(from)) || !QDir().rename(from, to)) {
        *why = QStringLiteral("%1 not moved to %2").arg(from, to);
        return false;
    }
    return true;
}

bool ParamGroups::copyFile(const QString& from, const QString& to, Result& r, QString* why)
{
    if (injected(QStringLiteral("copy ") + QDir(root_).relativeFilePath(from))) {
        *why = QStringLiteral("copy of %1 failed").arg(from);
        return false;
    }
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot read %1: %2").arg(from, in.errorString());
        return false;
    }
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        *why = QStringLiteral("cannot create %1: %2").arg(to, out.errorString());
        return false;
    }
    const qint64 size = in.size();
    qint64 n = 0;
    bool ok = true;
    for (;;) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty()) {
            ok = in.error() == QFileDevice::NoError;
            break;
        }
        if (out.write(chunk) != chunk.size()) {
            ok = false;
            break;
        }
        n += chunk.size();
    }
    // Flushed, so a restore that reboots right after finds it whole.
    ok = ok && out.flush() && ::fsync(out.handle()) == 0 && n == size;
    if (!ok) {
        *why = QStringLiteral("copy of %1 failed (%2 of %3 bytes): %4")
                   .arg(from)
                   .arg(n)
                   .arg(size)
                   .arg(out.error() != QFileDevice::NoError ? out.errorString() : in.errorString());
        return false;
    }
    ++r.files;
    r.bytes += n;
    return true;
}

bool ParamGroups::copyTree(const QString& from, const QString& to, int* done, int total, Result& r, QString* why)
{
    if (!QDir().mkdir(to)) {
        *why = QStringLiteral("cannot make %1").arg(to);
        return false;
    }
    const QFileInfoList infos =
        QDir(from).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& fi : infos) {
        const QString dst = QDir(to).filePath(fi.fileName());
        if (fi.isDir()) {
            if (fi.isSymLink()) {
                LOG(INFO) << "parameter groups: linked folder " << fi.filePath().toStdString() << " not followed";
                continue;
            }
            if (!copyTree(fi.absoluteFilePath(), dst, done, total, r, why))
                return false;
        } else if (fi.isFile()) {
            if (!copyFile(fi.absoluteFilePath(), dst, r, why))
                return false;
            ++*done;
            if (progress)
                progress(*done, total);
        }
    }
    return true;
}

ParamGroups::Result ParamGroups::backup(const QString& name, int detections)
{
    Result r;
    r.name = CheckName(name);
    if (r.name != NameCheck::Ok) {
        r.detail = QStringLiteral("group name refused");
        return r;
    }
    detections = qBound(0, detections, kDetections);
    const QString groups = groupsDir();
    const QString stage = QDir(groups).filePath(QStringLiteral(".new-") + name);
    const QString target = groupDir(name);
    const auto fail = [&](const QString& why) {
        removeQuietly(stage);
        r.ok = false;
        r.detail = why;
        LOG(ERROR) << "parameter group " << name.toStdString() << " not backed up: " << why.toStdString();
        return r;
    };

    const QString paramDb = QDir(root_).filePath(kParamDb);
    if (!QFileInfo(paramDb).isFile())
        return fail(QStringLiteral("no %1").arg(kParamDb));
    QStringList folders;
    int total = 1;
    for (int c = 1; c <= kCameraSlots; ++c)
        for (int d = 1; d <= detections; ++d) {
            const QString f = templateFolder(c, d);
            const QFileInfo fi(QDir(root_).filePath(f));
            if (fi.isDir() && !fi.isSymLink()) {
                folders << f;
                total += countFiles(fi.absoluteFilePath());
            }
        }

    if (!QFileInfo(groups).isDir() && !QDir().mkpath(groups))
        return fail(QStringLiteral("cannot make %1").arg(groups));
    removeQuietly(stage);
    if (QFileInfo::exists(stage))
        return fail(QStringLiteral("stale %1 stays").arg(stage));

    QString why;
    int done = 0;
    if (progress)
        progress(0, total);
    if (!QDir().mkdir(stage))
        return fail(QStringLiteral("cannot make %1").arg(stage));
    for (const QString& f : folders)
        if (!copyTree(QDir(root_).filePath(f), QDir(stage).filePath(f), &done, total, r, &why))
            return fail(why);
    const QString paramCopy = QDir(stage).filePath(kParamDb);
    if (injected(QStringLiteral("copy ") + kParamDb))
        return fail(QStringLiteral("copy of %1 failed").arg(kParamDb));
    if (!SnapshotDatabase(paramDb, paramCopy, &why) || !paramDbSound(paramCopy, &why))
        return fail(why);
    ++r.files;
    r.bytes += QFileInfo(paramCopy).size();
    if (progress)
        progress(++done, total);

    // The swap: the old group leaves only once the new one is complete, and
    // comes back when the new one cannot take its name.
    if (QFileInfo::exists(target)) {
        const QString old = QDir(groups).filePath(QStringLiteral(".old-") + name);
        removeQuietly(old);
        if (!move(target, old, &why))
            return fail(why);
        if (!move(stage, target, &why)) {
            QString back;
            if (!move(old, target, &back))
                LOG(ERROR) << "parameter groups: " << back.toStdString();
            return fail(why);
        }
        removeQuietly(old);
    } else if (!move(stage, target, &why)) {
        return fail(why);
    }
    r.ok = true;
    LOG(INFO) << "parameter group " << name.toStdString() << " backed up: " << r.files << " files, " << r.bytes
              << " bytes";
    return r;
}

ParamGroups::Result ParamGroups::restore(const QString& name, int detections)
{
    Result r;
    r.name = CheckName(name);
    if (r.name == NameCheck::Protected)
        r.name = NameCheck::Ok;   // the factory group is restored like any other
    const auto refuse = [&](const QString& why) {
        r.ok = false;
        r.detail = why;
        LOG(ERROR) << "parameter group " << name.toStdString() << " not restored: " << why.toStdString();
        return r;
    };
    if (r.name != NameCheck::Ok)
        return refuse(QStringLiteral("group name refused"));
    detections = qBound(0, detections, kDetections);
    const QString source = groupDir(name);
    if (!QFileInfo(source).isDir())
        return refuse(QStringLiteral("%1 missing").arg(source));
    QString why;
    if (!paramDbSound(QDir(source).filePath(kParamDb), &why))
        return refuse(why);

    // What the group holds of a set; anything else stays where it is.
    QStringList items;
    int total = 0;
    const QFileInfoList infos =
        QDir(source).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& fi : infos) {
        const QString n = fi.fileName();
        const bool file = fi.isFile() && (n == kParamDb || n == kSerialDb || n == kFactoryArchive);
        const bool folder = fi.isDir() && !fi.isSymLink() && isTemplateFolder(n);
        if (file) {
            items << n;
            ++total;
        } else if (folder) {
            items << n;
            total += countFiles(fi.absoluteFilePath());
        } else {
            LOG(INFO) << "parameter group " << name.toStdString() << ": " << n.toStdString() << " skipped";
        }
    }

    // 1. The group's set copied into the stage and checked there.
    const QString groups = groupsDir();
    const QString stage = QDir(groups).filePath(kRestoreStage);
    const auto fail = [&](const QString& w) {
        removeQuietly(stage);
        return refuse(w);
    };
    removeQuietly(stage);
    if (QFileInfo::exists(stage) || !QDir().mkdir(stage))
        return fail(QStringLiteral("cannot make %1").arg(stage));
    int done = 0;
    if (progress)
        progress(0, total);
    for (const QString& n : items) {
        const QString from = QDir(source).filePath(n);
        const QString to = QDir(stage).filePath(n);
        if (QFileInfo(from).isDir()) {
            if (!copyTree(from, to, &done, total, r, &why))
                return fail(why);
        } else {
            if (!copyFile(from, to, r, &why))
                return fail(why);
            if (progress)
                progress(++done, total);
        }
    }
    if (!paramDbSound(QDir(stage).filePath(kParamDb), &why))
        return fail(why);

    // 2. What the set replaces: the group's items, the current template
    // folders of detections 1..detections, and the journals beside the
    // databases that are replaced.
    QStringList replaced = items;
    for (int c = 1; c <= kCameraSlots; ++c)
        for (int d = 1; d <= detections; ++d)
            if (!replaced.contains(templateFolder(c, d)))
                replaced << templateFolder(c, d);
    for (const QString& db : {kParamDb, kSerialDb})
        if (items.contains(db))
            for (const char* s : kSidecars)
                replaced << db + QLatin1String(s);

    // 3. The kept set: the last one stays aside until this one is in place.
    const QString previous = QDir(groups).filePath(kPrevious);
    const QString previousOld = QDir(groups).filePath(kPrevious + QStringLiteral(".old"));
    removeQuietly(previousOld);
    const bool hadPrevious = QFileInfo::exists(previous);
    if (hadPrevious && !move(previous, previousOld, &why))
        return fail(why);
    std::vector<std::pair<QString, QString>> moved;   // from, to
    const auto rollBack = [&](const QString& w) {
        for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
            if (!QDir().rename(it->second, it->first))
                LOG(ERROR) << "parameter groups: " << it->second.toStdString() << " not moved back to "
                           << it->first.toStdString();
        }
        removeQuietly(previous);
        if (hadPrevious && !QDir().rename(previousOld, previous))
            LOG(ERROR) << "parameter groups: " << previousOld.toStdString() << " not moved back";
        return fail(w);
    };
    if (!QDir().mkdir(previous))
        return rollBack(QStringLiteral("cannot make %1").arg(previous));

    // 4. The current set out, the staged set in.
    for (const QString& n : replaced) {
        const QString current = QDir(root_).filePath(n);
        if (!QFileInfo::exists(current) && !QFileInfo(current).isSymLink())
            continue;
        const QString kept = QDir(previous).filePath(n);
        if (!move(current, kept, &why))
            return rollBack(why);
        moved.emplace_back(current, kept);
    }
    for (const QString& n : items) {
        const QString staged = QDir(stage).filePath(n);
        const QString current = QDir(root_).filePath(n);
        if (!move(staged, current, &why))
            return rollBack(why);
        moved.emplace_back(staged, current);
    }
    removeQuietly(stage);
    removeQuietly(previousOld);
    r.ok = true;
    LOG(INFO) << "parameter group " << name.toStdString() << " restored: " << r.files << " files, " << r.bytes
              << " bytes; the replaced set is in " << previous.toStdString();
    return r;
}

ParamGroups::Result ParamGroups::remove(const QString& name)
{
    Result r;
    r.name = CheckName(name);
    const auto fail = [&](const QString& why) {
        r.ok = false;
        r.detail = why;
        LOG(ERROR) << "parameter group " << name.toStdString() << " not deleted: " << why.toStdString();
        return r;
    };
    if (r.name != NameCheck::Ok)
        return fail(QStringLiteral("group name refused"));
    const QString source = groupDir(name);
    if (!QFileInfo(source).isDir())
        return fail(QStringLiteral("%1 missing").arg(source));
    // Out of the listing at once; the removal itself may take a while and
    // leaves only a working folder behind when it fails.
    const QString trash = QDir(groupsDir()).filePath(QStringLiteral(".delete-") + name);
    removeQuietly(trash);
    QString why;
    if (QFileInfo::exists(trash) || !move(source, trash, &why))
        return fail(why.isEmpty() ? QStringLiteral("stale %1 stays").arg(trash) : why);
    removeQuietly(trash);
    r.ok = true;
    LOG(INFO) << "parameter group " << name.toStdString() << " deleted";
    return r;
}
