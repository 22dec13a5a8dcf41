#include "progressbox.h"

#include "messages.h"

ProgressBox::ProgressBox(QWidget* parent) : KitBox(parent)
{
    // A window of its own, centred on the screen like every box of the kit,
    // also over a page that is smaller than the screen.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowModality(Qt::ApplicationModal);
    setText(Msg(326), 326);
}

QString ProgressBox::progressText(int done, int total)
{
    return QStringLiteral("%1 / %2").arg(done).arg(total);
}

void ProgressBox::setProgress(int d, int t)
{
    done = d;
    total = t;
    update();
}

void ProgressBox::paintEvent(QPaintEvent*)
{
    PaintBox(this, message + QStringLiteral("\n") + progressText(done, total),
             QRect(0, 0, width(), height()), Qt::AlignCenter, true);
}
