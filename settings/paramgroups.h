#pragma once
// Parameter groups on disk: named snapshots of what the system inspects,
// one folder per group below "<program>/paraGroup".  A group holds PARAM.db
// and the template folders "cammer<c><d>"; the factory group "default" also
// SN.db and "20clearsh.tar.gz".
//
// No shell is involved: every copy, move and removal is a Qt file operation
// that reports failure, and nothing becomes visible half done:
//  - a backup is written into ".new-<name>", checked, and only then takes
//    the group's name (the old group is swapped out and removed last);
//  - a restore first checks the group (a PARAM.db that opens with its table
//    "sysparam"), copies it into ".restore" and checks the copy, then moves
//    what it replaces into ".previous" and the copy into place; a failure at
//    any step puts every moved item back;
//  - a delete renames the group out of the listing before removing it.
// Folders starting with "." are working folders and never listed.  The
// group "default" cannot be overwritten or deleted (the database recovery at
// start-up and the factory reset read it); it can be restored.
//
// Plain file work without widgets: the settings dialog runs it on a worker
// thread.  One operation at a time per program directory.
#include <QString>
#include <QStringList>

#include <functional>

class ParamGroups {
public:
    static const QString kFolder;         // "paraGroup"
    static const QString kDefault;        // "default"
    static const QString kRestoreStage;   // ".restore"
    static const QString kPrevious;       // ".previous"
    static constexpr int kMaxNameLength = 64;

    enum class NameCheck {
        Ok,
        Empty,      // nothing typed (blanks only count as nothing)
        Refused,    // "/", "\", a control character, a leading ".", too long
        Protected,  // "default": neither overwritten nor deleted
    };
    // Whether name may become a group folder.  Ok names go into paths as
    // they are: blanks, ";", "*" and quotes are plain characters here.
    static NameCheck CheckName(const QString& name);

    struct Result {
        bool ok = false;
        NameCheck name = NameCheck::Ok;   // why a name was refused
        QString detail;                   // for the log
        int files = 0;                    // files copied
        qint64 bytes = 0;
    };

    // programDir: the program directory (absolute or relative to the
    // current one).
    explicit ParamGroups(const QString& programDir);

    QString groupsDir() const;
    QString groupDir(const QString& name) const;

    // The group folders, sorted by name, working folders left out.  The
    // groups folder is made when it is missing.
    QStringList list() const;

    // The current set under name: the template folders of cameras 1..8 and
    // detections 1..detections that exist, and a consistent snapshot of
    // PARAM.db (written meanwhile or not).  An existing group is replaced
    // only once the new copy is complete and checked.
    Result backup(const QString& name, int detections);
    // The group's set in place of the current one: PARAM.db, SN.db and
    // "20clearsh.tar.gz" when the group has them, and its template folders;
    // the current template folders of detections 1..detections go even when
    // the group has none for them.  The replaced set is kept in ".previous".
    Result restore(const QString& name, int detections);
    Result remove(const QString& name);

    // Reports files done of total during a copy (worker thread).
    std::function<void(int done, int total)> progress;
    // Asked before every copy ("copy <path>") and move ("move <from>"): true
    // makes that step fail, for tests that break an operation half way.
    std::function<bool(const QString& step)> fault;

private:
    bool move(const QString& from, const QString& to, QString* why);
    bool copyTree(const QString& from, const QString& to, int* done, int total, Result& r, QString* why);
    bool copyFile(const QString& from, const QString& to, Result& r, QString* why);
    bool injected(const QString& step) const { return fault && fault(step); }

    QString root_;
};
