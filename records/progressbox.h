#pragma once
// The box without buttons that an export shows while it works: message 326
// over "k / n" (files read, or the export program's progress).  Shown
// window-modal, not exec()'d: the work goes on in the event loop and the
// owner hides the box when it ends, so the page cannot be used meanwhile.
#include "kitbox.h"

class ProgressBox : public KitBox {
    Q_OBJECT
public:
    explicit ProgressBox(QWidget* parent = nullptr);

    void setProgress(int done, int total);
    // "k / n" as shown below the message.
    static QString progressText(int done, int total);

    int done = 0, total = 0;

protected:
    void paintEvent(QPaintEvent* event) override;
};
