#include "pixmaps.h"

#include <QDir>
#include <QPainter>
#include <QPixmap>

QPixmap* gpPixmapBG = nullptr;
QPixmap* gpPixmapTitle = nullptr;
QPixmap* gpPixmapLine = nullptr;
QPixmap* gpPixmapEdit = nullptr;
QPixmap* gpPixmapSlideru = nullptr;
QPixmap* gpPixmapSliderd = nullptr;
QPixmap* gpPixmapSlidert = nullptr;
QPixmap* gpPixmapButton[2] = {};
QPixmap* gpPixmapOUT[2] = {};
QPixmap* gpPixmapMove[7] = {};

namespace {
struct Slot {
    const char* file;
    QPixmap** global;
};

const Slot kSlots[] = {
    {"background.png", &gpPixmapBG},
    {"title.png", &gpPixmapTitle},
    {"line.png", &gpPixmapLine},
    {"edit.png", &gpPixmapEdit},
    {"slideru.png", &gpPixmapSlideru},
    {"sliderd.png", &gpPixmapSliderd},
    {"slidert.png", &gpPixmapSlidert},
    {"buttonu.png", &gpPixmapButton[0]},
    {"buttond.png", &gpPixmapButton[1]},
    {"OUT1.png", &gpPixmapOUT[0]},
    {"OUT0.png", &gpPixmapOUT[1]},
    {"Origin.png", &gpPixmapMove[0]},
    {"MoveUp.png", &gpPixmapMove[1]},
    {"MoveDown.png", &gpPixmapMove[2]},
    {"MoveLeft.png", &gpPixmapMove[3]},
    {"MoveRight.png", &gpPixmapMove[4]},
    {"EnlargeScale.png", &gpPixmapMove[5]},
    {"ReductionScale.png", &gpPixmapMove[6]},
};
}

QStringList PixmapFileNames()
{
    QStringList names;
    for (const Slot& s : kSlots)
        names << QString::fromLatin1(s.file);
    return names;
}

void LoadPixmaps(const QString& dir)
{
    const QDir d(dir);
    for (const Slot& s : kSlots) {
        const QPixmap loaded(d.filePath(QString::fromLatin1(s.file)));
        // Pointers handed out earlier stay valid when the pictures are reloaded.
        if (*s.global)
            **s.global = loaded;
        else
            *s.global = new QPixmap(loaded);
    }
}

void DrawPixmap(QPainter& painter, const QRect& rect, const QPixmap* pixmap)
{
    if (pixmap && !pixmap->isNull())
        painter.drawPixmap(rect, *pixmap);
}
