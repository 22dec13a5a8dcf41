#pragma once
// The start-up repair of the picture numbering: pictures of older versions,
// named only by their time stamps, get a number in front so that the
// writer's newest-first order holds for them too, and the running number
// starts above every number in use.
#include <QList>
#include <QString>
#include <QStringList>

struct PictureRename {
    QString folder;
    QString from;   // file name
    QString to;
};

struct NumberingPlan {
    QList<PictureRename> renames;
    qint64 serial = 0;   // failImageSerial after the run (the + 100 included)
};

// Folders in visiting order, each with its "*.jpg" names in name order.
// Legacy names (fewer than three "_" parts, or a first part shorter than
// three characters) are numbered from 99999 down over all folders, never
// below 100, the later time stamp first; the largest leading number of the
// other names raises the serial; at the end 100 is added.
NumberingPlan PlanPictureNumbering(const QList<QPair<QString, QStringList>>& folders, qint64 serialStart);

// Lists the folders, carries the plan out on disk and returns the serial.
qint64 RenumberPictures(const QStringList& folders, qint64 serialStart);
