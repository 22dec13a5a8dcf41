// The settings dialog's layout with the fonts the panel has: at each screen
// size, in each language, for every page and every state of the visibility
// rules (factory fields, all parameters, mode 0 and mode 4 with eight steps),
// the dialog lies on the screen, every visible control lies inside it, no
// two controls overlap and no caption is wider than its widget (measured
// with the widget's own font).  CTest also runs it on an X server under Xvfb
// where one is installed.
#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "editbox.h"
#include "fakesettingshost.h"
#include "kitfonts.h"
#include "messages.h"
#include "relaylink.h"
#include "settingslayout.h"
#include "sharedboxes.h"
#include "testenv.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <memory>

namespace {

struct Case {
    QSize screen;
    int lang = LanSimplifiedChinese;
    bool factory = false;
    bool details = false;
    bool multi = false;   // mode 4 with eight steps
};

struct Dialog {
    TestEnv env;
    SharedBoxes boxes;
    WizardPara live;
    WizardPara bak;
    FakeSettingsHost host;
    RecordingRelayLink relay;
    std::unique_ptr<WizardParaWidget> w;
    int oldW = gShowW, oldH = gShowH, oldLan = gLan;
    RelayLink* oldNet = gpNet;

    explicit Dialog(const Case& c)
    {
        gShowW = c.screen.width();
        gShowH = c.screen.height();
        gLan = c.lang;
        resetSettingsMetrics();
        live = FirstStartParameters();
        live.showFactoryParams = c.factory;
        live.showAlgorithmDetails = c.details;
        if (c.multi) {
            live.systemMode = live.systemModePending = SystemModeMultiDetect;
            live.multiDetectCount = 8;
        }
        live.netEnabled = 1;   // the network page with every control
        relay.netCard.cardInfo[QStringLiteral("eth0")] = {"192.168.100.200", "255.255.255.0", "192.168.100.1"};
        relay.netCard.macAddr[QStringLiteral("eth0")] = QStringLiteral("00:11:22:33:44:55");
        relay.netCardEdit = relay.netCard;
        bak = live;
        gpWPara = &live;
        gpWParaBak = &bak;
        gpNet = &relay;
        host.editCopyInForce = [this] { return w && w->pageShown(); };
        w = std::make_unique<WizardParaWidget>(&host, false, nullptr);
        w->show();
    }
    ~Dialog()
    {
        w.reset();
        gpWPara = nullptr;
        gpWParaBak = nullptr;
        gpNet = oldNet;
        gShowW = oldW;
        gShowH = oldH;
        gLan = oldLan;
        resetSettingsMetrics();
    }
};

QString describe(const QWidget* w)
{
    QString text;
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        text = b->text();
    else if (auto* l = qobject_cast<const QLabel*>(w))
        text = l->text();
    else if (auto* c = qobject_cast<const QComboBox*>(w))
        text = c->currentText();
    const QRect g(w->mapTo(w->window(), QPoint(0, 0)), w->size());
    return QStringLiteral("%1 \"%2\" at %3,%4 %5x%6")
        .arg(QString::fromLatin1(w->metaObject()->className()), text.replace(QLatin1Char('\n'), QLatin1Char('|')))
        .arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height());
}

// The widest line of text in font.
int widest(const QFont& font, const QString& text)
{
    const QFontMetrics fm(font);
    int w = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        w = qMax(w, fm.horizontalAdvance(line));
    return w;
}

// What is wrong with w's caption, or empty.
QString captionFault(QWidget* w)
{
    if (auto* b = qobject_cast<ColorButton*>(w)) {
        if (b->pictureOnly || b->text().isEmpty())
            return {};
        const QFont font = b->paintFont();
        const int room = b->width() - 4;
        const QRect need = QFontMetrics(font).boundingRect(QRect(0, 0, b->width(), b->height()), Qt::AlignCenter, b->text());
        if (need.width() > room || need.height() > b->height())
            return QStringLiteral("label needs %1x%2 at %3 px").arg(need.width()).arg(need.height()).arg(font.pixelSize());
        if (font.pixelSize() < 10)
            return QStringLiteral("label shrunk to %1 px").arg(font.pixelSize());
        return {};
    }
    if (auto* c = qobject_cast<CheckBox*>(w)) {
        const QSize need = c->sizeHint();
        if (need.width() > c->width() || widest(c->font(), c->text()) + c->indicatorSide > c->width())
            return QStringLiteral("needs width %1").arg(need.width());
        const int lines = c->text().count(QLatin1Char('\n')) + 1;
        if (lines * QFontMetrics(c->font()).height() > c->height())
            return QStringLiteral("%1 lines do not fit its height").arg(lines);
        return {};
    }
    if (auto* l = qobject_cast<QLabel*>(w)) {
        if (l->text().isEmpty() || l->pixmap().isNull() == false)
            return {};
        const QRect room = l->contentsRect();
        if (l->wordWrap()) {
            if (l->heightForWidth(room.width()) > room.height() + 2)
                return QStringLiteral("wrapped needs height %1").arg(l->heightForWidth(room.width()));
            // A Latin word longer than the label cannot wrap (Chinese wraps
            // between any two characters).
            for (const QString& word : l->text().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
                if (word.at(0).unicode() < 0x2e80 && QFontMetrics(l->font()).horizontalAdvance(word) > room.width())
                    return QStringLiteral("word \"%1\" wider than the label").arg(word);
            return {};
        }
        if (widest(l->font(), l->text()) > room.width())
            return QStringLiteral("needs width %1").arg(widest(l->font(), l->text()));
        return {};
    }
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        // The shown item beside the drop arrow.
        if (QFontMetrics(c->font()).horizontalAdvance(c->currentText()) > c->width() - 16)
            return QStringLiteral("item needs width %1").arg(QFontMetrics(c->font()).horizontalAdvance(c->currentText()));
        return {};
    }
    return {};
}

bool isControl(QWidget* w)
{
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w) ||
           (qobject_cast<QLabel*>(w) && !static_cast<QLabel*>(w)->text().isEmpty());
}

// w's rectangle in top's coordinates as its parents clip it (the unit
// inside a number field may be taller than the field).
QRect visibleRect(QWidget* w, QWidget* top)
{
    QRect r(w->mapTo(top, QPoint(0, 0)), w->size());
    for (QWidget* p = w->parentWidget(); p && p != top; p = p->parentWidget())
        r &= QRect(p->mapTo(top, QPoint(0, 0)), p->size());
    return r;
}

bool related(const QWidget* a, const QWidget* b) { return a->isAncestorOf(b) || b->isAncestorOf(a); }

} // namespace

Q_DECLARE_METATYPE(Case)

class TestSettingsLayout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        FillMessageTable();
        RegisterKitFonts();   // the panel's families, as the program registers them
        qInfo("platform %s", qPrintable(QGuiApplication::platformName()));
    }

    void everyPageFits_data()
    {
        QTest::addColumn<Case>("c");
        for (QSize screen : {QSize(1280, 800), QSize(1024, 600), QSize(1920, 1080)})
            for (int lang : {0, 1, 2})
                for (bool factory : {false, true})
                    for (bool details : {false, true})
                        for (bool multi : {false, true})
                            QTest::newRow(qPrintable(QStringLiteral("%1x%2 lang%3%4%5%6")
                                                         .arg(screen.width()).arg(screen.height()).arg(lang)
                                                         .arg(factory ? " factory" : "", details ? " all" : "",
                                                              multi ? " mode4x8" : " mode0")))
                                << Case{screen, lang, factory, details, multi};
    }
    void everyPageFits()
    {
        QFETCH(Case, c);
        Dialog d(c);
        const QRect screen(QPoint(0, 0), c.screen);
        QVERIFY2(screen.contains(QRect(d.w->pos(), d.w->size())),
                 qPrintable(QStringLiteral("dialog %1,%2 %3x%4").arg(d.w->x()).arg(d.w->y()).arg(d.w->width()).arg(d.w->height())));
        QStringList faults;
        for (int page : {int(SettingsPageCommon), int(SettingsPageCamera), int(SettingsPageNetwork), int(SettingsPageIO),
                         int(SettingsPageAdvanced)}) {
            d.w->currentPage = page;
            d.w->DoChangePage();
            QCoreApplication::processEvents();   // lays the page out
            const QString where = QStringLiteral("page %1: ").arg(page);
            const QRect inside(QPoint(0, 0), d.w->size());
            QList<QWidget*> shown;
            for (QWidget* w : d.w->findChildren<QWidget*>()) {
                if (!w->isVisibleTo(d.w.get()) || !isControl(w))
                    continue;
                const QRect r = visibleRect(w, d.w.get());
                if (!inside.contains(r))
                    faults << where + describe(w) + QStringLiteral(" outside the dialog");
                for (QWidget* other : shown) {
                    const QRect o = visibleRect(other, d.w.get());
                    if (!related(w, other) && o.intersects(r))
                        faults << where + describe(w) + QStringLiteral(" overlaps ") + describe(other);
                }
                shown << w;
                const QString fault = captionFault(w);
                if (!fault.isEmpty())
                    faults << where + describe(w) + QStringLiteral(": ") + fault;
            }
            // The painted headers and labels.
            const SettingsMetrics& m = settingsMetrics();
            for (const PaintedText& t : d.w->texts) {
                if (t.page != page || !t.anchor || !t.anchor->isVisibleTo(d.w.get()) || (t.shown && !t.shown()))
                    continue;
                const QRect r(t.anchor->mapTo(d.w.get(), QPoint(0, 0)), t.anchor->size());
                QString text = t.text;
                if (text.contains(QLatin1String("%1")))
                    text = text.arg(1);
                if (t.header) {
                    const int room = qMax(r.width(), d.w->width() / 4);
                    const QFont font = FitFont(MicroHei(m.headerPx), text, QSize(room, 10000), Qt::AlignLeft);
                    int need = widest(font, text);
                    if (!t.note.isEmpty())
                        need += 8 + widest(MicroHei(m.notePx), t.note);
                    if (need > room || r.left() + need > d.w->width() || font.pixelSize() < 10)
                        faults << where + QStringLiteral("header \"%1\" needs %2 of %3").arg(text).arg(need).arg(room);
                } else {
                    // The font the dialog paints the label with.
                    const QSize room(t.width - 4, r.height());
                    const QFont font = FitFont(MicroHei(m.labelPx), text, room, Qt::AlignLeft | Qt::TextWordWrap);
                    const QRect need = QFontMetrics(font).boundingRect(QRect(0, 0, room.width(), 10000),
                                                                       Qt::AlignLeft | Qt::TextWordWrap, text);
                    if (need.width() > room.width() || need.height() > room.height() || font.pixelSize() < 10)
                        faults << where + QStringLiteral("label \"%1\" needs %2x%3 of %4x%5 at %6 px")
                                              .arg(text).arg(need.width()).arg(need.height()).arg(room.width())
                                              .arg(room.height()).arg(font.pixelSize());
                }
            }
        }
        faults.removeDuplicates();
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }
};


QTEST_MAIN(TestSettingsLayout)
#include "tst_settingslayout.moc"
