#pragma once
// Counts the paint events of the widgets it is installed on as an event
// filter, so a test sees whether a repaint really happened.
#include <QEvent>
#include <QObject>

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};
