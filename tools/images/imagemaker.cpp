#include "imagemaker.h"

#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <functional>

namespace {
using Painter = std::function<void(QPainter&, const QSize&)>;

struct Picture {
    const char* name;
    QSize size;
    Painter paint;
};

QLinearGradient vertical(int h, const QColor& top, const QColor& bottom)
{
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

void background(QPainter& p, const QSize& s)
{
    p.fillRect(QRect(QPoint(0, 0), s), vertical(s.height(), QColor(0x22, 0x30, 0x44), QColor(0x0b, 0x12, 0x1c)));
    p.setPen(QPen(QColor(0x3a, 0x4e, 0x68), 2));
    p.drawRect(QRect(1, 1, s.width() - 2, s.height() - 2));
}

void title(QPainter& p, const QSize& s)
{
    p.fillRect(QRect(QPoint(0, 0), s), vertical(s.height(), QColor(0x2f, 0x6f, 0xb0), QColor(0x18, 0x3c, 0x66)));
    p.fillRect(QRect(0, s.height() - 2, s.width(), 2), QColor(0x8f, 0xc3, 0xf0));
}

void line(QPainter& p, const QSize& s)
{
    p.fillRect(QRect(QPoint(0, 0), s), QColor(0x8a, 0xa0, 0xb8));
}

void roundBox(QPainter& p, const QSize& s, const QBrush& fill, const QColor& border, int radius)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(border, 2));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(1, 1, s.width() - 2, s.height() - 2), radius, radius);
}

void valueBox(QPainter& p, const QSize& s)
{
    roundBox(p, s, QColor(0x08, 0x14, 0x1e), QColor(0x5d, 0x7a, 0x96), 6);
}

void track(QPainter& p, const QSize& s)
{
    roundBox(p, s, vertical(s.height(), QColor(0x1a, 0x1d, 0x22), QColor(0x3a, 0x3f, 0x48)), QColor(0x60, 0x68, 0x74), s.height() / 3);
}

void fill(QPainter& p, const QSize& s)
{
    roundBox(p, s, vertical(s.height(), QColor(0x6f, 0xd6, 0x9a), QColor(0x1e, 0x84, 0x49)), QColor(0x1e, 0x84, 0x49), s.height() / 3);
}

void knob(QPainter& p, const QSize& s)
{
    roundBox(p, s, vertical(s.height(), QColor(0xff, 0xff, 0xff), QColor(0xb8, 0xbe, 0xc6)), QColor(0x30, 0x34, 0x3a), 3);
}

void button(QPainter& p, const QSize& s, bool pressed)
{
    const QLinearGradient g = pressed ? vertical(s.height(), QColor(0x12, 0x33, 0x63), QColor(0x1f, 0x4f, 0x99))
                                      : vertical(s.height(), QColor(0x4a, 0x8c, 0xe0), QColor(0x1c, 0x4a, 0x90));
    roundBox(p, s, g, pressed ? QColor(0x9c, 0xc8, 0xff) : QColor(0xd0, 0xe4, 0xff), 12);
}

void lamp(QPainter& p, const QSize& s, bool lit)
{
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(s.width() * 0.4, s.height() * 0.35, s.width() * 0.6);
    g.setColorAt(0, lit ? QColor(0xb8, 0xff, 0xc0) : QColor(0xa0, 0xa4, 0xaa));
    g.setColorAt(1, lit ? QColor(0x10, 0xa0, 0x30) : QColor(0x40, 0x44, 0x4a));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 2));
    p.drawEllipse(QRectF(2, 2, s.width() - 4, s.height() - 4));
}

// A round dark badge the navigation symbols stand on.
void badge(QPainter& p, const QSize& s)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x10, 0x20, 0x30, 190));
    p.setPen(QPen(QColor(0xe0, 0xe8, 0xf0), 3));
    p.drawRoundedRect(QRectF(2, 2, s.width() - 4, s.height() - 4), 12, 12);
}

// A triangle pointing at angle degrees (0 = right), centred in s.
void arrow(QPainter& p, const QSize& s, int angle, const QColor& color)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(s.width() / 2.0, s.height() / 2.0);
    p.rotate(angle);
    const double r = qMin(s.width(), s.height()) * 0.3;
    QPainterPath path;
    path.moveTo(r, 0);
    path.lineTo(-r * 0.7, -r);
    path.lineTo(-r * 0.7, r);
    path.closeSubpath();
    p.fillPath(path, color);
    p.restore();
}

void moveButton(QPainter& p, const QSize& s, int angle)
{
    badge(p, s);
    arrow(p, s, angle, Qt::white);
}

void origin(QPainter& p, const QSize& s)
{
    badge(p, s);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 4));
    p.setBrush(Qt::NoBrush);
    const QRectF frame(s.width() * 0.25, s.height() * 0.25, s.width() * 0.5, s.height() * 0.5);
    p.drawRect(frame);
    p.setBrush(Qt::white);
    p.drawEllipse(frame.center(), s.width() * 0.06, s.height() * 0.06);
}

void magnifier(QPainter& p, const QSize& s, bool plus)
{
    badge(p, s);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QPointF c(s.width() * 0.43, s.height() * 0.43);
    const double r = s.width() * 0.22;
    p.drawEllipse(c, r, r);
    p.drawLine(c + QPointF(r * 0.72, r * 0.72), QPointF(s.width() * 0.8, s.height() * 0.8));
    p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c - QPointF(r * 0.55, 0), c + QPointF(r * 0.55, 0));
    if (plus)
        p.drawLine(c - QPointF(0, r * 0.55), c + QPointF(0, r * 0.55));
}

void spinArrow(QPainter& p, const QSize& s, int angle)
{
    arrow(p, s, angle, QColor(0x1f, 0x4f, 0x99));
}

void check(QPainter& p, const QSize& s)
{
    roundBox(p, s, QColor(0x1e, 0x84, 0x49), QColor(0xf0, 0xf0, 0xf0), 4);
    p.setPen(QPen(Qt::white, s.width() / 8.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(s.width() * 0.22, s.height() * 0.52);
    tick.lineTo(s.width() * 0.42, s.height() * 0.72);
    tick.lineTo(s.width() * 0.78, s.height() * 0.28);
    p.drawPath(tick);
}

// The bar's emblem: the product's generic name beside two mould halves
// watched by a lens.  No maker's mark.
void logo(QPainter& p, const QSize& s)
{
    roundBox(p, s, vertical(s.height(), QColor(0x24, 0x3a, 0x56), QColor(0x10, 0x1c, 0x2c)), QColor(0x8f, 0xc3, 0xf0), 14);
    const double h = s.height();
    const QRectF left(h * 0.14, h * 0.24, h * 0.26, h * 0.52);
    const QRectF right(left.right() + h * 0.06, left.top(), left.width(), left.height());
    p.setPen(QPen(QColor(0xd0, 0xe4, 0xff), 2));
    p.setBrush(QColor(0x4a, 0x8c, 0xe0));
    p.drawRoundedRect(left, 3, 3);
    p.drawRoundedRect(right, 3, 3);
    p.setBrush(QColor(0x10, 0x1c, 0x2c));
    p.drawEllipse(QPointF(left.right() + h * 0.03, h * 0.5), h * 0.11, h * 0.11);
    p.setBrush(QColor(0x6f, 0xd6, 0x9a));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(left.right() + h * 0.03, h * 0.5), h * 0.05, h * 0.05);

    QFont font(QStringLiteral("Sans"));
    font.setBold(true);
    font.setPixelSize(int(h * 0.24));
    p.setFont(font);
    p.setPen(Qt::white);
    const QRectF text(right.right() + h * 0.12, h * 0.14, s.width() - right.right() - h * 0.2, h * 0.72);
    p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Mould\nMonitor"));
}

const QList<Picture>& pictures()
{
    static const QList<Picture> list = {
        {"background.png", {800, 400}, background},
        {"title.png", {800, 60}, title},
        {"line.png", {800, 4}, line},
        {"edit.png", {80, 48}, valueBox},
        {"slideru.png", {400, 24}, fill},
        {"sliderd.png", {400, 40}, track},
        {"slidert.png", {10, 48}, knob},
        {"buttonu.png", {220, 100}, [](QPainter& p, const QSize& s) { button(p, s, false); }},
        {"buttond.png", {220, 100}, [](QPainter& p, const QSize& s) { button(p, s, true); }},
        {"OUT1.png", {32, 32}, [](QPainter& p, const QSize& s) { lamp(p, s, true); }},
        {"OUT0.png", {32, 32}, [](QPainter& p, const QSize& s) { lamp(p, s, false); }},
        {"Origin.png", {64, 64}, origin},
        {"MoveUp.png", {64, 64}, [](QPainter& p, const QSize& s) { moveButton(p, s, -90); }},
        {"MoveDown.png", {64, 64}, [](QPainter& p, const QSize& s) { moveButton(p, s, 90); }},
        {"MoveLeft.png", {64, 64}, [](QPainter& p, const QSize& s) { moveButton(p, s, 180); }},
        {"MoveRight.png", {64, 64}, [](QPainter& p, const QSize& s) { moveButton(p, s, 0); }},
        {"EnlargeScale.png", {64, 64}, [](QPainter& p, const QSize& s) { magnifier(p, s, true); }},
        {"ReductionScale.png", {64, 64}, [](QPainter& p, const QSize& s) { magnifier(p, s, false); }},
        {"left.png", {60, 60}, [](QPainter& p, const QSize& s) { spinArrow(p, s, 180); }},
        {"right.png", {60, 60}, [](QPainter& p, const QSize& s) { spinArrow(p, s, 0); }},
        {"check.png", {32, 32}, check},
        {"logo2.png", {230, 110}, logo},
    };
    return list;
}
}


QStringList MakeInterfaceImages(const QString& dir)
{
    QStringList failed;
    QDir().mkpath(dir);
    const QDir out(dir);
    for (const Picture& pic : pictures()) {
        QImage img(pic.size, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        {
            QPainter p(&img);
            pic.paint(p, pic.size);
        }
        const QString path = out.filePath(QString::fromLatin1(pic.name));
        if (!img.save(path, "PNG"))
            failed << path;
    }
    return failed;
}
