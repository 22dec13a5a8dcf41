#pragma once
// The shared pictures, loaded once at start-up from "./images/".  A missing
// file leaves a null picture; the widgets then draw nothing in its place.
#include <QString>
#include <QStringList>

class QPainter;
class QPixmap;
class QRect;

extern QPixmap* gpPixmapBG;        // background.png: boxes and pages
extern QPixmap* gpPixmapTitle;     // title.png
extern QPixmap* gpPixmapLine;      // line.png
extern QPixmap* gpPixmapEdit;      // edit.png: slider value box
extern QPixmap* gpPixmapSlideru;   // slideru.png: slider fill
extern QPixmap* gpPixmapSliderd;   // sliderd.png: slider track
extern QPixmap* gpPixmapSlidert;   // slidert.png: slider knob
extern QPixmap* gpPixmapButton[2]; // buttonu.png (released), buttond.png (pressed)
extern QPixmap* gpPixmapOUT[2];    // OUT1.png, OUT0.png: I/O lamps
extern QPixmap* gpPixmapMove[7];   // Origin, MoveUp, MoveDown, MoveLeft, MoveRight, EnlargeScale, ReductionScale

// The eighteen file names, in loading order.
QStringList PixmapFileNames();
// Loads every picture from dir (default "./images/"); may be called again.
void LoadPixmaps(const QString& dir = QStringLiteral("./images/"));

// Draws a shared picture scaled into rect; a missing or null picture draws nothing.
void DrawPixmap(QPainter& painter, const QRect& rect, const QPixmap* pixmap);
