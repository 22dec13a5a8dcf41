#include "templatelibrary.h"

#include "cameraglobals.h"
#include "messages.h"
#include "relaylink.h"
#include "slotpictures.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <set>

namespace {

// Number n of a file named exactly "template<n>.bmp" (no sign, no leading
// zero), else -1.
int TemplateNumber(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^template(0|[1-9][0-9]{0,8})\\.bmp$"));
    const QRegularExpressionMatch match = pattern.match(name);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// Removes path; a file already gone counts as removed.  Logged on failure.
bool RemoveFile(const QString& path)
{
    QFile file(path);
    if (!file.exists() || file.remove())
        return true;
    qWarning().noquote() << "cannot remove template" << path << ":" << file.errorString();
    return false;
}

bool InRange(int value, int size) { return value >= 0 && value < size; }

} // namespace

void TemplateReports::written(const QString& path) const
{
    if (netEnabled && RelayReady(true))
        gpNet->CNT_SendTempPic(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
}

void TemplateReports::removed(int camIndex, int d, const QString& name) const
{
    if (netEnabled && RelayReady(true))
        gpNet->CNT_SendDelTempPic(camIndex + 1, d + 1, name);
}

void TemplateReports::record(const QString& text) const
{
    if (insertRecord)
        insertRecord(text);
}

void TemplateReports::retrain(int camIndex) const
{
    if (retrainLater)
        retrainLater(camIndex);
}

TemplateSlotChoice ChooseTemplateSlot(const std::vector<int>& valid, const std::vector<TemplateFileEntry>& entries)
{
    TemplateSlotChoice choice;
    const int slotCount = static_cast<int>(valid.size());
    const auto firstFree = std::find(valid.begin(), valid.end(), 0);
    if (firstFree != valid.end()) {
        choice.slot = static_cast<int>(firstFree - valid.begin());
        choice.freeSlot = true;
        return choice;
    }
    if (slotCount == 0)
        return choice;

    // Oldest library file other than the base template.
    const TemplateFileEntry* oldest = nullptr;
    int oldestNumber = -1;
    for (const TemplateFileEntry& entry : entries) {
        const int n = TemplateNumber(entry.name);
        if (n < 1)
            continue;
        if (!oldest || entry.modified < oldest->modified
            || (entry.modified == oldest->modified && entry.name < oldest->name)) {
            oldest = &entry;
            oldestNumber = n;
        }
    }
    choice.slot = slotCount - 1;
    if (oldestNumber >= slotCount)
        choice.strayNumber = oldestNumber;
    else if (oldestNumber >= 1)
        choice.slot = oldestNumber;
    return choice;
}

TemplateLibrary::TemplateLibrary(CameraSlotState& slot, const TemplateReports& reports)
    : slot_(slot), reports_(reports)
{
}

void TemplateLibrary::GetTempTIme(int c, int d, int n)
{
    const QFileInfo file(TemplateFile(c, d, n));
    gTempTime = file.exists() ? file.lastModified().toString(QStringLiteral("yyyy-MM-dd hh.mm.ss")) : QString();
}

bool TemplateLibrary::stepShown(int d, int direction)
{
    const int slotCount = slot_.templateSlots;
    if (!InRange(d, kDetections) || !InRange(slot_.tempShown, slotCount)
        || static_cast<int>(slot_.templateValid[d].size()) != slotCount)
        return false;
    const int step = direction < 0 ? slotCount - 1 : 1;
    int k = slot_.tempShown;
    // At most one round: slot 0 is always valid, but a broken library must
    // not hang the page.
    for (int tries = 0; tries < slotCount; ++tries) {
        k = (k + step) % slotCount;
        if (slot_.templateValid[d][k]) {
            show(d, k);
            return true;
        }
    }
    return false;
}

TemplateOutcome TemplateLibrary::deleteShown(int d)
{
    TemplateOutcome outcome;
    const int k = slot_.tempShown;
    if (!InRange(d, kDetections) || !InRange(k, static_cast<int>(slot_.templateValid[d].size())))
        return outcome;
    if (k == 0) {
        outcome.warning = 68;
        return outcome;
    }
    if (!slot_.templateValid[d][k])
        return outcome;
    // The file goes first: a template that stays on disk must stay in memory,
    // or it would come back at the next start unseen.
    if (!RemoveFile(fileName(d, k))) {
        outcome.warning = 0;
        return outcome;
    }
    dropSlot(d, k);
    reports_.retrain(slot_.camIndex);
    reports_.removed(slot_.camIndex, d, QStringLiteral("template%1.bmp").arg(k));
    stepShown(d, 1);
    reports_.record(Msg(70).arg(slot_.camIndex + 1).arg(k + 1));
    outcome.changed = true;
    outcome.slot = k;
    return outcome;
}

TemplateOutcome TemplateLibrary::add(int d, const std::vector<uchar>& picture)
{
    TemplateOutcome outcome;
    if (slot_.templateSlots < 2) {
        outcome.warning = 258;
        return outcome;
    }
    if (!InRange(d, kDetections) || slot_.colorLen <= 0 || picture.size() != static_cast<size_t>(slot_.colorLen))
        return outcome;

    const TemplateSlotChoice choice = ChooseTemplateSlot(slot_.templateValid[d], listFolder(d));
    if (!InRange(choice.slot, static_cast<int>(slot_.templates[d].size())))
        return outcome;
    if (choice.strayNumber >= 0) {
        if (!RemoveFile(fileName(d, choice.strayNumber))) {
            outcome.warning = 0;
            return outcome;
        }
        reports_.removed(slot_.camIndex, d, QStringLiteral("template%1").arg(choice.strayNumber));
    }
    // Written before the buffer changes, so a refused write leaves the
    // library as it was.
    if (!WriteTemplateFile(slot_, slot_.camIndex, d, choice.slot, picture.data())) {
        outcome.warning = 0;
        return outcome;
    }
    uchar* buffer = slot_.TemplateBuffer(d, choice.slot);
    std::memcpy(buffer, picture.data(), picture.size());
    if (!slot_.templateValid[d][choice.slot]) {
        slot_.templateValid[d][choice.slot] = 1;
        ++slot_.templateCount[d];
    }
    reports_.written(fileName(d, choice.slot));
    reports_.record(Msg(109).arg(slot_.camIndex + 1));
    outcome.changed = true;
    outcome.slot = choice.slot;
    return outcome;
}

TemplateOutcome TemplateLibrary::deleteAll(int detections)
{
    TemplateOutcome outcome;
    detections = std::clamp(detections, 0, kDetections);
    for (int d = 0; d < detections; ++d) {
        const QDir folder(QStringLiteral("./cammer%1%2").arg(slot_.camIndex + 1).arg(d + 1));
        // Slot numbers whose file is still on disk.
        std::set<int> kept;
        const QStringList names = folder.entryList({QStringLiteral("template*")}, QDir::Files, QDir::Name);
        for (const QString& name : names) {
            if (name == QLatin1String("template0.bmp"))
                continue;
            if (!RemoveFile(folder.filePath(name))) {
                outcome.warning = 0;
                kept.insert(TemplateNumber(name));
                continue;
            }
            outcome.changed = true;
            reports_.removed(slot_.camIndex, d, name);
        }
        for (int n = 1; n < static_cast<int>(slot_.templateValid[d].size()); ++n) {
            if (slot_.templateValid[d][n] && !kept.count(n)) {
                dropSlot(d, n);
                outcome.changed = true;
            }
        }
    }
    if (outcome.changed) {
        slot_.tempShown = 0;
        reports_.retrain(slot_.camIndex);
    }
    return outcome;
}

QString TemplateLibrary::fileName(int d, int n) const
{
    return TemplateFile(slot_.camIndex, d, n);
}

std::vector<TemplateFileEntry> TemplateLibrary::listFolder(int d) const
{
    const QDir folder(QStringLiteral("./cammer%1%2").arg(slot_.camIndex + 1).arg(d + 1));
    std::vector<TemplateFileEntry> entries;
    for (const QFileInfo& info : folder.entryInfoList({QStringLiteral("template*.bmp")}, QDir::Files))
        entries.push_back({info.fileName(), info.lastModified()});
    return entries;
}

void TemplateLibrary::dropSlot(int d, int n)
{
    slot_.templateValid[d][n] = 0;
    --slot_.templateCount[d];
    std::vector<uchar>().swap(slot_.templates[d][n]);
}

void TemplateLibrary::show(int d, int n)
{
    slot_.tempShown = n;
    const std::vector<uchar>& picture = slot_.templates[d][n];
    if (picture.size() == static_cast<size_t>(slot_.colorLen)) {
        slot_.shownFrame = picture;
        if (slot_.color && slot_.grayPlane.size() == static_cast<size_t>(slot_.imageLen))
            RgbaToDetectionPlane(picture.data(), slot_.imageW, slot_.imageH, slot_.grayPlane.data());
    }
    GetTempTIme(slot_.camIndex, d, n);
}

TemplateOutcome DeleteAllTemplates(const std::vector<CameraSlotState*>& cameraSlots, int detections,
                                   const TemplateReports& reports)
{
    TemplateOutcome outcome;
    for (CameraSlotState* slot : cameraSlots) {
        if (!slot)
            continue;
        const TemplateOutcome one = TemplateLibrary(*slot, reports).deleteAll(detections);
        outcome.changed = outcome.changed || one.changed;
        if (one.warning != TemplateOutcome::kNoWarning)
            outcome.warning = one.warning;
    }
    // A record of a deletion that did not happen would mislead.
    if (outcome.warning == TemplateOutcome::kNoWarning)
        reports.record(Msg(71));
    return outcome;
}
