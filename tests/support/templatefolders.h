#pragma once
// What the template-library tests look at: the files of a detection folder
// and the valid slots of a library.
#include "cameraslotstate.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <map>
#include <vector>

// Names and bytes of every file of a folder.
inline std::map<QString, QByteArray> folderFiles(const QString& folder)
{
    std::map<QString, QByteArray> files;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            files[name] = file.readAll();
    }
    return files;
}

inline QStringList folderNames(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// The slots of detection d that hold a picture, in order.
inline std::vector<int> validSlots(const CameraSlotState& slot, int d)
{
    std::vector<int> valid;
    for (int n = 0; n < static_cast<int>(slot.templateValid[d].size()); ++n)
        if (slot.templateValid[d][n])
            valid.push_back(n);
    return valid;
}

inline QString absolute(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}
