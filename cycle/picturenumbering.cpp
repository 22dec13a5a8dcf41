#include "picturenumbering.h"

#include <QDebug>
#include <QDir>
#include <QFile>

#include <algorithm>

namespace {

constexpr qint64 kFirstLegacyNumber = 99999;
constexpr qint64 kLowestLegacyNumber = 100;
// Room left above the largest number found, so that no new picture reuses
// a number even if a few pictures were written after the last listing.
constexpr qint64 kSerialMargin = 100;

// Names without a serial prefix, as older versions wrote them: only the
// time stamp ("yyyy-MM-dd_hh.mm.ss.zzz.jpg"), or a first part too short to
// be a number of ours.
bool IsLegacyName(const QStringList& parts)
{
    return parts.size() < 3 || parts.first().size() < 3;
}

// The text the legacy pictures are ordered by: their last two "_" parts,
// that is the date and the time.
QString TimeKey(const QStringList& parts)
{
    return parts.size() < 2 ? parts.join(QLatin1Char('_')) : parts.mid(parts.size() - 2).join(QLatin1Char('_'));
}

}

NumberingPlan PlanPictureNumbering(const QList<QPair<QString, QStringList>>& folders, qint64 serialStart)
{
    NumberingPlan plan;
    qint64 serial = serialStart;
    qint64 next = kFirstLegacyNumber;
    for (const auto& folder : folders) {
        struct Legacy {
            QString key;
            QString name;
        };
        QList<Legacy> legacy;
        for (const QString& name : folder.second) {
            const QStringList parts = name.split(QLatin1Char('_'));
            if (IsLegacyName(parts)) {
                legacy.append({TimeKey(parts), name});
                continue;
            }
            bool ok = false;
            const qint64 number = parts.first().toLongLong(&ok);
            if (ok && number > serial)
                serial = number;
        }
        // The latest picture gets the highest number, as the writer would
        // have given it; equal keys keep their name order.
        std::stable_sort(legacy.begin(), legacy.end(),
                         [](const Legacy& a, const Legacy& b) { return a.key > b.key; });
        for (const Legacy& l : legacy) {
            plan.renames.append({folder.first, l.name, QStringLiteral("%1_%2").arg(next).arg(l.name)});
            if (next > kLowestLegacyNumber)
                --next;
        }
    }
    plan.serial = serial + kSerialMargin;
    return plan;
}

qint64 RenumberPictures(const QStringList& folders, qint64 serialStart)
{
    QList<QPair<QString, QStringList>> listed;
    for (const QString& folder : folders)
        listed.append({folder, QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name)});
    const NumberingPlan plan = PlanPictureNumbering(listed, serialStart);
    for (const PictureRename& r : plan.renames) {
        const QDir dir(r.folder);
        if (!QFile::rename(dir.filePath(r.from), dir.filePath(r.to)))
            qWarning().noquote() << "Picture numbering: cannot rename" << dir.filePath(r.from) << "to" << r.to;
    }
    return plan.serial;
}
