// mm_othernet_shots: the monitor on a demo program directory (the working
// directory, laid out by mm_make_demo) with the other-network dialog opened
// over it on one page, then the screen photographed.
//
//   mm_othernet_shots --state S --lang L --out FILE
//
// States: sms (page 1 with Chinese names), product (page 3 after a product
// list came), wifi (4), server (5), memo (6, three memos), ports (7, canned
// readings: two running ports with traffic, one down).  Run by shots.sh
// beside it, under Xvfb with the board simulator.
#include "demolayout.h"
#include "editip.h"
#include "mapplication.h"
#include "mojuwizard.h"
#include "edit.h"
#include "othernetwidget.h"
#include "portstate.h"
#include "wizardpara.h"
#include "windowshot.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

const QStringList kStates = {"sms", "product", "wifi", "server", "memo", "ports"};

OtherNetFields demoFields()
{
    OtherNetFields f;
    f.smsAlarm = true;
    f.techName = QString::fromUtf8("李师傅");
    f.techPhone = QStringLiteral("13800000000");
    f.ngVideo = false;
    f.productName = QString::fromUtf8("外壳B-2026");
    f.operatorName = QString::fromUtf8("王五");
    f.moldCavity = QStringLiteral("4");
    f.productNum = QStringLiteral("12000");
    f.productSerial = QStringLiteral("202603");
    return f;
}

void drive(const QString& state)
{
    auto* d = gpWin ? dynamic_cast<OtherNetWidget*>(gpWin->otherNetDialog) : nullptr;
    if (!d)
        return;
    d->loadFields(demoFields());
    d->show();
    d->raise();
    if (state == QLatin1String("product")) {
        d->SlotStatistics();
        d->cnt_reset_product(QString::fromUtf8(
            R"({"result":[{"product_name":"外壳A-2026"},{"product_name":"外壳B-2026"},{"product_name":"Cover C"}]})"));
    } else if (state == QLatin1String("wifi")) {
        d->SlotWifi();
        d->wifiNameEdit->setText(QString::fromUtf8("车间-5G"));
        d->wifiPassEdit->setText(QStringLiteral("press7-2026"));
    } else if (state == QLatin1String("server")) {
        d->SlotServer();
        d->infoServerIP->setTextIP(QStringLiteral("192.168.10.20"));
        d->fileServerIP->setTextIP(QStringLiteral("192.168.10.21"));
        d->infoPortEdit->setText(QStringLiteral("8001"));
        d->filePortEdit->setText(QStringLiteral("8002"));
    } else if (state == QLatin1String("memo")) {
        d->SlotRemind();
        d->cnt_reset_remind(QString::fromUtf8(
            R"({"result":[)"
            R"({"operator":"张三","create_utc":1772409600000,"notify_utc":1772413200000,"duration":15,"reminder_name":"清理模具"},)"
            R"({"operator":"Li","create_utc":1772413200000,"notify_utc":1772420400000,"duration":30,"reminder_name":"Check ejector pins"},)"
            R"({"operator":"王五","create_utc":1772416800000,"notify_utc":1772424000000,"duration":5,"reminder_name":"换料"}]})"));
    } else if (state == QLatin1String("ports")) {
        d->SlotStartChk();
        d->SlotCloseWgt();   // canned readings: nothing is read meanwhile
        PortReadings r;
        r.start({{"eth0", 1000000}, {"eth1", 500}, {"wlan0", 2000}});
        QMap<QString, qint64> now{{"eth0", 1375000}, {"eth1", 500}, {"wlan0", 2903}};
        r.apply({{"eth0", true}, {"eth1", false}, {"wlan0", true}}, &now, 1);
        d->portState()->setReadings(r);
        d->update();
    } else {
        d->SlotTel();
    }
}

}  // namespace

int main(int argc, char** argv)
{
    return demo::RunWindowShot(argc, argv, {"mm_othernet_shots", kStates, [](const QString&, int language) { return demo::writeParameters(language, [](WizardPara& p) { p.ioLostAlarm = 0; }); }, drive});
}
