#pragma once
// The template library of one camera slot: per detection, the template
// buffers in memory and the files "./cammer<camIndex + 1><d + 1>/
// template<n>.bmp" of the program directory, kept together.  Template 0 is
// the base template (only re-sampling replaces it); slots 1..N-1 are added
// from NG pictures and deleted one by one or all at once.  N is the slot's
// templateSlots, the template count fixed at start-up.
//
// Every change reaches the files at once.  A file that cannot be written or
// removed leaves the library as it was: nothing is reported, the failure is
// logged and the caller is told to warn with message 0.
//
// The area page asks the operator, checks access and the alarm, and retrains
// after an addition; this class does the file and buffer work in between.
// GUI thread only: the detector reads the same buffers unlocked.
#include "cameraslotstate.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <vector>

// Where library changes are reported beyond the slot.  The relay is told
// when netEnabled is set and gpNet listens and is connected; the operation
// record and the page's retrain flag go to the functions, skipped when empty.
struct TemplateReports {
    bool netEnabled = false;
    std::function<void(const QString& text)> insertRecord;
    // The camera's detector must be retrained before it judges with this
    // library (the page does so at its next save).
    std::function<void(int camIndex)> retrainLater;

    // A template file was written (its absolute path).
    void written(const QString& path) const;
    // A template file of camera slot camIndex, detection d was removed.
    void removed(int camIndex, int d, const QString& name) const;
    void record(const QString& text) const;
    void retrain(int camIndex) const;
};

// What a library operation did, for the page.
struct TemplateOutcome {
    static constexpr int kNoWarning = -1;
    int warning = kNoWarning;   // message id to show in the warning box
    bool changed = false;       // buffers or files changed
    int slot = -1;              // slot added or deleted, -1 none
};

// One "template*.bmp" entry of a detection folder.
struct TemplateFileEntry {
    QString name;
    QDateTime modified;
};

// The slot an addition fills.
struct TemplateSlotChoice {
    int slot = -1;          // -1: no slot (no template slots at all)
    bool freeSlot = false;  // the slot held no picture: the count rises
    int strayNumber = -1;   // file "template<n>.bmp", n >= the slot count, to remove first; -1 none
};

// Slot choice of an addition over the valid flags of one detection (their
// size is the slot count N) and its folder entries, in any order.
// - A free slot: the lowest one.
// - A full library replaces the slot of its oldest file (modification time,
//   then name) among those named exactly "template<n>.bmp" with n >= 1.
//   A file numbered n >= N, left by a larger library, is removed and slot
//   N-1 is replaced.  Other names (a stray "template_old.bmp") never count,
//   so the base template is never replaced.
// - A full library without such a file: slot N-1.
TemplateSlotChoice ChooseTemplateSlot(const std::vector<int>& valid, const std::vector<TemplateFileEntry>& entries);

class TemplateLibrary {
public:
    TemplateLibrary(CameraSlotState& slot, const TemplateReports& reports);

    // Sets gTempTime to the modification time of template n of camera c,
    // detection d, as "yyyy-MM-dd hh.mm.ss"; empty for a missing file.
    static void GetTempTIme(int c, int d, int n);

    // Moves tempShown to the previous (direction < 0) or next valid slot of d,
    // cyclically, and shows it: shownFrame, in colour the detection plane,
    // and gTempTime.  Nothing happens, false, when tempShown or d is out of
    // range or no slot of d holds a picture.  The caller repaints.
    bool stepShown(int d, int direction);

    // Deletes the shown template of d: its file, then its slot; reports the
    // name "template<k>.bmp", asks for retraining, shows the next valid
    // template and records message 70.  Template 0: warning 68, no change.
    TemplateOutcome deleteShown(int d);

    // Adds picture (colorLen bytes) to the library of d in the slot
    // ChooseTemplateSlot gives; reports the stray file removed ("template<n>",
    // no extension), then the written file, and records message 109.  The
    // caller retrains.  Fewer than two slots: warning 258.  A picture of
    // another size (an empty recent-NG slot) adds nothing, without warning.
    // The stray file goes before the write; when the write then fails, its
    // removal has happened and stays reported.
    TemplateOutcome add(int d, const std::vector<uchar>& picture);

    // Empties the libraries of detections 0..detections-1 down to template 0:
    // removes every "template*" file but "template0.bmp" (each reported by
    // its name) and every other slot.  A slot whose file could not be
    // removed stays (warning 0).  When anything changed, template 0 is shown
    // and retraining is asked for.
    TemplateOutcome deleteAll(int detections);

private:
    QString fileName(int d, int n) const;
    std::vector<TemplateFileEntry> listFolder(int d) const;
    void dropSlot(int d, int n);
    void show(int d, int n);

    CameraSlotState& slot_;
    const TemplateReports& reports_;
};

// Empties the libraries of every slot given (detections 0..detections-1),
// then records message 71 when no file refused its removal; else warning 0.
TemplateOutcome DeleteAllTemplates(const std::vector<CameraSlotState*>& cameraSlots, int detections,
                                   const TemplateReports& reports);
