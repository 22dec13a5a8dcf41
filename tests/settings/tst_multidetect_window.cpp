// The multi-detection page and the I/O-name dialog in the real main window:
// the name dialog is the window's hidden child, started from the stored
// names; "IO name" hides the settings dialog for it and its Confirm brings
// the dialog back; the dialog's own Confirm then commits the names, and the
// status strip's labels follow them.
#include "checkbox.h"
#include "combobox.h"
#include "colorbutton.h"
#include "customionamewidget.h"
#include "iowidget.h"
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

class TestMultiDetectWindow : public QObject {
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

    void namesReachTheStatusStripThroughBothConfirms()
    {
        TestEnv env;
        env.defaultAnswer = 1;
        RecordingRelayLink relay;
        RelayLink* oldNet = gpNet;
        gpNet = &relay;
        keepLogsInside(env);
        writeFloor(env);
        writeParams(env, [](WizardPara& p) {
            p.passwordEnabled = 0;
            p.systemMode = p.systemModePending = SystemModeMultiDetect;
            p.multiDetectCount = 3;
            for (int i = 0; i < 8; ++i) {
                p.multiDetectRow[i] = i < 3 ? i : -1;
                p.multiRowTrigger[i] = i < 3 ? i : 2;
                p.customInputName[i] = 0;
                p.customOutputName[i] = 1;
            }
        });
        auto* w = new MoJuWizard;
        w->show();
        auto* dialog = dynamic_cast<WizardParaWidget*>(w->settingsPage->pageWidget());
        QVERIFY(dialog && dialog->ioPage);
        auto* names = qobject_cast<CustomIONameWidget*>(w->ioNameDialog);
        QVERIFY(names);
        QCOMPARE(names->parentWidget(), static_cast<QWidget*>(w));
        QVERIFY(names->isHidden());
        QCOMPARE(names->outputNameBox[0]->currentIndex(), 1);

        w->accessLevel = AccessLevelAdvanced;
        w->SlotSystemPara();
        dialog->SlotToIO();
        dialog->ioNameButton->click();
        QVERIFY(!w->settingsPageVisible());
        QVERIFY(names->isVisible());
        // The side bar's settings button waits while the name dialog shows.
        w->SlotSystemPara();
        QVERIFY(!w->settingsPageVisible());

        names->inputNameBox[1]->setCurrentIndex(2);    // "op door"
        names->outputNameBox[0]->setCurrentIndex(9);   // "Rot": the last step's output
        names->confirmButton->click();
        QVERIFY(!names->isVisible());
        QVERIFY(w->settingsPageVisible());
        QCOMPARE(dialog->ioPage->rows[0]->stepBox[2]->text(), QStringLiteral("Rot"));
        QCOMPARE(gpWPara->customOutputName[0], 1);   // not yet committed

        dialog->accept();
        QCOMPARE(gpWPara->customOutputName[0], 9);
        QCOMPARE(gpWPara->customInputName[1], 2);
        QCOMPARE(gaName[9], QStringLiteral("Rot"));
        QCOMPARE(gaName[2], QStringLiteral("op door"));
        gpNet = oldNet;
    }
};

QTEST_MAIN(TestMultiDetectWindow)
#include "tst_multidetect_window.moc"
