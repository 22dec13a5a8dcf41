// The side dialogs with the settings dialog and the main window: the
// openers (the cavity dialog starts from the saved names and returns to the
// common page, the viewer to the advanced page, "reordering" opens the
// renumbering), and the window built through the settings factory: the
// dialogs made hidden, the cavity names on the views, the help button, the
// area page's help on picture 6, and the renumbering's shutdown question.
#include "cameraglobals.h"
#include "cammerwidget.h"
#include "checkbox.h"
#include "colorbutton.h"
#include "edit.h"
#include "editcavitywidget.h"
#include "fakesettingshost.h"
#include "hardwareconfigurationwidget.h"
#include "helpwidget.h"
#include "messages.h"
#include "mojuwizard.h"
#include "mojuwizardsettingshost.h"
#include "relaylink.h"
#include "settingslayout.h"
#include "sharedboxes.h"
#include "testenv.h"
#include "widgetchangecamera.h"
#include "windowtest.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

#include <QImage>
#include <QtTest>

#include <memory>

using namespace windowtest;

class TestWindowDialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        gLan = LanEnglish;
        CreateSharedLocks();
        FillMessageTable();
    }
    void cleanup()
    {
        setSettingsPageFactory({});
        closeWindow();
    }

    void openersHideTheDialogAndComeBack();
    void theWindowMakesTheDialogsHidden();
};

void TestWindowDialogs::openersHideTheDialogAndComeBack()
{
    TestEnv env;
    SharedBoxes boxes;
    WizardPara live = FirstStartParameters();
    WizardPara bak = live;
    gpWPara = &live;
    gpWParaBak = &bak;
    const int oldW = gShowW, oldH = gShowH, oldCameras = numCamera;
    gShowW = 1280;
    gShowH = 800;
    numCamera = 2;
    resetSettingsMetrics();
    {
        FakeSettingsHost host;
        host.cameras = 2;
        QWidget window;
        WizardParaWidget dialog(&host, false, &window);
        EditCavitywidget cavity(&dialog, {});
        cavity.Databaseinit();
        cavity.init();
        HardwareConfigurationWidget viewer(&window, &dialog);
        WidgetChangeCamera renumber(&window);
        dialog.cavityDialog = &cavity;
        dialog.configurationViewer = &viewer;
        dialog.renumberDialog = &renumber;
        viewer.hide();
        renumber.hide();
        window.show();

        // The viewer: back on the advanced page.
        dialog.showPage();
        dialog.SlotToAdvance();
        dialog.buttonByText(568)->click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(viewer.isVisible());
        viewer.confirmButton1->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.currentPage, int(SettingsPageAdvanced));

        // The cavity dialog: edits left by a Cancel are gone at the next
        // opening, and it returns to the common page.
        cavity.nameEdit[0]->setText("Left");
        dialog.buttonByText(594)->click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(cavity.isVisible());
        QCOMPARE(cavity.nameEdit[0]->text(), QString::fromUtf8("模腔1"));
        cavity.nameEdit[0]->setText("Typed");
        cavity.cancelButton->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.currentPage, int(SettingsPageCommon));
        dialog.SlotToAdvance();
        dialog.buttonByText(594)->click();
        QCOMPARE(cavity.nameEdit[0]->text(), QString::fromUtf8("模腔1"));
        cavity.confirmButton->click();
        QVERIFY(dialog.isVisible());

        // "reordering" on the camera page.
        dialog.SlotToCamera();
        dialog.reorderButton->click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(renumber.isVisible());
    }
    gpWPara = nullptr;
    gpWParaBak = nullptr;
    gShowW = oldW;
    gShowH = oldH;
    numCamera = oldCameras;
    resetSettingsMetrics();
}

void TestWindowDialogs::theWindowMakesTheDialogsHidden()
{
    TestEnv env;
    RecordingRelayLink relay;
    RelayLink* oldNet = gpNet;
    gpNet = &relay;
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [](WizardPara& p) { p.passwordEnabled = 0; });
    loadBus(2, "WD");
    for (int i = 0; i < 8; ++i) {
        QImage page(300, 200, QImage::Format_RGB32);
        page.fill(Qt::white);
        QDir().mkpath(env.path("help-en"));
        QVERIFY(page.save(env.path(QStringLiteral("help-en/%1.png").arg(i))));
    }
    setSettingsPageFactory(MakeSettingsDialog);
    auto* w = new MoJuWizard;
    w->show();
    QCOMPARE(numCamera, 2);
    auto* dialog = dynamic_cast<WizardParaWidget*>(w->settingsPage->pageWidget());
    QVERIFY(dialog);
    for (QWidget* d : {w->helpPage, w->cameraNumberDialog, w->cavityDialog, w->hardwareConfigViewer}) {
        QVERIFY(d);
        QVERIFY(!d->isVisible());
    }
    QCOMPARE(w->helpPage->parentWidget(), static_cast<QWidget*>(w));
    QVERIFY(!w->cavityDialog->parentWidget());
    QCOMPARE(static_cast<HelpWidget*>(w->helpPage)->pictureCount, 8);

    // The cavity names reach the views' boxes and their paint.
    QCOMPARE(w->cameraViews[1]->cavityBox[4]->text(), QString::fromUtf8("模腔5"));
    QCOMPARE(w->cavityName(1, 4), QString::fromUtf8("模腔5"));
    QCOMPARE(w->cavityName(2, 4), QString());

    // The side bar's help at the picture last shown; the area page's on 6.
    gHelpC = 3;
    w->SlotHelp();
    QVERIFY(w->helpPage->isVisible());
    QCOMPARE(gHelpC, 3);
    w->helpPage->hide();
    w->showHelpPage(6);
    QVERIFY(w->helpPage->isVisible());
    QCOMPARE(gHelpC, 6);
    // An NG alarm takes the help page away.
    w->hideHelpPage();
    QVERIFY(!w->helpPage->isVisible());

    // The renumbering's OK stores the binding and asks the shutdown question.
    int asked = 0;
    dialog->shutDownAsked = [&asked] { ++asked; };
    auto* renumber = static_cast<WidgetChangeCamera*>(w->cameraNumberDialog);
    renumber->show();
    renumber->okButton->click();
    QCOMPARE(asked, 1);
    QVERIFY(!renumber->isVisible());
    gpNet = oldNet;
    gHelpC = 0;
}

QTEST_MAIN(TestWindowDialogs)
#include "tst_windowdialogs.moc"
