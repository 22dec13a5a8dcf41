// The relay link's first step: the remote-system switch read from PARAM.db,
// the loopback server, and the bounded send queue.
#include "cnt_net.h"
#include "testenv.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <vector>

namespace {
// A PARAM.db whose "sysparam" table holds the given "CntNet" row (none when
// value is null).
void writeParamDb(const QString& path, const QVariant& value)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("create table sysparam (name text, value text)")));
        QVERIFY(q.exec(QStringLiteral("insert into sysparam values ('system1', '1 1 1')")));
        if (!value.isNull()) {
            QVERIFY(q.prepare(QStringLiteral("insert into sysparam values ('CntNet', ?)")));
            q.addBindValue(value);
            QVERIFY(q.exec());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture"));
}

bool accepts(quint16 port)
{
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    return s.waitForConnected(2000);
}
}

class TestCntNet : public QObject {
    Q_OBJECT
private slots:
    void remoteSwitch_data();
    void remoteSwitch();
    void takenPortIsNotListening();
    void queueKeepsTheNewest();
    void keepsOneVideoSharePerCamera();
};

void TestCntNet::remoteSwitch_data()
{
    QTest::addColumn<bool>("haveDb");
    QTest::addColumn<QVariant>("row");
    QTest::addColumn<bool>("on");
    QTest::newRow("no PARAM.db") << false << QVariant() << false;
    QTest::newRow("no CntNet row") << true << QVariant() << false;
    QTest::newRow("empty row") << true << QVariant(QString()) << false;
    QTest::newRow("off") << true << QVariant(QStringLiteral("0 1 8890")) << false;
    QTest::newRow("on") << true << QVariant(QStringLiteral("1 0 0")) << true;
    QTest::newRow("on, any non-zero") << true << QVariant(QStringLiteral("2")) << true;
    QTest::newRow("tab separated") << true << QVariant(QStringLiteral("1\t0")) << true;
    QTest::newRow("too large saturates") << true << QVariant(QStringLiteral("99999999999 0")) << true;
    QTest::newRow("stored as blob") << true << QVariant(QByteArray("1 0")) << true;
    QTest::newRow("not a number") << true << QVariant(QStringLiteral("on")) << false;
}

// The link reads the switch as the parameter record does, and listens only
// when it is on.
void TestCntNet::remoteSwitch()
{
    QFETCH(bool, haveDb);
    QFETCH(QVariant, row);
    QFETCH(bool, on);
    TestEnv env;
    if (haveDb)
        writeParamDb(env.path("PARAM.db"), row);
    CNT_Net net(nullptr, 0);
    QCOMPARE(net.serverOpen(), on);
    QCOMPARE(QFileInfo(env.path("cnt_net/data")).isDir(), on);
    if (on) {
        QVERIFY(net.port() != 0);
        QVERIFY(accepts(net.port()));
    } else {
        QCOMPARE(net.port(), quint16(0));
    }
    QVERIFY(!QSqlDatabase::contains(QStringLiteral("isopen")));
}

// Another program holds the port: the link is not open, so nothing is queued
// for a relay that can never connect.
void TestCntNet::takenPortIsNotListening()
{
    TestEnv env;
    writeParamDb(env.path("PARAM.db"), QStringLiteral("1"));
    QTcpServer other;
    QVERIFY(other.listen(QHostAddress::LocalHost, 0));
    CNT_Net net(nullptr, other.serverPort());
    QVERIFY(!net.serverOpen());
    RelayLink* const previous = gpNet;
    gpNet = &net;
    QVERIFY(!RelayReady(false));
    gpNet = previous;
}

// A relay that never takes its messages costs a bounded amount of memory;
// the oldest messages give way.
void TestCntNet::queueKeepsTheNewest()
{
    TestEnv env;
    writeParamDb(env.path("PARAM.db"), QStringLiteral("1"));
    CNT_Net net(nullptr, 0);
    QVERIFY(net.serverOpen());
    const int extra = 7;
    const QDateTime t(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC);
    for (int i = 0; i < CNT_Net::kQueueLimit + extra; ++i)
        net.CNT_SendRecord(t, QStringLiteral("op"), QString::number(i));
    const QStringList q = net.queued();
    QCOMPARE(q.size(), CNT_Net::kQueueLimit);
    QVERIFY2(q.front().endsWith(QStringLiteral("|op|%1").arg(extra)), qPrintable(q.front()));
    QVERIFY2(q.back().endsWith(QStringLiteral("|op|%1").arg(CNT_Net::kQueueLimit + extra - 1)),
             qPrintable(q.back()));
    QCOMPARE(net.droppedMessages(), extra);
}

// The camera views register their view pixels while the main window is
// built; the share reads them later, so each registration must be kept with
// its own buffer, and a camera registered again must not be shared twice.
void TestCntNet::keepsOneVideoSharePerCamera()
{
    TestEnv env;
    writeParamDb(env.path("PARAM.db"), QStringLiteral("1"));
    CNT_Net net(nullptr, 0);
    QVERIFY(net.videoShares().isEmpty());
    std::vector<quint32> view0(64 * 48), view3(64 * 48), view3Again(32 * 24);
    RelayLink& link = net;
    link.CNT_AddUseMemory(3, 64, 48, view3.data());
    link.CNT_AddUseMemory(0, 64, 48, view0.data());
    link.CNT_AddUseMemory(3, 32, 24, view3Again.data());

    const QList<VideoShareRegistration> shares = net.videoShares();
    QCOMPARE(shares.size(), 2);
    QCOMPARE(shares[0].id, 3);
    QCOMPARE(shares[0].width, 32);
    QCOMPARE(shares[0].height, 24);
    QCOMPARE(shares[0].frame, static_cast<void*>(view3Again.data()));
    QCOMPARE(shares[1].id, 0);
    QCOMPARE(shares[1].width, 64);
    QCOMPARE(shares[1].height, 48);
    QCOMPARE(shares[1].frame, static_cast<void*>(view0.data()));
    // Registering is no message for the relay.
    QVERIFY(net.queued().isEmpty());
}

QTEST_GUILESS_MAIN(TestCntNet)
#include "tst_cntnet.moc"
