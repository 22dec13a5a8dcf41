// The settings dialog in the real main window: built through the factory
// the start-up installs, opened by the side bar's slot with the edit copies
// refreshed, answering the window's "settings shown" from its own flag (so
// the camera code reads the edit copy), hidden by the alarm's hide, and
// closed by a Confirm with nothing changed.
#include "indexbutton.h"
#include "messages.h"
#include "mojuwizard.h"
#include "mojuwizardsettingshost.h"
#include "operationrecord.h"
#include "relaylink.h"
#include "settingspage.h"
#include "testenv.h"
#include "windowtest.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

#include <QtTest>

using namespace windowtest;

class TestWizardParaWidgetWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        gLan = LanEnglish;
        CreateSharedLocks();
        FillMessageTable();
        setSettingsPageFactory(MakeSettingsDialog);
    }
    void cleanupTestCase() { setSettingsPageFactory({}); }
    void cleanup() { closeWindow(); }

    void openedByTheSideBarSlot()
    {
        TestEnv env;
        RecordingRelayLink relay;
        RelayLink* oldNet = gpNet;
        gpNet = &relay;
        relay.netCard.hostName = QStringLiteral("panel-7");
        keepLogsInside(env);
        writeFloor(env);
        writeParams(env, [](WizardPara& p) {
            p.passwordEnabled = 0;
            p.exposure[0] = 30;
        });
        auto* w = new MoJuWizard;
        w->show();
        env.modalRequests.clear();
        QVERIFY(w->settingsPage);
        auto* dialog = dynamic_cast<WizardParaWidget*>(w->settingsPage->pageWidget());
        QVERIFY(dialog);
        QCOMPARE(dialog->parentWidget(), static_cast<QWidget*>(w));
        QVERIFY(!w->settingsPageVisible());

        gpWParaBak->exposure[0] = 99;   // stale: the opening refreshes it
        w->accessLevel = AccessLevelAdvanced;
        w->SlotSystemPara();
        QVERIFY(dialog->isVisible());
        QVERIFY(w->settingsPageVisible());
        QCOMPARE(gpWParaBak->exposure[0], 30);
        QCOMPARE(relay.netCardEdit.hostName, QStringLiteral("panel-7"));
        QVERIFY(!w->sideBarVisible());
        QVERIFY(w->anyPageVisible());
        // While shown the camera code reads the edit copy.
        dialog->SetExposeTime(55);
        QCOMPARE(w->cameraValues(0, w->settingsPageVisible()).exposure, 55);
        QCOMPARE(gpWPara->exposure[0], 30);

        // The alarm's hide; the shown flag goes with it.
        w->hideSettingsPage();
        QVERIFY(!dialog->isVisible());
        QVERIFY(!w->settingsPageVisible());
        QCOMPARE(w->cameraValues(0, w->settingsPageVisible()).exposure, 30);

        // Opened again and confirmed without a change: no question, closed,
        // and the service level ended (the opening lowered it already).
        w->SlotSystemPara();
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->confirm(), ConfirmOutcome::Unchanged);
        QVERIFY(!w->settingsPageVisible());
        QVERIFY(env.modalRequests.empty());
        QVERIFY(w->accessLevel != AccessLevelAdvanced);
        gpNet = oldNet;
    }
};

QTEST_MAIN(TestWizardParaWidgetWindow)
#include "tst_wizardparawidget_window.moc"
