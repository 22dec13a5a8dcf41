// Camera renumbering: a slot chosen twice is refused with its number, a
// swap of two simulated cameras stores their serials crosswise in SN.db and
// asks to shut down, one camera, the OK button's place, and an SN.db that
// cannot be written keeps the dialog open with its message.
#include "cameraglobals.h"
#include "cameraprobe.h"
#include "colorbutton.h"
#include "combobox.h"
#include "fakecamerahost.h"
#include "messages.h"
#include "sharedboxes.h"
#include "simcamerabus.h"
#include "testenv.h"
#include "widgetchangecamera.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

namespace {

const char* const kConnection = "dbT";

QByteArray bus(const QStringList& serials)
{
    QStringList devices;
    for (const QString& s : serials)
        devices << QStringLiteral("{\"family\":\"mindvision\",\"serial\":\"%1\",\"width\":320,\"height\":240,"
                                  "\"fps\":30}")
                       .arg(s);
    return QStringLiteral("{\"devices\":[%1]}").arg(devices.join(',')).toUtf8();
}

struct Renumber {
    TestEnv env;
    SharedBoxes boxes;
    std::unique_ptr<FakeCameraHost> host;
    std::unique_ptr<WidgetChangeCamera> w;
    QWidget window;
    int shutdowns = 0;
    int oldW = gShowW, oldH = gShowH;

    Renumber()
    {
        gShowW = 1280;
        gShowH = 800;
        window.resize(gShowW, gShowH);
        resetCameraGlobals();
    }
    ~Renumber()
    {
        w.reset();
        host.reset();
        camsim::bus().clear();
        if (QSqlDatabase::contains(kConnection)) {
            QSqlDatabase::database(kConnection, false).close();
            QSqlDatabase::removeDatabase(kConnection);
        }
        resetCameraGlobals();
        gShowW = oldW;
        gShowH = oldH;
    }
    // SN.db with the statements given, on the connection the host hands out.
    void serialDb(const QStringList& statements)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", kConnection);
        db.setDatabaseName(env.path("SN.db"));
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString& s : statements)
            QVERIFY2(q.exec(s), qPrintable(s));
    }
    void standardSerialDb()
    {
        QStringList s = {"create table sysparam(name text, value text)"};
        for (int k = 0; k < 8; ++k)
            s << QStringLiteral("insert into sysparam values('serialNB%1','old%1')").arg(k);
        serialDb(s);
    }
    // count simulated cameras with serials SERIAL0000 ... opened in their slots.
    void cameras(int count)
    {
        QStringList serials;
        for (int i = 0; i < count; ++i)
            serials << QStringLiteral("SERIAL%1").arg(i, 4, 10, QLatin1Char('0'));
        QVERIFY(camsim::bus().loadJson(bus(serials)));
        CheckCameraID();
        applyGeometry();
        host = std::make_unique<FakeCameraHost>();
        host->dbConnection = kConnection;
        host->buildSlots();
        QCOMPARE(numCamera, count);
    }
    WidgetChangeCamera& build()
    {
        w = std::make_unique<WidgetChangeCamera>(&window);
        w->shutDownAsked = [this] { ++shutdowns; };
        window.show();
        w->show();
        return *w;
    }
    QStringList stored() const
    {
        QStringList out;
        QSqlQuery q(QSqlDatabase::database(kConnection));
        q.exec("select name, value from sysparam order by name");
        while (q.next())
            out << q.value(0).toString() + "=" + q.value(1).toString();
        return out;
    }
    const ModalRequest* lastBox() const { return env.modalRequests.empty() ? nullptr : &env.modalRequests.back(); }
};

} // namespace

class TestWidgetChangeCamera : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }

    void aSlotChosenTwiceIsRefused();
    void aSwapStoresTheSerialsCrosswise();
    void oneCamera();
    void okStandsWhereANinthRowWouldStart();
    void anUnwritableSerialDatabaseKeepsTheDialogOpen();
};

void TestWidgetChangeCamera::aSlotChosenTwiceIsRefused()
{
    Renumber r;
    numCamera = 3;
    for (int& n : gCamNO)
        n = 5;   // left from an earlier dialog: the construction starts over
    WidgetChangeCamera& w = r.build();
    QCOMPARE(std::vector<int>(gCamNO, gCamNO + 3), (std::vector<int>{0, 1, 2}));
    QCOMPARE(w.slotBox[2]->count(), 3);
    QCOMPARE(w.slotBox[2]->itemText(0), Msg(394).arg(1));
    QCOMPARE(w.slotBox[1]->currentIndex(), 1);
    QVERIFY(!w.slotBox[3]);

    w.slotBox[0]->setCurrentIndex(1);   // NO.2, NO.2, NO.3
    QCOMPARE(gCamNO[0], 1);
    w.okButton->click();
    QVERIFY(r.lastBox());
    QCOMPARE(r.lastBox()->messageId, 361);
    QCOMPARE(r.lastBox()->text, Msg(361).arg(2));
    QVERIFY(w.isVisible());
    QCOMPARE(r.shutdowns, 0);

    // The first equal pair in order of i, then j.
    const int a[] = {2, 0, 0, 2};
    QCOMPARE(WidgetChangeCamera::RepeatedSlot(a, 4), 2);
    const int b[] = {0, 1, 2, 3};
    QCOMPARE(WidgetChangeCamera::RepeatedSlot(b, 4), -1);
}

void TestWidgetChangeCamera::aSwapStoresTheSerialsCrosswise()
{
    Renumber r;
    r.standardSerialDb();
    // A row lost from the file is made again, not the binding dropped.
    QSqlQuery(QSqlDatabase::database(kConnection)).exec("delete from sysparam where name='serialNB1'");
    r.cameras(2);
    WidgetChangeCamera& w = r.build();
    w.slotBox[0]->setCurrentIndex(1);
    w.slotBox[1]->setCurrentIndex(0);
    w.okButton->click();
    QVERIFY(!w.isVisible());
    QCOMPARE(r.shutdowns, 1);
    QVERIFY(r.env.modalRequests.empty());
    QCOMPARE(r.stored(), (QStringList{"serialNB0=SERIAL0001", "serialNB1=SERIAL0000", "serialNB2=0", "serialNB3=0",
                                      "serialNB4=0", "serialNB5=0", "serialNB6=0", "serialNB7=0"}));
    QCOMPARE(QString(gSerialNB[0]), QString("SERIAL0001"));
    QVERIFY(r.host->events.contains("record Save SN 1: SERIAL0001"));
}

void TestWidgetChangeCamera::oneCamera()
{
    Renumber r;
    r.standardSerialDb();
    r.cameras(1);
    WidgetChangeCamera& w = r.build();
    QCOMPARE(w.slotBox[0]->count(), 1);
    QCOMPARE(w.slotBox[0]->itemText(0), Msg(394).arg(1));
    w.okButton->click();
    QCOMPARE(r.stored().first(), QString("serialNB0=SERIAL0000"));
    QCOMPARE(r.shutdowns, 1);
    QVERIFY(!w.isVisible());
}

void TestWidgetChangeCamera::okStandsWhereANinthRowWouldStart()
{
    struct Case {
        QSize screen;
        QRect ok;
        QRect dialog;
    };
    const QList<Case> cases = {
        {{1280, 800}, {30, 10 + 8 * 60, 490, 50}, {640 - 275, 400 - 280, 550, 560}},
        {{1024, 600}, {30, 10 + 8 * 35, 340, 30}, {512 - 200, 300 - 165, 400, 330}},
    };
    for (const Case& k : cases) {
        QRect first;
        for (int cameras : {4, 8}) {
            Renumber r;
            gShowW = k.screen.width();
            gShowH = k.screen.height();
            numCamera = cameras;
            WidgetChangeCamera& w = r.build();
            QCOMPARE(w.geometry(), k.dialog);
            QCOMPARE(w.okButton->geometry(), k.ok);
            // The last row ends above the button, inside the dialog.
            QVERIFY(w.slotBox[cameras - 1]->geometry().bottom() < w.okButton->geometry().top());
            QVERIFY(w.rect().contains(w.okButton->geometry()));
        }
    }
}

void TestWidgetChangeCamera::anUnwritableSerialDatabaseKeepsTheDialogOpen()
{
    // No table to write, or no database at all.
    for (bool withFile : {true, false}) {
        Renumber r;
        if (withFile)
            r.serialDb({"create table other(x int)"});
        r.cameras(2);
        for (int k = 0; k < 8; ++k)
            qstrcpy(gSerialNB[k], "KEPT");
        WidgetChangeCamera& w = r.build();
        w.slotBox[0]->setCurrentIndex(1);
        w.slotBox[1]->setCurrentIndex(0);
        w.okButton->click();
        QVERIFY(r.lastBox());
        QCOMPARE(r.lastBox()->messageId, 3010);
        QCOMPARE(r.lastBox()->text, Msg(3010));
        QVERIFY(w.isVisible());
        QCOMPARE(r.shutdowns, 0);
        // Memory keeps the binding the file holds; nothing was recorded.
        QCOMPARE(QString(gSerialNB[0]), QString("KEPT"));
        QVERIFY(r.host->events.filter("Save SN").isEmpty());
    }
}

QTEST_MAIN(TestWidgetChangeCamera)
#include "tst_widgetchangecamera.moc"
