#include "slotpictures.h"

#include "graycolortable.h"
#include "relaylink.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

#include <cstring>

namespace {

QString SlotFolder(int camIndex, int d)
{
    return QStringLiteral("./cammer%1%2").arg(camIndex + 1).arg(d + 1);
}

// The picture at path, or a null image.  A missing file is the normal case
// (nothing stored yet) and stays quiet; a file that exists but does not load
// is logged.
QImage ReadPicture(const QString& path)
{
    if (!QFileInfo::exists(path))
        return {};
    QImageReader reader(path);
    QImage picture = reader.read();
    if (picture.isNull())
        qWarning().noquote() << "cannot read picture" << path << ":" << reader.errorString();
    return picture;
}

QString Describe(const QImage& picture)
{
    return QStringLiteral("%1x%2, %3 bits").arg(picture.width()).arg(picture.height()).arg(picture.depth());
}

// Copies the first rowBytes of every row of picture into dst, rows packed.
void CopyRowsOut(const QImage& picture, int rowBytes, uchar* dst)
{
    for (int y = 0; y < picture.height(); ++y)
        std::memcpy(dst + static_cast<size_t>(y) * rowBytes, picture.constScanLine(y), static_cast<size_t>(rowBytes));
}

void ReleaseBuffer(std::vector<uchar>& buffer)
{
    std::vector<uchar>().swap(buffer);
}

// Base template when none is stored: the central half of the picture.  Only
// the first imageLen bytes carry it, also in a colour slot.
void SynthesizeBaseTemplate(CameraSlotState& slot, int d)
{
    uchar* buffer = slot.TemplateBuffer(d, 0);
    if (!buffer)
        return;
    std::memset(buffer, 0, static_cast<size_t>(slot.colorLen));
    const int w = slot.imageW;
    const int h = slot.imageH;
    for (int y = h / 4; y <= 3 * (h / 4) && y < h; ++y)
        for (int x = w / 4; x <= 3 * (w / 4) && x < w; ++x)
            buffer[static_cast<size_t>(y) * w + x] = 255;
    slot.templateValid[d][0] = 1;
    ++slot.templateCount[d];
}

// Writes picture as a BMP beside path and renames it over path, so a failed
// write leaves the old file.  Logged on failure.
bool WriteBitmap(const QString& path, const QImage& picture)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning().noquote() << "cannot write" << path << ":" << file.errorString() << "; old file kept";
        return false;
    }
    QImageWriter writer(&file, "bmp");
    if (!writer.write(picture)) {
        file.cancelWriting();
        qWarning().noquote() << "cannot write" << path << ":" << writer.errorString() << "; old file kept";
        return false;
    }
    if (!file.commit()) {
        qWarning().noquote() << "cannot write" << path << ":" << file.errorString() << "; old file kept";
        return false;
    }
    return true;
}

} // namespace

QString TemplateFile(int camIndex, int d, int t)
{
    return SlotFolder(camIndex, d) + QStringLiteral("/template%1.bmp").arg(t);
}

QString IgnorePointFile(int camIndex, int d)
{
    return SlotFolder(camIndex, d) + QStringLiteral("/ignorepoint.bmp");
}

void LoadTemplateLibrary(CameraSlotState& slot, int camIndex)
{
    const qint64 wantedBits = qint64(slot.colorLen) * 8;
    for (int d = 0; d < kDetections; ++d) {
        slot.templateCount[d] = 0;
        for (int t = 0; t < static_cast<int>(slot.templates[d].size()); ++t) {
            slot.templateValid[d][t] = 0;
            const QString path = TemplateFile(camIndex, d, t);
            const QImage picture = ReadPicture(path);
            const bool usable = !picture.isNull() && slot.imageLen > 0 && picture.width() == slot.imageW
                && picture.height() == slot.imageH
                && qint64(picture.depth()) * picture.width() * picture.height() == wantedBits;
            if (!usable) {
                if (!picture.isNull())
                    qWarning().noquote() << "template picture" << path << "unusable (" << Describe(picture)
                                         << "), slot left empty";
                ReleaseBuffer(slot.templates[d][t]);
                continue;
            }
            CopyRowsOut(picture, slot.colorLen / slot.imageH, slot.TemplateBuffer(d, t));
            slot.templateValid[d][t] = 1;
            ++slot.templateCount[d];
        }
        if (!slot.templates[d].empty() && !slot.templateValid[d][0])
            SynthesizeBaseTemplate(slot, d);
    }
}

void LoadIgnorePoint(CameraSlotState& slot, int camIndex)
{
    for (int d = 0; d < kDetections; ++d) {
        std::vector<uchar>& mask = slot.ignoreMask[d];
        mask.assign(static_cast<size_t>(slot.imageLen), 0);
        const QString path = IgnorePointFile(camIndex, d);
        const QImage picture = ReadPicture(path);
        if (picture.isNull() || slot.imageLen <= 0)
            continue;
        if (picture.width() != slot.imageW || picture.height() != slot.imageH || picture.depth() != 8) {
            qWarning().noquote() << "ignore-point picture" << path << "unusable (" << Describe(picture)
                                 << "), no ignore points";
            continue;
        }
        CopyRowsOut(picture, slot.imageW, mask.data());
    }
}

bool SaveIgnorePoint(const CameraSlotState& slot, int camIndex, int d, bool netEnabled)
{
    if (d < 0 || d >= kDetections || slot.imageLen <= 0
        || slot.ignoreMask[d].size() != static_cast<size_t>(slot.imageLen)) {
        qWarning() << "no ignore-point mask of detection" << d + 1 << "to save";
        return false;
    }
    const QString folder = SlotFolder(camIndex, d);
    if (!QDir().mkpath(folder)) {
        qWarning().noquote() << "cannot make folder" << folder << "; ignore points not saved";
        return false;
    }

    QImage picture(slot.imageW, slot.imageH, QImage::Format_Indexed8);
    picture.setColorTable(GrayColorTable());
    const uchar* mask = slot.ignoreMask[d].data();
    for (int y = 0; y < slot.imageH; ++y)
        std::memcpy(picture.scanLine(y), mask + static_cast<size_t>(y) * slot.imageW, static_cast<size_t>(slot.imageW));

    const QString path = IgnorePointFile(camIndex, d);
    if (!WriteBitmap(path, picture))
        return false;
    if (netEnabled && RelayReady(true))
        gpNet->CNT_SendTempPic(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    return true;
}

bool WriteTemplateFile(const CameraSlotState& slot, int camIndex, int d, int t, const uchar* pixels)
{
    if (!pixels || d < 0 || d >= kDetections || t < 0 || slot.imageLen <= 0 || slot.imageH <= 0) {
        qWarning() << "no template" << t << "of detection" << d + 1 << "to write";
        return false;
    }
    const QString folder = SlotFolder(camIndex, d);
    if (!QDir().mkpath(folder)) {
        qWarning().noquote() << "cannot make folder" << folder << "; template not saved";
        return false;
    }
    const int rowBytes = slot.colorLen / slot.imageH;
    QImage picture(slot.imageW, slot.imageH, slot.color ? QImage::Format_RGB32 : QImage::Format_Indexed8);
    if (!slot.color)
        picture.setColorTable(GrayColorTable());
    for (int y = 0; y < slot.imageH; ++y)
        std::memcpy(picture.scanLine(y), pixels + static_cast<size_t>(y) * rowBytes, static_cast<size_t>(rowBytes));
    return WriteBitmap(TemplateFile(camIndex, d, t), picture);
}

bool SaveTemplate(const CameraSlotState& slot, int camIndex, int d, int t, bool netEnabled)
{
    if (d < 0 || d >= kDetections || t < 0 || t >= static_cast<int>(slot.templates[d].size())
        || slot.imageLen <= 0 || slot.templates[d][t].size() != static_cast<size_t>(slot.colorLen)) {
        qWarning() << "no template" << t << "of detection" << d + 1 << "to save";
        return false;
    }
    if (!WriteTemplateFile(slot, camIndex, d, t, slot.templates[d][t].data()))
        return false;
    if (netEnabled && RelayReady(true))
        gpNet->CNT_SendTempPic(QDir::cleanPath(QFileInfo(TemplateFile(camIndex, d, t)).absoluteFilePath()));
    return true;
}
