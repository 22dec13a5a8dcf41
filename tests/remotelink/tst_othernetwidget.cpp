// The other-network dialog over the real relay link on a loopback port:
// its pages, the opener's fields, the product and memo answers as the
// reply parser hands them over, the Wi-Fi file and its copy, the server
// rows of sysconf.db, the statistics reset down to the next messages, the
// port list as painted, and the dialog fitted to each screen.
#include "checkbox.h"
#include "cnt_net.h"
#include "colorbutton.h"
#include "combobox.h"
#include "edit.h"
#include "editip.h"
#include "fakerelayhost.h"
#include "messages.h"
#include "othernetfiles.h"
#include "othernetwidget.h"
#include "portstate.h"
#include "projectmessages.h"
#include "sharedboxes.h"
#include "testenv.h"
#include "virtualscheduler.h"
#include "wizardpara.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QTableView>
#include <QTcpSocket>
#include <QtTest>

#include <ctime>
#include <memory>

namespace {

enum { No = 0, Yes = 1 };

void writeParamDb(const QString& path)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("create table sysparam (name text, value text)")));
        QVERIFY(q.exec(QStringLiteral("insert into sysparam values ('CntNet', '1 0 0')")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture"));
}

// The relay's server file with its four rows (and one the dialog leaves alone).
void writeSysconf(const QString& path, bool withRows = true)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("sysconf"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("create table info_sysconf (信息名称 text, 值 text)")));
        if (withRows) {
            QVERIFY(q.exec(QStringLiteral("insert into info_sysconf values ('serverip_info', '10.1.1.1'), "
                                          "('serverport_info', '8001'), ('serverip_file', '10.1.1.2'), "
                                          "('serverport_file', '8002'), ('device_name', 'press7')")));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("sysconf"));
}

QMap<QString, QString> sysconfRows(const QString& path)
{
    QMap<QString, QString> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("sysconfRead"));
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(QStringLiteral("select 信息名称, 值 from info_sysconf"), db);
            while (q.next())
                rows.insert(q.value(0).toString(), q.value(1).toString());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("sysconfRead"));
    return rows;
}

QJsonObject lastBody(const CNT_Net& net, const QByteArray& typePrefix)
{
    const QList<QByteArray> frames = net.queued();
    for (auto it = frames.crbegin(); it != frames.crend(); ++it) {
        if (it->startsWith(typePrefix))
            return QJsonDocument::fromJson(it->mid(it->indexOf("..!") + 3)).object();
    }
    return QJsonObject();
}

// The dialog on a live link (remote system on, timers in virtual time), the
// shared boxes answering from the script.
struct Rig {
    TestEnv env;
    SharedBoxes boxes;
    VirtualScheduler sched{env.clock};
    WizardPara live;
    std::shared_ptr<FakeRelayHost> host = std::make_shared<FakeRelayHost>();
    std::unique_ptr<CNT_Net> net;
    std::unique_ptr<QTcpSocket> relay;
    std::unique_ptr<OtherNetWidget> w;
    int oldW = gShowW, oldH = gShowH;

    explicit Rig(QSize screen = QSize(1280, 800), bool netOn = true)
    {
        gShowW = screen.width();
        gShowH = screen.height();
        live = FirstStartParameters();
        live.netEnabled = 1;
        gpWPara = &live;
        if (netOn)
            writeParamDb(env.path("PARAM.db"));
        CntNetOptions o;
        o.port = 0;
        o.timers = &sched;
        o.startRelay = [] {};
        net = std::make_unique<CNT_Net>(o);
        net->setRelayHost(host);
        w = std::make_unique<OtherNetWidget>(nullptr, net.get());
        // The link reads the route table when it is made; only what the
        // dialog runs counts here.
        env.runner->clear();
    }
    ~Rig()
    {
        w.reset();
        relay.reset();
        net.reset();
        gpWPara = nullptr;
        gShowW = oldW;
        gShowH = oldH;
    }
    // A relay connects and beats once: the link is alive.
    bool connectRelay()
    {
        relay = std::make_unique<QTcpSocket>();
        relay->connectToHost(QHostAddress::LocalHost, net->port());
        QElapsedTimer t;
        t.start();
        while (!net->relaySocket() && t.elapsed() < 5000)
            QTest::qWait(1);
        return reply("/heart/\r\n\r\n") && net->linkAlive();
    }
    bool reply(const QByteArray& batch)
    {
        const int before = net->batchesRead();
        relay->write(batch);
        relay->flush();
        QElapsedTimer t;
        t.start();
        while (net->batchesRead() == before && t.elapsed() < 5000)
            QTest::qWait(1);
        return net->batchesRead() > before;
    }
    QStringList comboItems() const
    {
        QStringList items;
        for (int i = 0; i < w->productCombo->count(); ++i)
            items << w->productCombo->itemText(i);
        return items;
    }
    QList<int> modalIds() const
    {
        QList<int> ids;
        for (const ModalRequest& r : env.modalRequests)
            ids << r.messageId;
        return ids;
    }
    OtherNetFields fields() const
    {
        OtherNetFields f;
        f.smsAlarm = true;
        f.techName = QString::fromUtf8("李师傅");
        f.techPhone = "13800000000";
        f.ngVideo = true;
        f.productName = "B";
        f.operatorName = QString::fromUtf8("王五");
        f.moldCavity = "4";
        f.productNum = "10000";
        f.productSerial = "7";
        return f;
    }
};

QString productBody(const QStringList& names)
{
    QJsonArray a;
    for (const QString& n : names)
        a.append(QJsonObject{{"product_name", n}});
    return QString::fromUtf8(QJsonDocument(QJsonObject{{"result", a}}).toJson(QJsonDocument::Compact));
}

QString memoBody(int entries, int dropKeyOfLast = -1)
{
    static const char* const keys[5] = {"operator", "create_utc", "notify_utc", "duration", "reminder_name"};
    QJsonArray a;
    for (int i = 0; i < entries; ++i) {
        QJsonObject o{{"operator", QString::fromUtf8("张三%1").arg(i)},
                      {"create_utc", 0},
                      {"notify_utc", 1700000000000.0 + i * 60000.0},
                      {"duration", 15 + i},
                      {"reminder_name", QStringLiteral("mould clean %1").arg(i)}};
        if (i == entries - 1 && dropKeyOfLast >= 0)
            o.remove(QLatin1String(keys[dropKeyOfLast]));
        a.append(o);
    }
    return QString::fromUtf8(QJsonDocument(QJsonObject{{"result", a}}).toJson(QJsonDocument::Compact));
}

QStringList tableRow(const QStandardItemModel* m, int row)
{
    QStringList cells;
    for (int c = 0; c < m->columnCount(); ++c)
        cells << (m->item(row, c) ? m->item(row, c)->text() : QStringLiteral("<none>"));
    return cells;
}

}  // namespace

class TestOtherNetWidget : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The memo times are local: pinned to UTC+8 without daylight saving.
        qputenv("TZ", "CST-8");
        tzset();
        FillMessageTable();
    }
    void pagesShowTheirWidgets_data();
    void pagesShowTheirWidgets();
    void openerLoadsAndReadsBack();
    void listsAskedOnlyOfALiveRelay();
    void productAnswers_data();
    void productAnswers();
    void productAnswerThroughTheLinkWhileClosed();
    void memoAnswers_data();
    void memoAnswers();
    void wifiFileWrittenAndCopied();
    void wifiReadBack();
    void wifiRefused_data();
    void wifiRefused();
    void wifiFolderRefusingTheFile();
    void serverRowsUpdatedWithBoundValues();
    void serverNotSaved_data();
    void serverNotSaved();
    void noChangesNoFile();
    void statisticsResetClearsFilesFoldersAndRecords();
    void portListPainted();
    void fitsTheScreen_data();
    void fitsTheScreen();
};

void TestOtherNetWidget::pagesShowTheirWidgets_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("remembered");
    QTest::addColumn<int>("shownCount");
    QTest::newRow("none") << 0 << 0 << 0;
    QTest::newRow("sms") << 1 << 1 << 3;
    QTest::newRow("ng video") << 2 << 2 << 1;
    QTest::newRow("product") << 3 << 3 << 7;
    QTest::newRow("wifi") << 4 << 4 << 3;
    QTest::newRow("server") << 5 << 5 << 5;
    QTest::newRow("memo") << 6 << 6 << 1;
    QTest::newRow("ports") << 7 << 7 << 0;
    QTest::newRow("outside keeps the page") << 8 << 5 << 0;
    QTest::newRow("negative keeps the page") << -1 << 5 << 0;
}

void TestOtherNetWidget::pagesShowTheirWidgets()
{
    QFETCH(int, page);
    QFETCH(int, remembered);
    QFETCH(int, shownCount);
    Rig rig;
    OtherNetWidget& w = *rig.w;
    w.show();
    w.hideshow(OtherNetWidget::OtherNetPageServer);
    w.hideshow(page);
    QCOMPARE(w.type, remembered);
    const QList<QWidget*> all = {w.smsBox, w.techNameEdit, w.phoneEdit, w.ngVideoBox, w.productCombo,
                                 w.getProductButton, w.operatorEdit, w.cavityEdit, w.capacityEdit, w.batchEdit,
                                 w.resetStatisticsButton, w.wifiNameEdit, w.wifiPassEdit, w.updateWifiButton,
                                 w.infoServerIP, w.fileServerIP, w.infoPortEdit, w.filePortEdit,
                                 w.updateServerButton, w.memoTable};
    int shown = 0;
    for (QWidget* c : all)
        shown += c->isVisible() ? 1 : 0;
    QCOMPARE(shown, shownCount);
    // The page buttons and the dialog's own two stay.
    for (ColorButton* b : w.pageButtons)
        QVERIFY(b->isVisible());
    QVERIFY(w.yesButton->isVisible() && w.noButton->isVisible());
    QCOMPARE(w.yesButton->text(), Msg(121));
    QCOMPARE(w.noButton->text(), Msg(58));
}

void TestOtherNetWidget::openerLoadsAndReadsBack()
{
    Rig rig;
    OtherNetWidget& w = *rig.w;
    w.productCombo->addItems({"X", "Y"});   // an earlier answer
    OtherNetDialog& dialog = w;
    dialog.loadFields(rig.fields());
    QCOMPARE(w.type, int(OtherNetWidget::OtherNetPageSms));
    QCOMPARE(rig.comboItems(), QStringList{"B"});
    QCOMPARE(w.techNameEdit->text(), QString::fromUtf8("李师傅"));
    QVERIFY(w.smsBox->isChecked() && w.ngVideoBox->isChecked());

    w.techNameEdit->setText(QString::fromUtf8("赵六"));
    w.batchEdit->setText("12abc");
    w.ngVideoBox->setChecked(false);
    rig.env.modalAnswers = {Yes, No};
    QCOMPARE(dialog.runModal(), 1);
    QCOMPARE(dialog.runModal(), 0);
    QCOMPARE(rig.env.modalRequests.front().kind, QStringLiteral("OtherNetWidget"));
    const OtherNetFields back = dialog.readFields();
    QCOMPARE(back.techName, QString::fromUtf8("赵六"));
    QCOMPARE(back.productSerial, QStringLiteral("12abc"));
    QCOMPARE(back.productName, QStringLiteral("B"));
    QVERIFY(!back.ngVideo);
    QCOMPARE(back.operatorName, QString::fromUtf8("王五"));
}

void TestOtherNetWidget::listsAskedOnlyOfALiveRelay()
{
    {
        Rig rig;
        rig.w->SlotStatistics();   // link on, no relay connected
        rig.w->SlotRemind();
        QVERIFY(rig.net->queued().isEmpty());
        QCOMPARE(rig.w->type, int(OtherNetWidget::OtherNetPageRemind));
        QVERIFY(rig.connectRelay());
        rig.live.netEnabled = 0;   // switched off in the live record
        rig.w->SlotGetProductName();
        QVERIFY(rig.net->queued().isEmpty());
        rig.live.netEnabled = 1;
        rig.w->SlotStatistics();
        rig.w->SlotRemind();
        QCOMPARE(rig.net->queued(), (QList<QByteArray>{"14:0:..!", "17:0:..!"}));
    }
    Rig off(QSize(1280, 800), false);
    off.w->SlotStatistics();
    QVERIFY(off.net->queued().isEmpty());
}

void TestOtherNetWidget::productAnswers_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("current first") << productBody({"A", "B", "C"}) << QStringList{"B", "A", "C"};
    QTest::newRow("current not listed") << productBody({"A", "C"}) << QStringList{"B", "A", "C"};
    QTest::newRow("empty result") << productBody({}) << QStringList{"B"};
    QTest::newRow("element without name")
        << QStringLiteral(R"({"result":[{"product_name":"A"},{"name":"C"}]})") << QStringList{"B"};
    QTest::newRow("name not a text") << QStringLiteral(R"({"result":[{"product_name":5}]})") << QStringList{"B"};
    QTest::newRow("no result") << QStringLiteral(R"({"rows":[]})") << QStringList{"B"};
    QTest::newRow("not json") << QStringLiteral("{\"result\":[") << QStringList{"B"};
    QTest::newRow("utf-8") << productBody({QString::fromUtf8("外壳A")}) << QStringList{"B", QString::fromUtf8("外壳A")};
}

void TestOtherNetWidget::productAnswers()
{
    QFETCH(QString, body);
    QFETCH(QStringList, items);
    Rig rig;
    rig.w->loadFields(rig.fields());
    rig.w->cnt_reset_product(body);
    QCOMPARE(rig.comboItems(), items);
    QCOMPARE(rig.w->productCombo->currentIndex(), 0);
}

// The reply parser hands session 14 to the dialog even while it is closed;
// the next opening puts the stored name back alone.
void TestOtherNetWidget::productAnswerThroughTheLinkWhileClosed()
{
    Rig rig;
    rig.w->loadFields(rig.fields());
    QVERIFY(rig.connectRelay());
    QVERIFY(!rig.w->isVisible());
    QVERIFY(rig.reply(("/answer/\r\nSessionId: 14\r\n\r\n" + productBody({"A", "B", "C"})).toUtf8()));
    QCOMPARE(rig.comboItems(), (QStringList{"B", "A", "C"}));
    rig.w->loadFields(rig.fields());
    QCOMPARE(rig.comboItems(), QStringList{"B"});
}

// body, shown (dialog visible), page -> rows of the table afterwards
// (the table held one old row before).
void TestOtherNetWidget::memoAnswers_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cellsOfLastRow");
    QTest::newRow("three on page 6") << memoBody(3) << true << 6 << 3 << 5;
    QTest::newRow("closed") << memoBody(3) << false << 6 << 1 << 5;
    QTest::newRow("another page") << memoBody(3) << true << 5 << 1 << 5;
    QTest::newRow("empty result") << memoBody(0) << true << 6 << 1 << 5;
    QTest::newRow("last lacks duration") << memoBody(3, 3) << true << 6 << 3 << 3;
    QTest::newRow("only entry lacks operator") << memoBody(1, 0) << true << 6 << 1 << 0;
    QTest::newRow("not json") << QStringLiteral("[") << true << 6 << 1 << 5;
}

void TestOtherNetWidget::memoAnswers()
{
    QFETCH(QString, body);
    QFETCH(bool, visible);
    QFETCH(int, page);
    QFETCH(int, rows);
    QFETCH(int, cellsOfLastRow);
    Rig rig;
    OtherNetWidget& w = *rig.w;
    w.memoModel->appendRow({new QStandardItem("old"), new QStandardItem("a"), new QStandardItem("b"),
                            new QStandardItem("c"), new QStandardItem("d")});
    if (visible)
        w.show();
    w.hideshow(page);
    w.cnt_reset_remind(body);
    QCOMPARE(w.memoModel->rowCount(), rows);
    int cells = 0;
    for (int c = 0; c < 5; ++c)
        cells += w.memoModel->item(rows - 1, c) ? 1 : 0;
    QCOMPARE(cells, cellsOfLastRow);
    if (rows == 3 && cellsOfLastRow == 5) {
        // create_utc 0 is the epoch in local time (UTC+8 here).
        QCOMPARE(tableRow(w.memoModel, 0),
                 (QStringList{QString::fromUtf8("张三0"), "70-01-01 08:00:00", "23-11-15 06:13:20", "15",
                              "mould clean 0"}));
        QCOMPARE(w.memoModel->item(0, 4)->textAlignment(), Qt::Alignment(Qt::AlignCenter));
    }
}

void TestOtherNetWidget::wifiFileWrittenAndCopied()
{
    Rig rig;
    rig.w->wifiNameEdit->setText(QString::fromUtf8("车间-5G"));
    rig.w->wifiPassEdit->setText("pass word 1");
    rig.env.modalAnswers = {Yes};
    rig.w->SlotUpdateWifi();
    QCOMPARE(rig.modalIds(), QList<int>{448});
    QCOMPARE(rig.env.readFile("cnt_net/wlanpwd.conf"),
             QString::fromUtf8("network={\r\n\tssid=\"车间-5G\"\r\n\tpsk=\"pass word 1\"\r\n\tproto=RSN\r\n}\r\n")
                 .toUtf8());
    QCOMPARE(rig.env.runner->lines(),
             QStringList{"cp -f ./cnt_net/wlanpwd.conf " + rig.env.path("etc/wpa_supplicant") + "/"});
    // The system's copy, as cp would make it, reads back the same.
    rig.env.writeFile("etc/wpa_supplicant/wlanpwd.conf", rig.env.readFile("cnt_net/wlanpwd.conf"));
    rig.w->wifiNameEdit->clear();
    rig.w->wifiPassEdit->clear();
    rig.w->SlotWifi();
    QCOMPARE(rig.w->wifiNameEdit->text(), QString::fromUtf8("车间-5G"));
    QCOMPARE(rig.w->wifiPassEdit->text(), QStringLiteral("pass word 1"));
    QCOMPARE(rig.w->type, int(OtherNetWidget::OtherNetPageWifi));
}

void TestOtherNetWidget::wifiReadBack()
{
    Rig rig;
    rig.w->wifiNameEdit->setText("kept name");
    rig.w->wifiPassEdit->setText("kept pass");
    rig.w->SlotWifi();   // no file: the fields keep their text
    QCOMPARE(rig.w->wifiNameEdit->text(), QStringLiteral("kept name"));
    // The last line wins, also when it holds nothing between its quotes
    // (the field then keeps its text); the text runs to the line's last quote.
    rig.env.writeFile("etc/wpa_supplicant/wlanpwd.conf",
                      "network={\n\tssid=\"first\"\n\tpsk=\"secret-one\"\n}\n"
                      "network={\r\n\tssid=\"second \"quoted\"\"\r\n\t#psk=\"\"\r\n}\r\n");
    rig.w->SlotWifi();
    QCOMPARE(rig.w->wifiNameEdit->text(), QStringLiteral("second \"quoted\""));
    QCOMPARE(rig.w->wifiPassEdit->text(), QStringLiteral("kept pass"));
}

void TestOtherNetWidget::wifiRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<bool>("refused");
    QTest::newRow("plain") << "shop" << "12345678" << false;
    QTest::newRow("63 bytes") << "shop" << QString(63, 'p') << false;
    QTest::newRow("chinese") << QString::fromUtf8("车间") << QString::fromUtf8("密码密码密码") << false;
    QTest::newRow("quote in name") << "shop\"\n}\nnetwork={" << "12345678" << true;
    QTest::newRow("quote in pass") << "shop" << "1234\"5678" << true;
    QTest::newRow("backslash") << "shop\\" << "12345678" << true;
    QTest::newRow("line break") << "shop" << "1234567\n8" << true;
    QTest::newRow("carriage return") << "shop\r" << "12345678" << true;
    QTest::newRow("tab") << "shop" << "1234\t5678" << true;
    QTest::newRow("line separator") << QString::fromUtf8("shop\u2028") << "12345678" << true;
    QTest::newRow("7 characters") << "shop" << "1234567" << true;
    QTest::newRow("64 bytes") << "shop" << QString(64, 'p') << true;
    QTest::newRow("empty name") << "" << "12345678" << true;
    QTest::newRow("33 bytes of name") << QString(33, 'n') << "12345678" << true;
}

void TestOtherNetWidget::wifiRefused()
{
    QFETCH(QString, name);
    QFETCH(QString, pass);
    QFETCH(bool, refused);
    Rig rig;
    rig.env.writeFile("cnt_net/wlanpwd.conf", "old");
    rig.w->wifiNameEdit->setText(name);
    rig.w->wifiPassEdit->setText(pass);
    rig.env.modalAnswers = {Yes};
    rig.w->SlotUpdateWifi();
    if (refused) {
        QCOMPARE(rig.modalIds(), QList<int>{kMsgWifiRefused});
        QCOMPARE(rig.env.readFile("cnt_net/wlanpwd.conf"), QByteArray("old"));
        QVERIFY(rig.env.runner->calls().empty());
    } else {
        QCOMPARE(rig.modalIds(), QList<int>{448});
        QCOMPARE(othernet::ReadWifiText(QString::fromUtf8(rig.env.readFile("cnt_net/wlanpwd.conf"))).passPhrase,
                 pass);
        QCOMPARE(rig.env.runner->calls().size(), size_t(1));
    }
}

// "./cnt_net/wlanpwd.conf" cannot be written (a folder stands there): the
// user is told, nothing is copied.
void TestOtherNetWidget::wifiFolderRefusingTheFile()
{
    Rig rig;
    QVERIFY(QDir().mkpath(rig.env.path("cnt_net/wlanpwd.conf")));
    rig.w->wifiNameEdit->setText("shop");
    rig.w->wifiPassEdit->setText("12345678");
    rig.env.modalAnswers = {Yes, Yes};
    rig.w->SlotUpdateWifi();
    QCOMPARE(rig.modalIds(), (QList<int>{448, kMsgNetworkFilesNotWritten}));
    QVERIFY(rig.env.runner->calls().empty());
}

void TestOtherNetWidget::serverRowsUpdatedWithBoundValues()
{
    Rig rig;
    writeSysconf(rig.env.path("cnt_net/sysconf.db"));
    OtherNetWidget& w = *rig.w;
    w.SlotServer();
    QCOMPARE(w.type, int(OtherNetWidget::OtherNetPageServer));
    QCOMPARE(w.infoServerIP->getTextIP(), QStringLiteral("10.1.1.1"));
    QCOMPARE(w.fileServerIP->getTextIP(), QStringLiteral("10.1.1.2"));
    QCOMPARE(w.infoPortEdit->text(), QStringLiteral("8001"));
    QCOMPARE(w.filePortEdit->text(), QStringLiteral("8002"));

    w.infoServerIP->setTextIP("192.168.3.4");
    w.infoPortEdit->setText("80'; drop table info_sysconf; --");
    w.filePortEdit->setText(QString::fromUtf8("端口'9"));
    rig.env.modalAnswers = {Yes};
    QVERIFY(!rig.net->serverConfigChanged);
    w.SlotUpdateServer();
    QCOMPARE(rig.modalIds(), QList<int>{454});
    QVERIFY(rig.net->serverConfigChanged);
    const QMap<QString, QString> rows = sysconfRows(rig.env.path("cnt_net/sysconf.db"));
    QCOMPARE(rows.value("serverip_info"), QStringLiteral("192.168.3.4"));
    QCOMPARE(rows.value("serverport_info"), QStringLiteral("80'; drop table info_sysconf; --"));
    QCOMPARE(rows.value("serverip_file"), QStringLiteral("10.1.1.2"));
    QCOMPARE(rows.value("serverport_file"), QString::fromUtf8("端口'9"));
    QCOMPARE(rows.value("device_name"), QStringLiteral("press7"));
    QCOMPARE(rows.size(), 5);
}

// What stands at "./cnt_net/sysconf.db" -> no row written, the relay is not
// restarted for it, the user is told, and no file is made.
void TestOtherNetWidget::serverNotSaved_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("no rows") << "no rows";
    QTest::newRow("not a database") << "garbage";
    QTest::newRow("no table") << "empty";
}

void TestOtherNetWidget::serverNotSaved()
{
    QFETCH(QString, kind);
    Rig rig;
    const QString db = rig.env.path("cnt_net/sysconf.db");
    QDir().mkpath(rig.env.path("cnt_net"));
    if (kind == "no rows")
        writeSysconf(db, false);
    else if (kind == "garbage")
        rig.env.writeFile("cnt_net/sysconf.db", QByteArray(4096, 'x'));
    else if (kind == "empty")
        rig.env.writeFile("cnt_net/sysconf.db", QByteArray());
    const QByteArray before = rig.env.readFile("cnt_net/sysconf.db");
    rig.w->SlotServer();   // reads nothing, keeps the fields
    QCOMPARE(rig.w->infoPortEdit->text(), QString());
    rig.w->infoPortEdit->setText("8001");
    rig.env.modalAnswers = {Yes};
    rig.w->SlotUpdateServer();
    QCOMPARE(rig.modalIds(), (QList<int>{454, kMsgServerNotSaved}));
    QVERIFY(!rig.net->serverConfigChanged);
    QCOMPARE(QFile::exists(db), kind != "missing");
    QCOMPARE(rig.env.readFile("cnt_net/sysconf.db"), before);
}

void TestOtherNetWidget::noChangesNoFile()
{
    Rig rig;
    writeSysconf(rig.env.path("cnt_net/sysconf.db"));
    rig.env.writeFile("cnt_net/data/Statistics", "{}");
    rig.env.writeFile("cnt_net/cnt_fail/a.jpg", "x");
    const QByteArray db = rig.env.readFile("cnt_net/sysconf.db");
    OtherNetWidget& w = *rig.w;
    w.wifiNameEdit->setText("shop");
    w.wifiPassEdit->setText("12345678");
    w.infoPortEdit->setText("1");
    rig.env.defaultAnswer = No;
    w.SlotUpdateWifi();
    w.SlotUpdateServer();
    w.SlotResetStatistics();
    QCOMPARE(rig.modalIds(), (QList<int>{448, 454, 447}));
    QVERIFY(!QFile::exists(rig.env.path("cnt_net/wlanpwd.conf")));
    QCOMPARE(rig.env.readFile("cnt_net/sysconf.db"), db);
    QVERIFY(QFile::exists(rig.env.path("cnt_net/data/Statistics")));
    QVERIFY(QFile::exists(rig.env.path("cnt_net/cnt_fail/a.jpg")));
    QVERIFY(rig.env.runner->calls().empty());
    QVERIFY(!rig.net->serverConfigChanged);
}

void TestOtherNetWidget::statisticsResetClearsFilesFoldersAndRecords()
{
    Rig rig;
    CNT_Net& net = *rig.net;
    FakeClock& clock = *rig.env.clock;
    clock.set(QDateTime(QDate(2026, 3, 2), QTime(10, 0)));
    // Counts before the reset: an NG area, an alarm, a closed stop of 30
    // minutes and a stop open since 10:40.
    net.ChkandAddStaticticsItem(0, 1, 3);
    net.CNT_AddNgTimes(5000);
    rig.host->run = RunStateStopped;
    net.CNT_SendManualStop();
    clock.advanceMs(30 * 60000);
    rig.host->run = RunStateDetecting;
    net.CNT_SendManualStop();
    clock.advanceMs(10 * 60000);
    rig.host->run = RunStateStopped;
    net.CNT_SendManualStop();
    net.CNT_SendStatistics("null");
    QCOMPARE(lastBody(net, "7:").value("camera").toObject().value("ng").toArray().size(), 1);
    QCOMPARE(lastBody(net, "10:").value("stop_check_timelen").toInt(), 30);

    // The relay's picture folders, one of them a link to a folder outside
    // the program directory, whose files must stay.
    QTemporaryDir outside;
    QVERIFY(QFile(outside.filePath("keep.jpg")).open(QIODevice::WriteOnly));
    rig.env.writeFile("cnt_net/cnt_alarmimage/c1/d1/1.jpg", "x");
    rig.env.writeFile("cnt_net/cnt_tempimage/2.jpg", "x");
    QVERIFY(QFile::link(outside.path(), rig.env.path("cnt_net/cnt_fail")));
    QVERIFY(QFile::exists(rig.env.path("cnt_net/data/Statistics")));
    QVERIFY(QFile::exists(rig.env.path("cnt_net/data/ManualStop")));

    clock.advanceMs(10 * 60000);   // 10:50
    rig.env.modalAnswers = {Yes};
    rig.w->SlotResetStatistics();
    QCOMPARE(rig.modalIds(), QList<int>{447});
    for (const char* gone : {"cnt_net/data/Statistics", "cnt_net/data/ManualStop", "cnt_net/cnt_alarmimage",
                             "cnt_net/cnt_tempimage", "cnt_net/cnt_fail"})
        QVERIFY2(!QFileInfo::exists(rig.env.path(gone)) && !QFileInfo(rig.env.path(gone)).isSymLink(), gone);
    QVERIFY(QFile::exists(outside.filePath("keep.jpg")));
    QVERIFY(QFile::exists(rig.env.path("cnt_net/data")));

    // The next messages carry nothing from before the reset.
    clock.advanceMs(10 * 60000);   // 11:00
    net.CNT_SendStatistics("null");
    const QJsonObject stats = lastBody(net, "7:");
    QVERIFY(stats.value("camera").toObject().value("ng").toArray().isEmpty());
    QCOMPARE(stats.value("total_stop_alarm_timelen").toInt(), 0);
    QCOMPARE(stats.value("start_utc").toDouble(), double(QDateTime(QDate(2026, 3, 2), QTime(10, 50)).toMSecsSinceEpoch()));
    // 10 min since the reset; the open stop counts only once it is closed.
    QCOMPARE(stats.value("utc_watch_total").toDouble(), 600000.0);
    rig.host->run = RunStateDetecting;
    net.CNT_SendManualStop();
    const QJsonObject stop = lastBody(net, "10:");
    QCOMPARE(stop.value("stop_check_timelen").toInt(), 10);
    QCOMPARE(stop.value("stop_check_timeslot").toString(), QStringLiteral("10:50-11:00"));
}

// Canned ports: eth0 running with traffic, eth1 up but not running; the
// dots as painted and the rate text's place.
void TestOtherNetWidget::portListPainted()
{
    Rig rig(QSize(1920, 1080));
    OtherNetWidget& w = *rig.w;
    rig.env.writeFile("proc/net/dev", "  eth0:  1000 0\n  eth1: 5 0\n    lo: 99 0\n");
    w.show();
    w.SlotStartChk();
    QCOMPARE(w.type, int(OtherNetWidget::OtherNetPagePortState));
    QVERIFY(w.portState()->active());
    rig.env.writeFile("proc/net/dev", "  eth0:  4000 0\n  eth1: 5 0\n    lo: 99 0\n");
    w.SlotTimerChk();
    RunningCommand* c = rig.env.runner->started().last();
    c->deliverOutput("eth0: flags=4163<UP,BROADCAST,RUNNING,MULTICAST>  mtu 1500\n"
                     "eth1: flags=4099<UP,BROADCAST,MULTICAST>  mtu 1500\n"
                     "lo: flags=73<UP,LOOPBACK,RUNNING>  mtu 65536\n");
    c->deliverFinished(0);
    QImage shot(w.size(), QImage::Format_RGB32);
    shot.fill(Qt::black);
    w.render(&shot);
    const OtherNetGeometry& g = w.geometryOfPages();
    QCOMPARE(shot.pixelColor(g.portCircle(1).center()), QColor(Qt::green));
    QCOMPARE(shot.pixelColor(g.portCircle(2).center()), QColor(Qt::gray));
    QVERIFY(g.portCircle(3).center().y() > 0);
    // No third row: lo is never listed.
    QVERIFY(shot.pixelColor(g.portCircle(3).center()) != QColor(Qt::gray));
    QCOMPARE(w.portState()->readings().rows()[0].bytesPerSecond, qint64(1000));
    // Other pages leave the timer running; closing stops it.
    w.SlotTel();
    QVERIFY(w.portState()->active());
    w.SlotCloseWgt();
    QVERIFY(!w.portState()->active());
}

void TestOtherNetWidget::fitsTheScreen_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QSize>("dialog");
    QTest::newRow("1920x1080") << QSize(1920, 1080) << QSize(1800, 950);
    QTest::newRow("1280x800") << QSize(1280, 800) << QSize(1280, 675);
    QTest::newRow("1024x600") << QSize(1024, 600) << QSize(700, 500);
    QTest::newRow("1280x600") << QSize(1280, 600) << QSize(1136, 600);
}

void TestOtherNetWidget::fitsTheScreen()
{
    QFETCH(QSize, screen);
    QFETCH(QSize, dialog);
    Rig rig(screen);
    OtherNetWidget& w = *rig.w;
    QCOMPARE(w.size(), dialog);
    QVERIFY(QRect(QPoint(0, 0), screen).contains(w.geometry()));
    const QRect inside = w.rect();
    const QList<QWidget*> kids = w.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(kids.size() >= 28);
    for (QWidget* c : kids)
        QVERIFY2(inside.contains(c->geometry()), qPrintable(c->metaObject()->className()));
    // Fonts stay readable.
    QVERIFY(w.techNameEdit->font().pixelSize() >= 12);
    QVERIFY(w.geometryOfPages().fontPx() >= 12);
    // Fields do not cover each other on one page, nor the buttons.
    const QList<QWidget*> server = {w.infoServerIP, w.fileServerIP, w.infoPortEdit, w.filePortEdit,
                                    w.updateServerButton, w.yesButton, w.noButton};
    for (int a = 0; a < server.size(); ++a)
        for (int b = a + 1; b < server.size(); ++b)
            QVERIFY(!server[a]->geometry().intersects(server[b]->geometry()));
}

QTEST_MAIN(TestOtherNetWidget)
#include "tst_othernetwidget.moc"
