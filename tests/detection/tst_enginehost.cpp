// The host that takes the engine's parameters from the live system record.
#include "enginehost.h"
#include "wizardpara.h"

#include <QtTest>

#include <memory>

class TestEngineHost : public QObject {
    Q_OBJECT
private slots:
    void readsLiveRecord();
    void forwardsToCallbacks();
};

void TestEngineHost::readsLiveRecord()
{
    WizardParaEngineHost host;
    WizardPara* old = gpWPara;
    gpWPara = nullptr;
    QCOMPARE(host.params().motionCorrection, EngineParams().motionCorrection);
    auto record = std::make_unique<WizardPara>();
    record->detectEnabled[6] = 1;
    record->motionCorrection = 0;
    record->rotationAngle = 12;
    record->maxOffset = 77;
    record->differenceMultiplier = 2;
    record->showAlgorithmDetails = 1;
    record->minimumSize = 5;
    record->minimumArea = 321;
    record->templateIsNg = 1;
    record->minSpot = 4;
    record->netEnabled = 1;
    gpWPara = record.get();
    const EngineParams p = host.params();
    gpWPara = old;
    QCOMPARE(p.detectEnabled[6], 1);
    QCOMPARE(p.motionCorrection, 0);
    QCOMPARE(p.rotationAngle, 12);
    QCOMPARE(p.maxOffset, 77);
    QCOMPARE(p.differenceMultiplier, 2);
    QCOMPARE(p.showAlgorithmDetails, 1);
    QCOMPARE(p.minimumSize, 5);
    QCOMPARE(p.minimumArea, 321);
    QCOMPARE(p.templateIsNg, 1);
    QCOMPARE(p.minSpot, 4);
    QCOMPARE(p.netEnabled, 1);
}

void TestEngineHost::forwardsToCallbacks()
{
    WizardParaEngineHost host;
    QCOMPARE(host.currentDetect(), 0);
    host.InsertRecord(QStringLiteral("lost")); // no callback: nothing happens
    QStringList records;
    int repainted = -1;
    host.currentDetectFn = [] { return 5; };
    host.statsTriggerSourceFn = [] { return ~3; };
    host.insertRecordFn = [&](const QString& t) { records << t; };
    host.repaintFn = [&](int c) { repainted = c; };
    QCOMPARE(host.currentDetect(), 5);
    QCOMPARE(host.statsTriggerSource(), ~3);
    host.InsertRecord(QStringLiteral("REG RUN ERROR = 1, 5, -2"));
    host.repaint(3);
    QCOMPARE(records, QStringList{QStringLiteral("REG RUN ERROR = 1, 5, -2")});
    QCOMPARE(repainted, 3);
}

QTEST_GUILESS_MAIN(TestEngineHost)
#include "tst_enginehost.moc"
