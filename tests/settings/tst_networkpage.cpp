// The network page over a recording host and relay link: its loading and
// visibility, the link's interface chosen only by a press, the connection
// test on scripted commands (the GUI thread turning meanwhile), the
// other-network dialog through its interface, and Confirm with the real
// network files: the change bits, the copies into the test's etc folder,
// the refused host name and a folder that refuses the files.
#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "confirmplan.h"
#include "edit.h"
#include "editip.h"
#include "fakesettingshost.h"
#include "messages.h"
#include "othernetdialog.h"
#include "pingtest.h"
#include "projectmessages.h"
#include "readonlyfolder.h"
#include "relaylink.h"
#include "settingslayout.h"
#include "sharedboxes.h"
#include "testenv.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

#include <QSqlDatabase>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>

namespace {

enum { Yes = 1, No = 0 };

class FakeOtherNet : public OtherNetDialog {
public:
    OtherNetFields loaded;
    OtherNetFields typed;
    int answer = 1;
    QStringList calls;
    void loadFields(const OtherNetFields& f) override
    {
        loaded = f;
        calls << "load";
    }
    int runModal() override
    {
        calls << "modal";
        return answer;
    }
    OtherNetFields readFields() const override { return typed; }
    void SlotCloseWgt() override { calls << "close"; }
};

NetCard PanelCard()
{
    NetCard c;
    c.cardInfo = {{"eth0", {"192.168.1.10", "255.255.255.0", "192.168.1.1"}},
                  {"eth1", {"0.0.0.0", "0.0.0.0", "0.0.0.0"}},
                  {"wlan0", {"10.0.0.5", "255.255.255.0", "10.0.0.1"}}};
    c.macAddr = {{"eth0", "00:11:22:33:44:55"}, {"wlan0", "aa:bb:cc:dd:ee:ff"}};
    c.hostName = "press7";
    return c;
}

// One dialog over its host and a recording link, as the window keeps them.
struct Page {
    TestEnv env;
    SharedBoxes boxes;
    WizardPara live;
    WizardPara bak;
    FakeSettingsHost host;
    RecordingRelayLink relay;
    FakeOtherNet otherNet;
    std::unique_ptr<WizardParaWidget> w;
    int oldW = gShowW, oldH = gShowH;
    RelayLink* oldNet = gpNet;

    explicit Page(const std::function<void(WizardPara&)>& edit = {}, QSize screen = QSize(1280, 800))
    {
        gShowW = screen.width();
        gShowH = screen.height();
        resetSettingsMetrics();
        live = FirstStartParameters();
        live.netEnabled = 1;
        WizardPara::SetText(live.netCardName, QByteArray("eth0"));
        if (edit)
            edit(live);
        bak = live;
        gpWPara = &live;
        gpWParaBak = &bak;
        gpNet = &relay;
        relay.netCard = PanelCard();
        relay.netCardEdit = relay.netCard;
        host.systemCard = relay.netCard;
        host.otherNet = &otherNet;
        w = std::make_unique<WizardParaWidget>(&host, false, nullptr);
    }
    ~Page()
    {
        w.reset();
        gpWPara = nullptr;
        gpWParaBak = nullptr;
        gpNet = oldNet;
        gShowW = oldW;
        gShowH = oldH;
        resetSettingsMetrics();
        if (host.db.isValid()) {
            const QString name = host.db.connectionName();
            host.db.close();
            host.db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
        }
    }

    // As the window opens it, then the network page.
    void open()
    {
        bak = live;
        relay.netCardEdit = relay.netCard;
        w->show();
        w->SlotToNetwork();
    }
    void useParamDb()
    {
        host.db = QSqlDatabase::addDatabase("QSQLITE", "networkTestParam");
        host.db.setDatabaseName(env.path("PARAM.db"));
        QVERIFY(host.db.open());
        QVERIFY(live.SaveDatatoFile(host.db).ok);
    }
    void showCard(const QString& name) { w->cardCombo->setCurrentIndex(w->cardCombo->findText(name)); }
    QList<int> modalIds() const
    {
        QList<int> ids;
        for (const ModalRequest& r : env.modalRequests)
            ids << r.messageId;
        return ids;
    }
    QStringList commands(const QString& program) const
    {
        QStringList out;
        for (const CommandCall& c : env.runner->calls())
            if (c.program == program)
                out << c.line();
        return out;
    }
    bool cntNetFile(const char* name) const { return QFile::exists(env.path(QStringLiteral("cnt_net/") + name)); }
    RunningCommand* lastStarted() const
    {
        const auto started = env.runner->started();
        return started.isEmpty() ? nullptr : started.last().data();
    }
    bool linkWidgetsShown() const
    {
        return w->hostNameEdit->isVisibleTo(w.get()) && w->cardBox->isVisibleTo(w.get()) &&
               w->pingButton->isVisibleTo(w.get()) && w->otherNetButton->isVisibleTo(w.get()) &&
               w->videoTypeCombo->isVisibleTo(w.get()) && w->fpsCombo->isVisibleTo(w.get());
    }
    bool linkWidgetsHidden() const
    {
        return !w->hostNameEdit->isVisibleTo(w.get()) && !w->cardBox->isVisibleTo(w.get()) &&
               !w->pingButton->isVisibleTo(w.get()) && !w->otherNetButton->isVisibleTo(w.get()) &&
               !w->videoTypeCombo->isVisibleTo(w.get()) && !w->fpsCombo->isVisibleTo(w.get());
    }
};

using Setup = std::function<void(Page&)>;

}  // namespace

Q_DECLARE_METATYPE(Setup)

class TestNetworkPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }

    // ---- opening and loading

    void openingRefreshesTheRunningCardOnly()
    {
        Page p;
        p.host.systemCard.cardInfo["eth2"] = {"172.16.0.2", "255.255.0.0", "0.0.0.0"};
        p.host.systemCard.hostName = "press7-now";
        p.open();
        QCOMPARE(p.w->currentPage, int(SettingsPageNetwork));
        QVERIFY(p.relay.netCard.cardInfo.contains("eth2"));
        QCOMPARE(p.relay.netCard.hostName, QStringLiteral("press7-now"));
        QCOMPARE(p.relay.netCard.macAddr, PanelCard().macAddr);   // not read again
        QVERIFY(!p.relay.netCardEdit.cardInfo.contains("eth2"));
        QCOMPARE(p.relay.netCardEdit.hostName, QStringLiteral("press7"));

        // The page shown already: nothing; a refused gate: nothing.
        p.host.calls.clear();
        p.w->SlotToNetwork();
        QVERIFY(p.host.calls.isEmpty());
        Page q;
        q.host.rootAnswer = false;
        q.bak = q.live;
        q.w->show();
        q.w->SlotToNetwork();
        QCOMPARE(q.w->currentPage, int(SettingsPageCommon));
        QVERIFY(q.host.callsOf("readNetCard").isEmpty());
    }

    void loadingFillsThePageFromTheEditCopies()
    {
        Page p([](WizardPara& w) {
            w.videoShareMode = 2;
            w.videoShareFps = 3;
            w.serialPort = 5;
        });
        p.open();
        QCOMPARE(p.w->cardCombo->count(), 3);
        QCOMPARE(p.w->cardCombo->currentText(), QStringLiteral("eth0"));
        QCOMPARE(p.w->cardMac, QStringLiteral("00:11:22:33:44:55"));
        QCOMPARE(p.w->ipEdit->getTextIP(), QStringLiteral("192.168.1.10"));
        QCOMPARE(p.w->maskEdit->getTextIP(), QStringLiteral("255.255.255.0"));
        QCOMPARE(p.w->gatewayEdit->getTextIP(), QStringLiteral("192.168.1.1"));
        QVERIFY(p.w->cardBox->isChecked());   // eth0 is the link's interface
        QCOMPARE(p.w->hostNameEdit->text(), QStringLiteral("press7"));
        QCOMPARE(p.w->videoTypeCombo->currentIndex(), 2);
        QCOMPARE(p.w->fpsCombo->currentIndex(), 3);
        QCOMPARE(p.w->serialCombo->currentIndex(), 5);
        QCOMPARE(p.w->serialCombo->itemText(5), QStringLiteral("  COM6"));
        QVERIFY(p.w->netBox->isChecked());
        QVERIFY(p.w->netBoxOn);
        // Loading the fields stored nothing; another interface shows its own.
        QCOMPARE(p.relay.netCardEdit, p.relay.netCard);
        p.showCard("eth1");
        QVERIFY(p.w->cardMac.isEmpty());
        QCOMPARE(p.w->ipEdit->getTextIP(), QStringLiteral("0.0.0.0"));
        QVERIFY(!p.w->cardBox->isChecked());
        QCOMPARE(WizardPara::Text(p.bak.netCardName), QStringLiteral("eth0"));   // not by a load
        QCOMPARE(p.relay.netCardEdit, p.relay.netCard);
    }

    // ---- visibility

    void linkBoxShowsAndHidesAtOnceAPageSwitchFollowsTheEditCopy()
    {
        Page p([](WizardPara& w) { w.netEnabled = 0; });
        p.open();
        QVERIFY(p.linkWidgetsHidden());
        QVERIFY(p.w->netBox->isVisibleTo(p.w.get()));
        QVERIFY(p.w->ipEdit->isVisibleTo(p.w.get()));
        QVERIFY(p.w->cardCombo->isVisibleTo(p.w.get()));
        p.w->netBox->setChecked(true);
        QVERIFY(p.linkWidgetsShown());
        QVERIFY(p.w->netBoxOn);
        p.w->netBox->setChecked(false);
        QVERIFY(p.linkWidgetsHidden());
        QVERIFY(!p.w->netBoxOn);
        // Ticked, away and back: the edit copy (off) decides.
        p.w->netBox->setChecked(true);
        p.w->SlotToCommon();
        p.w->SlotToNetwork();
        QVERIFY(p.linkWidgetsHidden());
        QVERIFY(p.w->netBox->isChecked());
        // The frame rate is shown but never enabled.
        Page q;
        q.open();
        QVERIFY(q.linkWidgetsShown());
        QVERIFY(!q.w->fpsCombo->isEnabled());
    }

    void serialPortShowsWithTheFactoryFields()
    {
        Page p;
        p.open();
        QVERIFY(!p.w->serialCombo->isVisibleTo(p.w.get()));
        p.w->SlotToAdvance();
        p.w->factoryBox->setChecked(true);
        p.w->SlotToNetwork();
        QVERIFY(p.w->serialCombo->isVisibleTo(p.w.get()));
    }

    // ---- editing

    void addressesAreStoredExceptOnWlan()
    {
        Page p;
        p.open();
        p.w->ipEdit->octetEdits[3]->setText("20");
        p.w->gatewayEdit->octetEdits[3]->setText("254");
        QCOMPARE(p.relay.netCardEdit.cardInfo["eth0"],
                 QStringList({"192.168.1.20", "255.255.255.0", "192.168.1.254"}));
        QCOMPARE(p.relay.netCard.cardInfo["eth0"], PanelCard().cardInfo["eth0"]);
        p.showCard("wlan0");
        p.w->ipEdit->octetEdits[3]->setText("77");
        QCOMPARE(p.relay.netCardEdit.cardInfo["wlan0"], PanelCard().cardInfo["wlan0"]);
    }

    void linkInterfaceChangesOnlyAfterAPress()
    {
        Page p;
        p.open();
        // A press that never became a state change, then the combo's own tick.
        p.w->SlotCntClick();
        p.showCard("eth1");
        QCOMPARE(WizardPara::Text(p.bak.netCardName), QStringLiteral("eth0"));
        // The operator's press and tick.
        p.w->cardBox->click();
        QVERIFY(p.w->cardBox->isChecked());
        QCOMPARE(WizardPara::Text(p.bak.netCardName), QStringLiteral("eth1"));
        QVERIFY(!p.w->cardBoxPressed);
        p.w->cardBox->click();
        QCOMPARE(WizardPara::Text(p.bak.netCardName), QStringLiteral("null"));
        // Back on eth0: the programmatic untick keeps "null".
        p.showCard("eth0");
        QCOMPARE(WizardPara::Text(p.bak.netCardName), QStringLiteral("null"));
    }

    // ---- the connection test

    void testWithoutGatewayShows419()
    {
        Page p;
        p.open();
        p.w->pingStatus = "old";
        p.w->pingButton->click();
        QCOMPARE(p.w->pingStatus, QStringLiteral("old*"));
        QCOMPARE(p.commands("ip"), QStringList({"ip route show"}));
        RunningCommand* route = p.lastStarted();
        QVERIFY(route);
        route->deliverOutput("192.168.1.0/24 dev eth0 proto kernel scope link src 192.168.1.10\n");
        route->deliverFinished(0);
        QCOMPARE(p.w->pingStatus, Msg(419));
        QVERIFY(p.commands("ping").isEmpty());
        QVERIFY(!p.w->pingProcess->running());
    }

    void testKeepsTheGuiTurningAndJudgesEachCommand()
    {
        Page p;
        p.relay.alive = false;
        p.open();
        p.w->pingStatus.clear();
        p.w->SlotCheckPing();
        RunningCommand* route = p.lastStarted();
        route->deliverOutput("default via 192.168.1.1 dev eth0 proto static ");
        route->deliverOutput("metric 100\n");
        route->deliverFinished(0);
        QCOMPARE(p.commands("ping"), QStringList({"ping 192.168.1.1 -w 2"}));

        // The gateway's ping blocks until the test answers; the GUI thread
        // turns meanwhile and a second press starts nothing.
        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(10);
        // A loaded machine may stretch the ticks; what counts is that they
        // keep coming while the ping is still unanswered.
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 10, 10000);
        const int started = p.env.runner->started().size();
        p.w->pingButton->click();
        QCOMPARE(p.env.runner->started().size(), started);
        QCOMPARE(p.w->pingStatus, QStringLiteral("*"));

        RunningCommand* gateway = p.lastStarted();
        gateway->deliverOutput("64 bytes from 192.168.1.1: icmp_seq=1 ttl=64 time=0.045 ms\n");
        gateway->deliverFinished(0);
        QCOMPARE(p.commands("ping"), QStringList({"ping 192.168.1.1 -w 2",
                                                  QStringLiteral("ping %1 -w 3").arg(kInternetProbeAddress)}));
        // The dialog hides before the last answer: the result is kept.
        p.w->hide();
        RunningCommand* internet = p.lastStarted();
        internet->deliverOutput("From 192.168.1.10 icmp_seq=1 Destination Host Unreachable\n");
        internet->deliverFinished(1);
        QCOMPARE(p.w->pingStatus, Msg(420) + "," + Msg(423) + "," + Msg(440));
        QVERIFY(!p.w->pingProcess->running());

        // The next test: all up, the relay alive.
        p.relay.alive = true;
        p.w->SlotCheckPing();
        for (const char* out : {"default via 10.0.0.1 dev eth0 \n", "x time=1.2 ms\n", "y time=30.1 ms\n"}) {
            p.lastStarted()->deliverOutput(out);
            p.lastStarted()->deliverFinished(0);
        }
        QCOMPARE(p.w->pingStatus, Msg(420) + "," + Msg(422) + "," + Msg(439));
    }

    void aSilentCommandIsJudgedAfterItsTimeLimit()
    {
        Page p;
        p.open();
        p.w->SlotCheckPing();
        p.lastStarted()->deliverOutput("default via 10.0.0.1 dev eth0 \n");
        p.lastStarted()->deliverFinished(0);
        RunningCommand* gateway = p.lastStarted();
        gateway->deliverOutput("64 bytes from 10.0.0.1: icmp_seq=1 ttl=64 time=0.5 ms\n");
        // Never ends: after the limit the output so far counts and the
        // program is killed.
        auto* timer = p.w->pingProcess->findChild<QTimer*>();
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), ConnectionTest::kCommandTimeoutMs);
        QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
        QVERIFY(p.env.runner->signalsSent(1).contains(SIGKILL));
        p.lastStarted()->deliverFinished(0);
        QVERIFY(p.w->pingStatus.startsWith(Msg(420) + ","));
    }

    void offThePanelTheTestShows419()
    {
        Page p;
        p.open();
        auto previous = setCommandRunner(std::make_shared<DryRunCommandRunner>());
        p.w->SlotCheckPing();
        QTRY_COMPARE(p.w->pingStatus, Msg(419));
        setCommandRunner(previous);
    }

    // ---- other network settings

    void otherNetworkSettingsThroughTheInterface()
    {
        Page p([](WizardPara& w) {
            w.smsAlarmEnabled = 1;
            WizardPara::SetText(w.techName, QString::fromUtf8("张工"));
            WizardPara::SetText(w.productName, QString::fromUtf8("外壳"));
            w.productMoldCavity = 4;
            w.productNum = 1000;
            w.productSerial = 7;
        });
        p.open();
        p.otherNet.typed.smsAlarm = false;
        p.otherNet.typed.ngVideo = true;
        p.otherNet.typed.techName = QString::fromUtf8("李师傅");
        p.otherNet.typed.techPhone = "13800000000";
        p.otherNet.typed.operatorName = QString::fromUtf8("王五");
        p.otherNet.typed.productName = QString::fromUtf8("外壳B");
        p.otherNet.typed.moldCavity = "8";
        p.otherNet.typed.productNum = "12abc";
        p.otherNet.typed.productSerial = " 42 ";
        p.w->otherNetButton->click();
        QCOMPARE(p.otherNet.calls, QStringList({"load", "modal", "close"}));
        QVERIFY(p.otherNet.loaded.smsAlarm);
        QCOMPARE(p.otherNet.loaded.techName, QString::fromUtf8("张工"));
        QCOMPARE(p.otherNet.loaded.productName, QString::fromUtf8("外壳"));
        QCOMPARE(p.otherNet.loaded.moldCavity, QStringLiteral("4"));
        QCOMPARE(p.otherNet.loaded.productNum, QStringLiteral("1000"));
        // Back in the edit copy, Chinese kept as UTF-8.
        QCOMPARE(p.bak.smsAlarmEnabled, 0);
        QCOMPARE(p.bak.ngVideoEnabled, 1);
        QCOMPARE(QByteArray(p.bak.techName), QString::fromUtf8("李师傅").toUtf8());
        QCOMPARE(QByteArray(p.bak.operatorName), QString::fromUtf8("王五").toUtf8());
        QCOMPARE(QByteArray(p.bak.techPhone), QByteArray("13800000000"));
        QCOMPARE(WizardPara::Text(p.bak.productName), QString::fromUtf8("外壳B"));
        QCOMPARE(p.bak.productMoldCavity, 8);
        QCOMPARE(p.bak.productNum, 0);
        QCOMPARE(p.bak.productSerial, 42);
        QCOMPARE(p.live.productMoldCavity, 4);

        // Return: nothing read back, closed all the same.
        const WizardPara before = p.bak;
        p.otherNet.calls.clear();
        p.otherNet.answer = 0;
        p.w->SlotNetOthers();
        QCOMPARE(p.otherNet.calls, QStringList({"load", "modal", "close"}));
        QVERIFY(p.bak == before);
    }

    // ---- Confirm

    void confirmChangeBits_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<unsigned>("bits");
        QTest::addColumn<bool>("netplan");
        QTest::addColumn<bool>("hostFiles");
        QTest::addColumn<QString>("hostAfter");
        QTest::newRow("card edit") << Setup([](Page& p) { p.w->ipEdit->octetEdits[3]->setText("20"); }) << 1u << true
                                   << false << "press7";
        QTest::newRow("link switch") << Setup([](Page& p) { p.w->netBox->setChecked(false); }) << 2u << false << false
                                     << "press7";
        QTest::newRow("host name") << Setup([](Page& p) { p.w->hostNameEdit->setText("press8"); }) << 4u << false
                                   << true << "press8";
        QTest::newRow("host name, link off") << Setup([](Page& p) {
            p.live.netEnabled = 0;
            p.bak.netEnabled = 0;
            p.w->netBox->setChecked(false);
            p.w->hostNameEdit->setText("press8");
        }) << 4u << false << true << "press7";
        QTest::newRow("frame rate, link on") << Setup([](Page& p) { p.w->fpsCombo->setCurrentIndex(4); }) << 8u << false
                                             << false << "press7";
        QTest::newRow("link interface") << Setup([](Page& p) {
            p.showCard("eth1");
            p.w->cardBox->click();
        }) << 8u << false << false << "press7";
        QTest::newRow("wlan edit") << Setup([](Page& p) {
            p.showCard("wlan0");
            p.w->ipEdit->octetEdits[3]->setText("77");
        }) << 0u << false << false << "press7";
    }
    void confirmChangeBits()
    {
        QFETCH(Setup, setup);
        QFETCH(unsigned, bits);
        QFETCH(bool, netplan);
        QFETCH(bool, hostFiles);
        QFETCH(QString, hostAfter);

        // The bits themselves, as Confirm's reading step leaves the copies.
        {
            Page p;
            p.open();
            setup(p);
            p.w->ReadPages();
            QCOMPARE(p.w->SaveNetParam().bits, bits);
        }

        Page p;
        p.useParamDb();
        p.env.writeFile("etc/hosts", "127.0.0.1\tlocalhost\n127.0.1.1\tpress7\n\n# v6\n::1 localhost\n");
        p.env.writeFile("sys/class/net/eth0/address", "00:11:22:33:44:55\n");
        p.open();
        setup(p);
        p.relay.clear();
        p.env.modalAnswers = {Yes};
        const ConfirmOutcome outcome = p.w->confirm();
        QCOMPARE(outcome, bits ? ConfirmOutcome::Saved : ConfirmOutcome::Unchanged);
        QCOMPARE(p.modalIds().contains(418), bits != 0);
        QVERIFY(!p.modalIds().contains(kMsgNetworkFilesNotWritten));
        QCOMPARE(p.cntNetFile("netplan_prejson.txt"), netplan);
        QCOMPARE(p.cntNetFile("ls_hostname"), hostFiles);
        QCOMPARE(p.cntNetFile("ls_hosts"), hostFiles);
        QCOMPARE(p.cntNetFile("registermac.txt"), bits != 0);
        const QString etc = paths().etcDir;
        QCOMPARE(p.commands("cp"), hostFiles ? QStringList({"cp ./cnt_net/ls_hostname " + etc + "/hostname",
                                                            "cp ./cnt_net/ls_hosts " + etc + "/hosts"})
                                             : QStringList());
        QCOMPARE(p.relay.calls().filter("restart").size(), bits ? 1 : 0);
        QCOMPARE(p.relay.netCard.hostName, hostAfter);
        if (hostFiles) {
            QCOMPARE(p.env.readFile("cnt_net/ls_hostname"), QByteArray("press8"));
            QCOMPARE(p.env.readFile("cnt_net/ls_hosts"),
                     QByteArray("127.0.1.1\tpress8\n127.0.0.1\tpress8\n\n\n127.0.0.1\tlocalhost\n# v6\n::1 localhost\n\n"));
        }
        if (netplan)
            QVERIFY(p.env.readFile("cnt_net/netplan_prejson.txt").contains("\"address\":\t\"192.168.1.20\""));
        if (bits)
            QVERIFY(p.env.readFile("cnt_net/registermac.txt").startsWith("00:11:22:33:44:55="));
    }

    void invalidHostNameIsRefusedWithNothingWritten()
    {
        Page p;
        p.useParamDb();
        p.open();
        p.w->hostNameEdit->setText("press 8\n10.0.0.1 evil");
        // The refusal's note, then Yes to the second Confirm's question.
        p.env.modalAnswers = {0, Yes};
        QCOMPARE(p.w->confirm(), ConfirmOutcome::Refused);
        QCOMPARE(p.modalIds(), QList<int>({kMsgHostNameRefused}));
        QVERIFY(p.w->isVisible());
        QVERIFY(!QDir(p.env.path("cnt_net")).exists());
        QVERIFY(p.env.runner->calls().empty());
        QCOMPARE(p.relay.netCard.hostName, QStringLiteral("press7"));
        // Mended and confirmed again: taken.
        p.w->hostNameEdit->setText("press8");
        p.env.modalRequests.clear();
        QCOMPARE(p.w->confirm(), ConfirmOutcome::Saved);
        QCOMPARE(p.relay.netCard.hostName, QStringLiteral("press8"));
    }

    void aFolderThatRefusesTheFilesIsReportedAndNothingCopied()
    {
        Page p;
        p.useParamDb();
        QVERIFY(QDir().mkpath(p.env.path("cnt_net")));
        ReadOnlyFolder ro(p.env.path("cnt_net"));
        if (!ro.ok())
            QSKIP("the folder cannot be made read-only here");
        p.open();
        p.w->hostNameEdit->setText("press8");
        p.env.modalAnswers = {Yes};
        QCOMPARE(p.w->confirm(), ConfirmOutcome::Saved);
        QCOMPARE(p.modalIds(), QList<int>({234, 418, kMsgNetworkFilesNotWritten}));
        QVERIFY(p.commands("cp").isEmpty());
        QVERIFY(!p.cntNetFile("ls_hostname"));
    }

    void networkStepsPlan()
    {
        using confirmplan::PlanNetworkSteps;
        QVERIFY(!PlanNetworkSteps(0, true).restartNote);
        QVERIFY(!PlanNetworkSteps(0, true).copyHostFiles);
        for (unsigned bits : {1u, 2u, 8u, 11u}) {
            const confirmplan::NetworkSteps s = PlanNetworkSteps(bits, false);
            QVERIFY(s.restartNote && s.macRegister && s.restartRelay);
            QVERIFY(!s.copyHostFiles);
        }
        QVERIFY(PlanNetworkSteps(4, true).copyHostFiles);
        QVERIFY(!PlanNetworkSteps(4, false).copyHostFiles);
        QVERIFY(PlanNetworkSteps(15, true).copyHostFiles);

        NetCard live, edit;
        live.hostName = edit.hostName = "odd_name";   // unchanged: passes
        QVERIFY(!confirmplan::HostNameRefused(live, edit));
        edit.hostName = "a..b";
        QVERIFY(confirmplan::HostNameRefused(live, edit));
        edit.hostName = "press8";
        QVERIFY(!confirmplan::HostNameRefused(live, edit));
    }
};

QTEST_MAIN(TestNetworkPage)
#include "tst_networkpage.moc"
