// mm_widget_gallery: shows the widget kit on a full-screen window, one page
// at a time, so that it can be looked at on a real (or virtual) display.
//
//   mm_widget_gallery [--page N] [--lang L]      show one page until closed
//   mm_widget_gallery --shots DIR                save every page in every language
//
// The screen size is the display's; run it under Xvfb at 1280x800 and at
// 1024x600 to see both layouts.
#include "checkbox.h"
#include "choosebox.h"
#include "choosecalinumwidget.h"
#include "colorbutton.h"
#include "combobox.h"
#include "edit.h"
#include "editbox.h"
#include "editdatetime.h"
#include "editip.h"
#include "globals.h"
#include "imagemaker.h"
#include "keypadhost.h"
#include "kitfonts.h"
#include "messages.h"
#include "modifytimewidget.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "pixmaps.h"
#include "slider.h"
#include "warnbox.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

namespace {
constexpr int kPages = 7;

class GalleryWindow : public QWidget {
public:
    GalleryWindow() { setGeometry(0, 0, gShowW, gShowH); }
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(0x30, 0x30, 0x30));
    }
};

// Opens the keypad of a field as a touch would.
void touch(Edit* field)
{
    QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
    QApplication::sendEvent(field, &in);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(1, 1), field->mapToGlobal(QPointF(1, 1)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(field, &release);
}

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void buildPage(int page, QWidget* win)
{
    const bool large = gShowW > 1024;
    const int row = large ? 70 : 42;
    switch (page) {
    case 0: {
        auto* exposure = new EditBox(0, 1000, win, Msg(166), Msg(540), EditBoxTypeScaled, 10);
        exposure->move(20, 20);
        exposure->setValue(35);
        auto* sens = new EditBox(0, 100, win, Msg(23), QString(), EditBoxTypeScaled, 10);
        sens->move(20, 20 + row);
        sens->setValue(25);
        auto* ip = new EditIP(Msg(329), win);
        ip->setGeometry(20, 20 + 2 * row, large ? 720 : 400, large ? 80 : 50);
        ip->setTextIP(QStringLiteral("192.168.1.10"));
        auto* check = new CheckBox(win, Msg(271));
        check->move(20, 40 + 3 * row);
        check->setValue(1);
        check->adjustSize();
        auto* combo = new ComboBox(win);
        combo->addItems({Msg(164), Msg(165), Msg(24)});
        combo->setGeometry(large ? 620 : 380, 40 + 3 * row, large ? 200 : 120, large ? 50 : 30);
        auto* b1 = new ColorButton(Msg(201), win, ColorButtonSizeNormal);
        b1->setGeometry(20, 40 + 4 * row, large ? 300 : 180, large ? 60 : 36);
        auto* b2 = new ColorButton(Msg(45), win, ColorButtonSizeLarge);
        b2->setGeometry(large ? 340 : 210, 40 + 4 * row, large ? 220 : 140, large ? 60 : 36);
        auto* pic = new ColorButton(gpPixmapMove[5] ? *gpPixmapMove[5] : QPixmap(), win);
        pic->setGeometry(large ? 580 : 360, 40 + 4 * row, large ? 60 : 40, large ? 60 : 40);
        const int sliderH = large ? 60 : 40;
        const QString names[3] = {Msg(23), Msg(24), Msg(582)};
        for (int i = 0; i < 3; ++i) {
            auto* s = new Slider(0, 100, 1, 20 + 30 * i, win, names[i]);
            s->setGeometry(20, (large ? 420 : 260) + i * (sliderH + 6), large ? 900 : 600, sliderH);
        }
        win->show();
        // 99.9 and a unit: the widest text a value field shows.
        touch(exposure->valueField);
        for (int id : {8, 8, 8})
            gpNumPad->setContent(id);
        break;
    }
    case 1: {
        auto* name = new Edit(6, win, 1);
        name->setGeometry(20, 20, large ? 400 : 250, large ? 50 : 30);
        name->setFont(QFont(QStringLiteral("wqy-microhei"), large ? 24 : 14));
        win->show();
        touch(name);
        for (int id : {11, 12, 13})
            gpNumCharPad->setContent(id);
        break;
    }
    case 2: {
        auto* pad = new Edit(6, win, 1);
        pad->setGeometry(20, gShowH - (large ? 120 : 80), large ? 400 : 250, large ? 50 : 30);
        win->show();
        touch(pad);
        gpNumCharPad->SlotChgChar_Punc();
        break;
    }
    case 3:
        gpWarnBox->setText(Msg(39));
        win->show();
        gpWarnBox->setVisible(true);
        break;
    case 4:
        gpChooseBox->setText(Msg(354));
        win->show();
        gpChooseBox->setVisible(true);
        break;
    case 5: {
        auto* box = new ModifyTimeWidget(win);
        box->dateTimeEdit->ShowDateTime();
        win->show();
        box->setVisible(true);
        break;
    }
    case 6: {
        auto* box = new ChooseCaliNumWidget(win);
        box->setText(Msg(370));
        win->show();
        box->setVisible(true);
        break;
    }
    default:
        break;
    }
}

// Everything shown belongs to one window and one language.
GalleryWindow* showPage(int page, int lang)
{
    gLan = lang;
    delete gpNumPad;
    delete gpNumCharPad;
    delete gpWarnBox;
    delete gpChooseBox;
    auto* win = new GalleryWindow;
    gpWarnBox = new WarnBox;
    gpChooseBox = new ChooseBox;
    gpNumPad = new NumberInput;
    gpNumCharPad = new NumCharInput;
    for (QWidget* w : {static_cast<QWidget*>(gpWarnBox), static_cast<QWidget*>(gpChooseBox),
                       static_cast<QWidget*>(gpNumPad), static_cast<QWidget*>(gpNumCharPad)})
        w->setParent(win);
    gpWarnBox->hide();
    buildPage(page, win);
    return win;
}
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    RegisterKitFonts();
    const QStringList args = app.arguments();
    auto option = [&](const QString& name, const QString& fallback) {
        const int i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : fallback;
    };
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    gShowW = screen.width();
    gShowH = screen.height();

    QTemporaryDir programDir;
    QDir::setCurrent(programDir.path());
    MakeInterfaceImages(QStringLiteral("images"));
    LoadPixmaps();
    FillMessageTable();

    const QString shots = option(QStringLiteral("--shots"), QString());
    if (shots.isEmpty()) {
        GalleryWindow* win = showPage(option(QStringLiteral("--page"), QStringLiteral("0")).toInt(),
                                      option(QStringLiteral("--lang"), QStringLiteral("1")).toInt());
        win->show();
        return app.exec();
    }
    QDir().mkpath(shots);
    for (int lang = 0; lang < 3; ++lang) {
        for (int page = 0; page < kPages; ++page) {
            GalleryWindow* win = showPage(page, lang);
            settle(400);
            const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
            shot.save(QDir(shots).filePath(QStringLiteral("%1x%2-lang%3-page%4.png")
                                               .arg(gShowW).arg(gShowH).arg(lang).arg(page)));
            gpNumPad->setParent(nullptr);
            gpNumCharPad->setParent(nullptr);
            gpWarnBox->setParent(nullptr);
            gpChooseBox->setParent(nullptr);
            delete win;
        }
    }
    return 0;
}
