// A camera lost and found again while a page waits on the shared message
// box.  The main loop's timer raises and clears the loss notice; the camera
// code shows it through the host's own box, so the page's box keeps its
// message and its wait, and returns the page's answer.
#include "cameraprobe.h"
#include "colorbutton.h"
#include "fakecamerahost.h"
#include "globals.h"
#include "messages.h"
#include "modalhook.h"
#include "testenv.h"
#include "warnbox.h"

#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {
// The host as the main window keeps it: the loss notice is a box of its own.
class NoticeHost : public FakeCameraHost {
public:
    void showWarnBox(const QString& text) override
    {
        FakeCameraHost::showWarnBox(text);
        notice.setText(text, 39);
        notice.show();
    }
    void hideWarnBox() override
    {
        FakeCameraHost::hideWarnBox();
        notice.hide();
    }
    WarnBox notice;
};

struct BoxState {
    bool pageVisible = false;
    QString pageMessage;
    bool noticeVisible = false;
    QString noticeMessage;
};
}

class TestLossNotice : public QObject {
    Q_OBJECT
private slots:
    void lossNoticeLeavesPageBoxAlone();
};

void TestLossNotice::lossNoticeLeavesPageBoxAlone()
{
    TestEnv env;
    modal::setHook({});   // the boxes run for real
    FillMessageTable();
    const int oldW = gShowW, oldH = gShowH;
    gShowW = 1280;
    gShowH = 800;
    resetCameraGlobals();
    camsim::bus().clear();
    QVERIFY(camsim::bus().loadJson(
        R"({"devices":[{"family":"hikvision","serial":"CAM0000001","width":320,"height":240,"fps":200},)"
        R"({"family":"hikvision","serial":"CAM0000002","width":320,"height":240,"fps":200}]})"));
    CheckCameraID();
    applyGeometry();
    NoticeHost host;
    host.liveSwitches.cameraCheck = 0;   // the loss shows the warn notice
    host.buildSlots();
    QCOMPARE(numCamera, 2);
    auto m2 = camsim::bus().find("CAM0000002");

    WarnBox page;
    gpWarnBox = &page;
    page.setText(Msg(354), 354);
    auto state = [&] {
        return BoxState{page.isVisible(), page.message, host.notice.isVisible(), host.notice.message};
    };
    BoxState whileLost, afterRestart;
    QTimer::singleShot(0, &page, [&] {
        m2->setPlugged(false);
        CameraCheck(1);
        whileLost = state();
        QTimer::singleShot(0, &page, [&] {
            m2->setPlugged(true);
            CameraRestart();
            afterRestart = state();
            QTimer::singleShot(0, page.okButton, &QAbstractButton::click);
        });
    });
    const int answer = page.exec();
    gpWarnBox = nullptr;

    QCOMPARE(answer, 1);   // the page's own Confirm ended the wait
    QVERIFY(whileLost.pageVisible);
    QCOMPARE(whileLost.pageMessage, Msg(354));
    QVERIFY(whileLost.noticeVisible);
    QCOMPARE(whileLost.noticeMessage, Msg(39));
    QVERIFY(afterRestart.pageVisible);
    QCOMPARE(afterRestart.pageMessage, Msg(354));
    QVERIFY(!afterRestart.noticeVisible);
    QCOMPARE(gisLost, 0);
    QCOMPARE(host.events.filter(QStringLiteral("warn ")).size(), 1);
    QCOMPARE(host.events.filter(QStringLiteral("hide warn")).size(), 1);

    host.closeAll();
    camsim::bus().clear();
    gShowW = oldW;
    gShowH = oldH;
}

QTEST_MAIN(TestLossNotice)
#include "tst_lossnotice.moc"
