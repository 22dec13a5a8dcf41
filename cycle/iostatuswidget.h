#pragma once
// The status strip along the bottom of the main screen: lamps for the
// inputs and outputs of the I/O board with their names, the parameter group,
// the login state and the clock with the last cycle time (laid out by
// LayOutStrip).  A touch anywhere on it logs the user out.
#include "iostatusmodel.h"

#include <QFont>
#include <QPixmap>
#include <QStringList>
#include <QWidget>

class MoJuWizard;

class IOStatusWidget : public QWidget {
    Q_OBJECT
public:
    // Along the bottom of the screen: full width, 50 high up to 1024 pixels
    // of width, else 180.
    explicit IOStatusWidget(MoJuWizard* parent);
    // The same over any parent, with the access level a touch clears and the
    // cycle time shown (both owned by the caller, who outlives the strip).
    IOStatusWidget(QWidget* parent, int& accessLevel, const int& cycleTime);

    // The settings dialog's parameter-group list; empty until it supplies
    // one, and no group is drawn then.
    void setParamGroups(const QStringList& groups);
    const QStringList& paramGroups() const { return paramGroups_; }

    // Called on every pass of the main loop: schedules a repaint only when
    // something the strip shows has changed; returns whether it did.
    bool refresh();

    // Everything the strip shows, as it is now.
    StripInput currentInput() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // What a paint depends on, compared byte for byte on every pass.
    struct Shown {
        StripParams para;
        quint32 inputs = 0;     // levels of the inputs with a lamp
        quint32 outputs = 0;    // levels of the outputs with a lamp
        int login = 0;          // 0 not drawn, 1 logged out, 2 logged in
        int cycleTime = 0;
        int mounted = 0;
        qint64 second = 0;
        bool operator==(const Shown& o) const
        {
            return para == o.para && inputs == o.inputs && outputs == o.outputs && login == o.login
                && cycleTime == o.cycleTime && mounted == o.mounted && second == o.second;
        }
    };
    Shown shownNow();
    // The lamp pictures scaled to size, made again only when the size or a
    // picture changes.
    void scaleLamps(const QSize& size);

    int& accessLevel_;
    const int& cycleTime_;
    QStringList paramGroups_;
    Shown shown_;
    qint64 second_ = 0;          // the wall clock's second when last read
    qint64 nextSecondMs_ = 0;    // monotonic time at which it turns
    QSize lampSize_;
    qint64 lampKeys_[2] = {};
    QPixmap lamps_[2];
    QFont font_;   // sized per text
};
