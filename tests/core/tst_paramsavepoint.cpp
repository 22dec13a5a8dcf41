// The parameter save inside a caller's transaction (the settings' Confirm
// saves the record and the area sets together), the relay notice left to
// the caller, and the detection-layout derivation as a pure function.
#include "relaylink.h"
#include "testenv.h"
#include "wizardpara.h"
#include "wizardparastore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace {

class Db {
public:
    Db() : name_(QStringLiteral("nest%1").arg(++counter_))
    {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(QStringLiteral("PARAM.db"));
        db.open();
    }
    ~Db()
    {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    bool exec(const QString& sql)
    {
        QSqlQuery q(db);
        return q.exec(sql);
    }
    QString value(const QString& row)
    {
        QSqlQuery q(db);
        q.exec(QStringLiteral("select value from sysparam where name='%1'").arg(row));
        return q.next() ? q.value(0).toString() : QString();
    }
    QSqlDatabase db;

private:
    QString name_;
    static int counter_;
};
int Db::counter_ = 0;

QString FirstExposure(Db& d) { return d.value(QStringLiteral("exposeTime")).section(' ', 0, 0); }

}  // namespace

class TestParamSavepoint : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void nestsInCallersTransaction_data();
    void nestsInCallersTransaction();
    void failureInsideLeavesCallersWork();
    void relayNoticeLeftToCaller();
    void deriveLayout_data();
    void deriveLayout();

private:
    std::unique_ptr<TestEnv> env_;
    WizardPara para_;
};

void TestParamSavepoint::init()
{
    env_ = std::make_unique<TestEnv>();
    para_ = FirstStartParameters();
    Db d;
    QVERIFY(para_.SaveDatatoFile(d.db).ok);
    QVERIFY(d.exec("create table other(v int)"));
}

void TestParamSavepoint::cleanup()
{
    gpNet = nullptr;
    env_.reset();
}

void TestParamSavepoint::nestsInCallersTransaction_data()
{
    QTest::addColumn<bool>("commit");
    QTest::newRow("caller commits") << true;
    QTest::newRow("caller rolls back") << false;
}

// The caller's commit or rollback decides, for the save and its own rows alike.
void TestParamSavepoint::nestsInCallersTransaction()
{
    QFETCH(bool, commit);
    const QString before = [] { Db d; return FirstExposure(d); }();
    {
        Db d;
        QVERIFY(d.db.transaction());
        QVERIFY(d.exec("insert into other values(1)"));
        WizardPara p = para_;
        p.exposure[0] = 77;
        QVERIFY(p.SaveDatatoFile(d.db, WizardPara::RelayNotice::Caller).ok);
        QVERIFY(commit ? d.db.commit() : d.db.rollback());
    }
    Db d;
    QCOMPARE(FirstExposure(d), commit ? QString("77") : before);
    QSqlQuery q(d.db);
    QVERIFY(q.exec("select count(*) from other") && q.next());
    QCOMPARE(q.value(0).toInt(), commit ? 1 : 0);
}

// A refused row rolls back only the save: the caller's transaction is still
// open with its own work, and the caller chooses what happens to it.
void TestParamSavepoint::failureInsideLeavesCallersWork()
{
    Db d;
    QVERIFY(d.exec("create trigger refuse before update on sysparam when new.name = 'system5' "
                   "begin select raise(abort, 'refused'); end"));
    const QString before = FirstExposure(d);
    QVERIFY(d.db.transaction());
    QVERIFY(d.exec("insert into other values(1)"));
    WizardPara p = para_;
    p.exposure[0] = 77;   // a row written before the refused one
    const ParamStoreResult r = p.SaveDatatoFile(d.db, WizardPara::RelayNotice::Caller);
    QVERIFY(!r.ok);
    QCOMPARE(r.messageId, 160);
    QVERIFY(r.detail.contains("system5"));
    QCOMPARE(FirstExposure(d), before);   // inside the transaction already
    QVERIFY(d.db.commit());
    QCOMPARE(FirstExposure(d), before);
    QSqlQuery q(d.db);
    QVERIFY(q.exec("select count(*) from other") && q.next());
    QCOMPARE(q.value(0).toInt(), 1);
    // On its own the save still works once the trigger is gone.
    QVERIFY(d.exec("drop trigger refuse"));
    QVERIFY(p.SaveDatatoFile(d.db).ok);
    QCOMPARE(FirstExposure(d), QString("77"));
}

void TestParamSavepoint::relayNoticeLeftToCaller()
{
    RecordingRelayLink relay;
    gpNet = &relay;
    WizardPara p = para_;
    p.netEnabled = 1;
    Db d;
    QVERIFY(p.SaveDatatoFile(d.db, WizardPara::RelayNotice::Caller).ok);
    QVERIFY(relay.calls().isEmpty());
    p.NotifyRelay();
    QCOMPARE(relay.calls().size(), 1);
    relay.clear();
    QVERIFY(p.SaveDatatoFile(d.db).ok);
    QCOMPARE(relay.calls().size(), 1);
    relay.clear();
    p.netEnabled = 0;
    p.NotifyRelay();
    QVERIFY(relay.calls().isEmpty());
}

// function x mould x product x semi-auto -> enabled, triggers, area
// outputs' inversion, left pair, detection count.  The settings' Confirm
// derives its candidate record with the same function.
void TestParamSavepoint::deriveLayout_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("mould");
    QTest::addColumn<int>("product");
    QTest::addColumn<int>("semi");
    QTest::addColumn<int>("ngPulse");   // productNgPulseNoAlarm
    QTest::addColumn<QVector<int>>("enabled");
    QTest::addColumn<QVector<int>>("triggers");
    QTest::addColumn<int>("areaInvert");   // outputInvert[4..7], -9: untouched
    QTest::addColumn<int>("leftPair");     // -7: handed back unchanged
    QTest::addColumn<int>("detections");
    using V = QVector<int>;
    // Untouched detections 2 and 3 of the standard functions keep the marker 9.
    QTest::newRow("std") << 0 << 2 << 1 << 0 << 0 << V{1, 1, 9, 9} << V{0, 0} << 1 << -7 << 2;
    QTest::newRow("std semi no product") << 0 << 0 << 0 << 1 << 0 << V{0, 1, 9, 9} << V{0, 2} << 1 << -7 << 2;
    QTest::newRow("auto parts ng pulse") << 3 << 1 << 1 << 0 << 1 << V{1, 1, 9, 9} << V{0, 0} << 0 << -7 << 2;
    QTest::newRow("two-colour left") << 1 << 0 << 1 << 0 << 0 << V{1, 1, 0, 0} << V{0, 2} << -9 << 1 << 4;
    QTest::newRow("turntable left") << 2 << 0 << 0 << 0 << 0 << V{0, 1, 0, 0} << V{0, 0} << -9 << 1 << 4;
    QTest::newRow("turntable left semi") << 2 << 0 << 1 << 1 << 0 << V{1, 1, 0, 0} << V{0, 2} << -9 << 1 << 4;
    QTest::newRow("two-colour right") << 1 << 1 << 1 << 1 << 0 << V{0, 0, 1, 1} << V{0, 3} << -9 << 0 << 4;
    QTest::newRow("turntable right") << 2 << 1 << 1 << 0 << 0 << V{0, 0, 1, 1} << V{3, 3} << -9 << 0 << 4;
    QTest::newRow("turntable right semi") << 2 << 1 << 0 << 1 << 0 << V{0, 0, 0, 1} << V{3, 2} << -9 << 0 << 4;
    QTest::newRow("two-colour all") << 1 << 2 << 0 << 0 << 0 << V{0, 1, 0, 1} << V{0, 255} << -9 << -7 << 4;
    QTest::newRow("turntable all") << 2 << 2 << 1 << 0 << 0 << V{1, 1, 1, 1} << V{255, 255} << -9 << -7 << 4;
    QTest::newRow("turntable all semi") << 2 << 2 << 1 << 1 << 0 << V{1, 1, 1, 1} << V{255, 2} << -9 << -7 << 4;
}

void TestParamSavepoint::deriveLayout()
{
    QFETCH(int, mode);
    QFETCH(int, mould);
    QFETCH(int, product);
    QFETCH(int, semi);
    QFETCH(int, ngPulse);
    QFETCH(QVector<int>, enabled);
    QFETCH(QVector<int>, triggers);
    QFETCH(int, areaInvert);
    QFETCH(int, leftPair);
    QFETCH(int, detections);
    WizardPara p;
    p.systemMode = mode;
    p.moldSelect = mould;
    p.productDetectEnabled = product;
    p.semiAuto = semi;
    p.productNgPulseNoAlarm = ngPulse;
    for (int d = 0; d < 4; ++d)
        p.detectEnabled[d] = 9;
    for (int o = 4; o <= 7; ++o)
        p.outputInvert[o] = -9;
    gDNum = -5;
    const DetectionLayout layout = DeriveLayout(p, -7);
    QCOMPARE(gDNum, -5);   // no global is written
    QCOMPARE(layout.detections, detections);
    QCOMPARE(layout.leftPairActive, leftPair);
    QCOMPARE(QVector<int>(p.detectEnabled, p.detectEnabled + 4), enabled);
    QCOMPARE(QVector<int>(p.detectTriggerInput, p.detectTriggerInput + 2), triggers);
    for (int o = 4; o <= 7; ++o)
        QCOMPARE(p.outputInvert[o], areaInvert);
    QCOMPARE(p.statusLampCount, 4);
}

QTEST_GUILESS_MAIN(TestParamSavepoint)
#include "tst_paramsavepoint.moc"
