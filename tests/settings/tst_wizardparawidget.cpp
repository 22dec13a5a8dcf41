// The settings dialog over a recording host: opening and page switching,
// the visibility rules, the fields' loading and writing back, the camera
// page's live setters and the one-key exposure, and Confirm's paths with
// their effect on the running state and PARAM.db.
#include "cameraglobals.h"
#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "cyclecounters.h"
#include "edit.h"
#include "editbox.h"
#include "fakesettingshost.h"
#include "messages.h"
#include "operationrecord.h"
#include "relaylink.h"
#include "settingslayout.h"
#include "sharedboxes.h"
#include "testenv.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

#include <QLabel>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// One dialog over its host, with the live record and the edit copy as the
// window keeps them, on a screen of the given size.
struct Dialog {
    TestEnv env;
    SharedBoxes boxes;
    WizardPara live;
    WizardPara bak;
    FakeSettingsHost host;
    RecordingRelayLink relay;
    std::unique_ptr<WizardParaWidget> w;
    int oldW = gShowW, oldH = gShowH;
    RelayLink* oldNet = gpNet;

    explicit Dialog(const std::function<void(WizardPara&)>& edit = {}, QSize screen = QSize(1280, 800), int cameras = 1)
    {
        gShowW = screen.width();
        gShowH = screen.height();
        resetSettingsMetrics();
        live = FirstStartParameters();
        if (edit)
            edit(live);
        bak = live;
        gpWPara = &live;
        gpWParaBak = &bak;
        gpNet = &relay;
        host.cameras = cameras;
        numCamera = cameras;
        host.editCopyInForce = [this] { return w && w->pageShown(); };
        w = std::make_unique<WizardParaWidget>(&host, false, nullptr);
    }
    ~Dialog()
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

    // As the window opens it: the edit copy refreshed, then shown.
    void open()
    {
        bak = live;
        relay.netCardEdit = relay.netCard;
        w->show();
    }

    // PARAM.db holding the live record, for the save paths.
    void useParamDb()
    {
        host.db = QSqlDatabase::addDatabase("QSQLITE", "settingsTestParam");
        host.db.setDatabaseName(env.path("PARAM.db"));
        QVERIFY(host.db.open());
        QVERIFY(live.SaveDatatoFile(host.db).ok);
    }

    SettingsControl* control(const char* name, int index = 0) { return findControl(name, index); }
    SettingsControl* findControl(const char* name, int index)
    {
        for (SettingsControl& c : w->controls)
            if (c.field && c.field->index == index && std::strcmp(c.field->name, name) == 0)
                return &c;
        return nullptr;
    }
    bool shown(const char* name, int index = 0)
    {
        SettingsControl* c = control(name, index);
        return c && c->row && !c->row->isHidden();
    }
    QList<int> modalIds() const
    {
        QList<int> ids;
        for (const ModalRequest& r : env.modalRequests)
            ids << r.messageId;
        return ids;
    }
};

enum { Yes = 1, No = 0 };

} // namespace

class TestWizardParaWidget : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }

    // ---- frame

    void openingShowsCommonCameraOneAndFullDisplay()
    {
        Dialog d({}, QSize(1280, 800), 3);
        d.w->currentPage = SettingsPageCamera;
        d.w->tunedCamera = 2;
        d.w->simpleDisplay = true;
        d.open();
        QCOMPARE(d.w->currentPage, int(SettingsPageCamera));   // kept through the opening
        QCOMPARE(d.w->tunedCamera, 0);
        QVERIFY(!d.w->simpleDisplay);
        QVERIFY(d.w->pageShown());
        // The loading applied camera 0's five values from the edit copy.
        for (int s = 0; s < 5; ++s)
            QVERIFY(d.host.calls.contains(QStringLiteral("apply 0 %1 %2").arg(s).arg(
                s == 0 ? d.live.exposure[0] : s == 1 ? d.live.gain[0] : s == 2 ? d.live.sharpness[0]
                                                    : s == 3 ? d.live.contrast[0] : d.live.gamma[0])));
        d.w->hide();
        QVERIFY(!d.w->pageShown());
        QCOMPARE(d.w->currentPage, int(SettingsPageCommon));
    }

    void pageButtonsAndTheServiceGate()
    {
        Dialog d;
        d.open();
        d.host.rootAnswer = false;
        d.w->pageButtons[3]->click();   // I/O, refused
        QCOMPARE(d.w->currentPage, int(SettingsPageCommon));
        QCOMPARE(d.host.callsOf("CheckRoot").size(), 1);
        d.w->pageButtons[1]->click();   // camera: no gate
        QCOMPARE(d.w->currentPage, int(SettingsPageCamera));
        QCOMPARE(d.host.callsOf("CheckRoot").size(), 1);
        d.host.rootAnswer = true;
        d.w->pageButtons[4]->click();
        QCOMPARE(d.w->currentPage, int(SettingsPageAdvanced));
        QCOMPARE(d.host.callsOf("CheckRoot").size(), 2);
        // The shown page's button does nothing, the gate included.
        d.w->pageButtons[4]->click();
        QCOMPARE(d.host.callsOf("CheckRoot").size(), 2);
        QCOMPARE(d.w->currentPage, int(SettingsPageAdvanced));
    }

    void keepPageBringsTheAdvancedPageBack()
    {
        Dialog d;
        d.open();
        d.w->SlotToAdvance();
        d.w->keepPage = true;
        d.w->hide();
        d.open();
        QCOMPARE(d.w->currentPage, int(SettingsPageAdvanced));
        QVERIFY(!d.w->keepPage);
        d.w->hide();
        d.open();
        QCOMPARE(d.w->currentPage, int(SettingsPageCommon));
    }

    void valueTypedAndNotConfirmedIsGoneAfterHideAndShow()
    {
        Dialog d([](WizardPara& p) { p.moldRecheckCount = 3; });
        d.open();
        d.w->recheckBox->setValue(7);
        d.w->SlotToCamera();
        d.w->SlotToCommon();
        QCOMPARE(d.w->recheckBox->value(), 7);   // switching keeps it
        d.w->hide();
        d.open();
        QCOMPARE(d.w->recheckBox->value(), 3);
        QCOMPARE(d.live.moldRecheckCount, 3);
    }

    void titleIsTheSerialNumbersFirstWord()
    {
        {
            Dialog d;
            QVERIFY(d.w->titleText.isEmpty());   // no serialNB.txt
        }
        Dialog d;
        d.env.writeFile("serialNB.txt", "KV2024-17 second\n");
        WizardParaWidget again(&d.host, false, nullptr);
        QCOMPARE(again.titleText, QStringLiteral("KV2024-17"));
    }

    void dialogNeverLargerThanTheScreen_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QSize>("expected");
        QTest::addColumn<bool>("multi");   // mode 4, eight steps, factory fields
        for (bool multi : {false, true}) {
            const char* m = multi ? " mode 4" : "";
            QTest::newRow(qPrintable(QStringLiteral("1920x1080%1").arg(m))) << QSize(1920, 1080) << QSize(1800, 950) << multi;
            QTest::newRow(qPrintable(QStringLiteral("1280x800%1").arg(m))) << QSize(1280, 800) << QSize(1280, 800) << multi;
            QTest::newRow(qPrintable(QStringLiteral("1024x600%1").arg(m))) << QSize(1024, 600) << QSize(700, 500) << multi;
        }
    }
    void dialogNeverLargerThanTheScreen()
    {
        QFETCH(QSize, screen);
        QFETCH(QSize, expected);
        QFETCH(bool, multi);
        Dialog d(
            [&](WizardPara& p) {
                if (!multi)
                    return;
                p.systemMode = p.systemModePending = SystemModeMultiDetect;
                p.multiDetectCount = 8;
                p.showFactoryParams = 1;
                p.showAlgorithmDetails = 0;
            },
            screen);
        QCOMPARE(d.w->size(), expected);
        d.open();
        for (int page : {int(SettingsPageCommon), int(SettingsPageCamera), int(SettingsPageIO), int(SettingsPageAdvanced)}) {
            d.w->currentPage = page;
            d.w->DoChangePage();
            QCoreApplication::processEvents();   // lays the page out
            d.w->grab();
            QList<QPair<QRect, QString>> placed;
            for (ColorButton* b : d.w->pageButtons)
                placed << qMakePair(QRect(b->mapTo(d.w.get(), QPoint(0, 0)), b->size()), QStringLiteral("page button"));
            for (const SettingsControl& c : d.w->controls) {
                if (c.page != page || !c.row || !c.row->isVisibleTo(d.w.get()))
                    continue;
                const QRect r(c.row->mapTo(d.w.get(), QPoint(0, 0)), c.row->size());
                const QString name = c.field ? QString::fromLatin1(c.field->name) : QStringLiteral("control");
                for (const auto& [other, otherName] : placed)
                    QVERIFY2(!other.intersects(r), qPrintable(QStringLiteral("page %1: %2 overlaps %3")
                                                                  .arg(page).arg(name, otherName)));
                placed << qMakePair(r, name);
                QVERIFY2(QRect(QPoint(0, 0), d.w->size()).contains(r),
                         qPrintable(QStringLiteral("page %1 %2 at %3,%4 %5x%6")
                                        .arg(page)
                                        .arg(c.field ? c.field->name : "control")
                                        .arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())));
            }
        }
    }

    // ---- visibility

    void visibility_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("steps");
        QTest::addColumn<bool>("factory");
        QTest::addColumn<bool>("large");
        QTest::newRow("mode 0, plain, large") << 0 << 2 << false << true;
        QTest::newRow("mode 0, factory, small") << 0 << 2 << true << false;
        QTest::newRow("mode 4, 3 steps, factory") << 4 << 3 << true << true;
        QTest::newRow("mode 4, 8 steps, factory, small") << 4 << 8 << true << false;
        QTest::newRow("mode 4, 5 steps, plain") << 4 << 5 << false << true;
    }
    void visibility()
    {
        QFETCH(int, mode);
        QFETCH(int, steps);
        QFETCH(bool, factory);
        QFETCH(bool, large);
        Dialog d(
            [&](WizardPara& p) {
                p.systemMode = mode;
                p.systemModePending = mode;
                p.multiDetectCount = steps;
                p.showFactoryParams = factory;
            },
            large ? QSize(1280, 800) : QSize(1024, 600));
        d.open();
        const bool multi = mode == 4;
        // Common: delays 1..N in mode 4, with the step caption.
        for (int k = 0; k < 8; ++k)
            QCOMPARE(d.shown("detectDelay", k), k < 2 || (multi && k < steps));
        if (multi)
            QCOMPARE(d.w->recheckBox->captionLabel->text(), Msg(511).arg(Msg(476 + steps)));
        // Camera: direction never; factory fields with the box.
        d.w->SlotToCamera();
        QVERIFY(!d.shown("directionEnabled"));
        QVERIFY(d.shown("exposure"));
        QCOMPARE(d.shown("gamma"), factory);
        QCOMPARE(d.shown("defectEnabled"), factory);
        // I/O: output combos 1..max(4, N + 1) in mode 4, four otherwise.
        d.w->SlotToIO();
        const int outputs = multi ? qMax(4, steps + 1) : 4;
        for (int k = 0; k < 9; ++k)
            QCOMPARE(d.shown("outputInvert", k), factory && k < outputs);
        // The function's rule at once.
        d.w->sysFunCombo->setCurrentIndex(2);
        QVERIFY(d.shown("moldSelect"));
        QVERIFY(!d.w->customIoButton->isHidden() == false);
        d.w->sysFunCombo->setCurrentIndex(4);
        QVERIFY(!d.shown("moldSelect"));
        QVERIFY(!d.w->customIoButton->isHidden());
        QVERIFY(!d.w->ioNameButton->isHidden());
        // Advanced: the offset only in the large layout.
        d.w->SlotToAdvance();
        QCOMPARE(d.shown("maxOffset"), large);
    }

    void factoryBoxActsAtTheNextPageSwitch()
    {
        Dialog d([](WizardPara& p) { p.showFactoryParams = 0; });
        d.open();
        d.w->SlotToAdvance();
        d.w->factoryBox->setValue(1);
        d.w->SlotToCamera();
        QVERIFY(d.shown("gamma"));
        d.w->SlotToAdvance();
        d.w->factoryBox->setValue(0);
        d.w->SlotToCamera();
        QVERIFY(!d.shown("gamma"));
    }

    void uniformFilterFollowsTheDetailsBoxAsItStands()
    {
        Dialog d([](WizardPara& p) { p.showAlgorithmDetails = 0; });
        d.open();
        QVERIFY(d.shown("minimumSize"));
        d.w->SlotToCamera();
        d.w->showDetailsBox->setValue(1);
        d.w->SlotToCommon();
        QVERIFY(!d.shown("minimumSize"));
        QVERIFY(!d.shown("minimumArea"));
    }

    // ---- fields

    void numberFieldsSnapOnLoadingAndWriteBackSnapped()
    {
        // Every number field of the four pages: one past either edge loads
        // as the edge, and the snapped value is what is written back.
        for (int side = 0; side < 2; ++side) {
            Dialog d([](WizardPara& p) { p.systemMode = p.systemModePending = 4; p.multiDetectCount = 8; });
            for (const SettingsControl& c : d.w->controls) {
                if (!c.field || c.kind != SettingsControl::Number || c.field->perCamera)
                    continue;
                int& stored = paramfields::FieldRef(*c.field, d.live);
                stored = side == 0 ? c.field->minimum - 1 : c.field->maximum + 1;
            }
            d.open();
            d.w->ReadPages();
            for (const SettingsControl& c : d.w->controls) {
                if (!c.field || c.kind != SettingsControl::Number || c.field->perCamera)
                    continue;
                int expected = side == 0 ? c.field->minimum : c.field->maximum;
                if (c.field->use0 && side == 0 && c.field->minimum - 1 == 0)
                    expected = 0;
                QVERIFY2(c.edit->value() == expected, c.field->name);
                QVERIFY2(paramfields::FieldValue(*c.field, d.bak) == expected, c.field->name);
            }
        }
    }

    void combosSnapIntoTheirItems()
    {
        Dialog d([](WizardPara& p) {
            p.moldSelect = 3;
            p.reserveInputRole = 7;
            p.reserveOutputRole = -1;
        });
        d.open();
        d.w->ReadPages();
        QCOMPARE(d.bak.moldSelect, 2);
        QCOMPARE(d.bak.reserveInputRole, 3);
        QCOMPARE(d.bak.reserveOutputRole, 0);
    }

    void screenOffKeepsZero()
    {
        Dialog d;
        d.open();
        EditBox* box = d.w->screenOffBox;
        const QList<QPair<int, int>> cases = {{10, 30}, {29, 30}, {0, 0}, {-1, 30}, {10000, 9999}};
        for (const auto& [in, out] : cases) {
            box->setValue(in);
            QCOMPARE(box->value(), out);
        }
    }

    void delayShowsTenthsAndStepsInRawUnits()
    {
        Dialog d([](WizardPara& p) { p.detectDelay[0] = 25; });
        d.open();
        QCOMPARE(d.w->delayBoxes[0]->valueField->text(), QStringLiteral("2.5"));
        d.w->delayBoxes[0]->AddOne();
        d.w->ReadPages();
        QCOMPARE(d.bak.detectDelay[0], 26);
    }

    void motionBoxStoresZeroOrMinusOne()
    {
        Dialog d([](WizardPara& p) { p.motionCorrection = -1; });
        d.open();
        QVERIFY(!d.w->motionBox->value());
        d.w->motionBox->setValue(1);
        d.w->ReadPages();
        QCOMPARE(d.bak.motionCorrection, 0);
        d.w->motionBox->setValue(0);
        d.w->ReadPages();
        QCOMPARE(d.bak.motionCorrection, -1);
    }

    void captionsWithoutTheirLanguageShowChinese()
    {
        const int old = gLan;
        gLan = LanEnglish;
        {
            Dialog d;
            for (const char* name : {"ngSwitchToContinuous", "continuousTimedDetect", "productOkNgOutputs"}) {
                SettingsControl* c = d.control(name);
                QVERIFY(c && c->check);
                QVERIFY2(!c->check->text().isEmpty(), name);
                QVERIFY2(c->check->text().remove('\n') == Msg(c->field->caption, LanSimplifiedChinese), name);
            }
            QVERIFY(d.control("moldNgPulseNoAlarm")->check->text().remove('\n')
                    != d.control("productNgPulseNoAlarm")->check->text().remove('\n'));
            QVERIFY(d.control("okClampNgEjector")->check->text().remove('\n')
                    != d.control("okNgPulses")->check->text().remove('\n'));
        }
        gLan = old;
    }

    void resetCountClearsTheCountersAtOnce()
    {
        Dialog d;
        d.open();
        gAllNum[1] = 40;
        gFailNum[1] = 3;
        gLost = 2;
        d.w->resetCountButton->click();
        QCOMPARE(gAllNum[1], 0);
        QCOMPARE(gFailNum[1], 0);
        QCOMPARE(gLost, 0);
        QVERIFY(d.host.calls.contains(QStringLiteral("record ") + Msg(255)));
        QVERIFY(d.host.calls.contains(QStringLiteral("CountWrite")));
    }

    // ---- camera page

    void exposureDigitsApplyAsTyped()
    {
        Dialog d;
        d.open();
        d.w->SlotToCamera();
        d.host.calls.clear();
        // The keypad sets the box once per digit: 1, 15, 150.
        for (int v : {1, 15, 150})
            d.w->exposureBox->setValue(v);
        QCOMPARE(d.host.callsOf("apply 0 0"),
                 QStringList({"apply 0 0 1", "apply 0 0 15", "apply 0 0 100"}));
        QCOMPARE(d.bak.exposure[0], 100);
        QCOMPARE(d.live.exposure[0], FirstStartParameters().exposure[0]);
    }

    void switchCameraCycles()
    {
        {
            Dialog one;
            one.open();
            one.w->SlotChangeCamera();
            QCOMPARE(one.w->tunedCamera, 0);
            QVERIFY(one.host.callsOf("alone").isEmpty());
        }
        Dialog d({}, QSize(1280, 800), 3);
        d.live.exposure[1] = 44;
        d.open();
        QStringList shown;
        for (int k = 0; k < 3; ++k) {
            d.w->SlotChangeCamera();
            shown << QString::number(d.w->tunedCamera + 1);
        }
        QCOMPARE(shown, QStringList({"2", "3", "1"}));
        QCOMPARE(d.host.callsOf("alone"), QStringList({"alone 1", "alone 2", "alone 0"}));
        QVERIFY(d.host.calls.contains("apply 1 0 44"));
    }

    void automaticShadingStoresTwoThenOne()
    {
        Dialog d([](WizardPara& p) { p.autoShading = 0; });
        d.useParamDb();
        d.open();
        d.w->SlotToCamera();
        d.w->shadingBox->setValue(1);
        QCOMPARE(d.bak.autoShading, 2);
        d.env.modalAnswers = {Yes};
        QCOMPARE(d.w->confirm(), ConfirmOutcome::Saved);
        QCOMPARE(d.live.autoShading, 1);
    }

    void restoreAnsweredNoChangesNothing()
    {
        Dialog d;
        d.open();
        d.w->SlotToCamera();
        const WizardPara before = d.bak;
        d.env.modalAnswers = {No};
        d.w->restoreButton->click();
        QCOMPARE(d.modalIds(), QList<int>({527}));
        QVERIFY(d.host.callsOf("restore").isEmpty());
        QVERIFY(d.bak == before);
    }

    void oneKeyExposureIsLatchedToItsCamera_data()
    {
        QTest::addColumn<int>("exposureMs");
        QTest::addColumn<bool>("gainKnown");
        QTest::addColumn<int>("gain");
        QTest::addColumn<bool>("switchBefore");
        QTest::addColumn<int>("expectExposure");
        QTest::addColumn<int>("expectGain");
        QTest::newRow("read back") << 37 << true << 20 << false << 37 << 20;
        QTest::newRow("below 1 ms") << 0 << true << 70 << false << 1 << 64;
        QTest::newRow("empty gain range keeps the gain") << 12 << false << 0 << false << 12 << 32;
        QTest::newRow("switched camera stores nothing") << 50 << true << 5 << true << 30 << 32;
    }
    void oneKeyExposureIsLatchedToItsCamera()
    {
        QFETCH(int, exposureMs);
        QFETCH(bool, gainKnown);
        QFETCH(int, gain);
        QFETCH(bool, switchBefore);
        QFETCH(int, expectExposure);
        QFETCH(int, expectGain);
        Dialog d(
            [](WizardPara& p) {
                for (int c = 0; c < 8; ++c) {
                    p.exposure[c] = 30;
                    p.gain[c] = 32;
                }
            },
            QSize(1280, 800), 2);
        d.open();
        d.w->SlotToCamera();
        d.w->autoExposeButton->click();
        QVERIFY(d.host.calls.contains("exposure start 0"));
        auto done = d.host.exposureDone;
        QVERIFY(done);
        if (switchBefore) {
            d.w->SlotChangeCamera();
            QVERIFY(d.host.calls.contains("exposure cancel"));
        }
        OneKeyExposureResult r;
        r.camera = 0;
        r.exposure = exposureMs;
        r.gainKnown = gainKnown;
        r.gain = gain;
        done(r);
        QCOMPARE(d.bak.exposure[0], expectExposure);
        QCOMPARE(d.bak.gain[0], expectGain);
    }

    void hideEndsAnExposureRun()
    {
        Dialog d;
        d.open();
        d.w->SlotAutoExposeTime();
        d.w->hide();
        QVERIFY(d.host.calls.contains("exposure cancel"));
    }

    // ---- cameras follow the dialog's visibility

    void camerasRunTheEditCopyOnlyWhileShown()
    {
        Dialog d({}, QSize(1280, 800), 2);
        d.open();
        d.w->SlotChangeCamera();   // camera 2
        d.w->exposureBox->setValue(70);
        d.w->hMirrorBox->click();
        QCOMPARE(d.host.camera[1][int(CameraSetting::Exposure)], 70);
        QCOMPARE(d.host.camera[1][int(CameraSetting::HMirror)], 1);
        d.w->hide();   // an alarm hides the dialog
        QCOMPARE(d.host.camera[1][int(CameraSetting::Exposure)], d.live.exposure[1]);
        QCOMPARE(d.host.camera[1][int(CameraSetting::HMirror)], d.live.hMirror[1]);
        d.w->show();   // shown again without a refresh: the edit copy again
        QCOMPARE(d.host.camera[1][int(CameraSetting::Exposure)], 70);
        QCOMPARE(d.host.camera[1][int(CameraSetting::HMirror)], 1);
    }


    // ---- function, bookkeeping and training

    void functionChange_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("modeAfter");
        QTest::addColumn<bool>("note277");
        QTest::newRow("0 -> 3 at once") << 0 << 3 << 3 << false;
        QTest::newRow("1 -> 2 at once") << 1 << 2 << 2 << false;
        QTest::newRow("0 -> 4 waits") << 0 << 4 << 0 << true;
        QTest::newRow("0 -> 1 waits") << 0 << 1 << 0 << true;
        QTest::newRow("2 -> 3 waits") << 2 << 3 << 2 << true;
    }
    void functionChange()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, modeAfter);
        QFETCH(bool, note277);
        const int oldDNum = gDNum;
        gDNum = from == 1 || from == 2 ? 4 : 2;
        Dialog d([&](WizardPara& p) {
            p.systemMode = p.systemModePending = from;
            p.moldSelect = 0;
            p.statisticsEnabled = 0;
        });
        d.useParamDb();
        d.open();
        d.host.rootAnswer = true;
        d.w->SlotToIO();
        d.w->sysFunCombo->setCurrentIndex(to);
        d.env.modalAnswers = {Yes};
        QCOMPARE(d.w->confirm(), ConfirmOutcome::Saved);
        QCOMPARE(d.live.systemModePending, to);
        QCOMPARE(d.live.systemMode, modeAfter);
        QCOMPARE(d.modalIds().contains(277), note277);
        QCOMPARE(gDNum, from == 1 || from == 2 ? 4 : 2);   // the count waits for the start
        gDNum = oldDNum;
    }

    void multiDetectionStepCountChange()
    {
        const int oldDNum = gDNum;
        gDNum = 3;
        Dialog d(
            [](WizardPara& p) {
                p.systemMode = p.systemModePending = SystemModeMultiDetect;
                p.multiDetectCount = 3;
                p.productDetectEnabled = 1;
                for (int k = 0; k < 8; ++k) {
                    p.multiDetectRow[k] = k;
                    p.multiRowTrigger[k] = 0;
                }
            },
            QSize(1280, 800), 2);
        d.useParamDb();
        d.open();
        d.bak.multiDetectCount = 5;   // as the multi-detection I/O page leaves it
        d.env.modalAnswers = {Yes};
        QCOMPARE(d.w->confirm(), ConfirmOutcome::Saved);
        QCOMPARE(gDNum, 5);
        QCOMPARE(d.live.statusLampCount, 5);
        QVERIFY(d.host.calls.contains("ChangeDetectNum 5"));
        QVERIFY(d.host.calls.contains("resetCycle 5"));
        for (int k = 0; k < 8; ++k)
            QCOMPARE(d.live.detectEnabled[k], k < 5 ? 1 : 0);
        // Every enabled step of every camera shaped and trained once.
        QCOMPARE(d.host.callsOf("CreateShape").size(), 10);
        QCOMPARE(d.host.callsOf("VarTrain").size(), 10);
        QCOMPARE(d.host.callsOf("CreateShape").removeDuplicates(), 0);
        gDNum = oldDNum;
    }

    void retrainingPlan_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("shapes");
        QTest::addColumn<int>("trains");
        QTest::addColumn<bool>("copy");
        // Two cameras, detections 0 and 1 enabled (mode 0, product on).
        QTest::newRow("amplify") << "differenceMultiplier" << 0 << 4 << false;
        QTest::newRow("angle") << "rotationAngle" << 4 << 0 << false;
        QTest::newRow("offset") << "maxOffset" << 4 << 0 << false;
        QTest::newRow("same parameters") << "moldSameAsProduct" << 4 << 4 << true;
        QTest::newRow("template count") << "templateCount" << 0 << 0 << false;
    }
    void retrainingPlan()
    {
        QFETCH(QString, change);
        QFETCH(int, shapes);
        QFETCH(int, trains);
        QFETCH(bool, copy);
        const int oldDNum = gDNum;
        gDNum = 2;
        Dialog d(
            [](WizardPara& p) {
                p.systemMode = p.systemModePending = 0;
                p.productDetectEnabled = 1;
                p.moldSameAsProduct = 0;
                p.differenceMultiplier = 1;
                p.rotationAngle = 0;
                p.maxOffset = 100;
                p.templateCount = 10;
            },
            QSize(1280, 800), 2);
        d.useParamDb();
        d.open();
        d.w->SlotToAdvance();
        const QByteArray name = change.toLatin1();
        SettingsControl* c = d.control(name.constData());
        QVERIFY(c);
        if (c->edit)
            c->edit->AddOne();
        else
            c->check->setValue(!c->check->value());
        d.env.modalAnswers = {Yes};
        QCOMPARE(d.w->confirm(), ConfirmOutcome::Saved);
        QCOMPARE(d.host.callsOf("CreateShape").size(), shapes);
        QCOMPARE(d.host.callsOf("VarTrain").size(), trains);
        QCOMPARE(!d.host.callsOf("copyAreas").isEmpty(), copy);
        gDNum = oldDNum;
    }

    void progressBoxAfterOneSecond()
    {
        const int oldDNum = gDNum;
        gDNum = 2;
        Dialog d(
            [](WizardPara& p) {
                p.systemMode = p.systemModePending = 0;
                p.productDetectEnabled = 1;
            },
            QSize(1280, 800), 3);
        d.useParamDb();
        // Every engine call takes 300 ms of the test's clock.
        auto* clock = d.env.clock.get();
        QList<QPair<int, int>> shown;
        d.w->progressShown = [&](int done, int total) { shown << qMakePair(done, total); };
        d.open();
        d.w->SlotToAdvance();
        d.control("differenceMultiplier")->edit->AddOne();
        d.host.calls.clear();
        d.env.modalAnswers = {Yes};
        // The fake host's training advances the clock.
        d.host.onTrain = [clock] { clock->advanceMs(300); };
        QCOMPARE(d.w->confirm(), ConfirmOutcome::Saved);
        QCOMPARE(d.host.callsOf("VarTrain").size(), 6);
        // 300, 600, 900 ms: no box; from 1200 ms on it counts up.
        QCOMPARE(shown, (QList<QPair<int, int>>{{4, 6}, {5, 6}, {6, 6}}));
        gDNum = oldDNum;
    }

    // ---- network steps

    void networkChangesGoToTheSystem()
    {
        // The link on: a new host name stays in memory as well.
        Dialog d([](WizardPara& p) { p.netEnabled = 1; });
        d.useParamDb();
        d.open();
        // A new host name typed on the network page.
        d.w->hostNameEdit->setText(QStringLiteral("renamed"));
        d.relay.clear();
        d.env.modalAnswers = {Yes, 0};
        QCOMPARE(d.w->confirm(), ConfirmOutcome::Saved);
        QCOMPARE(d.modalIds(), QList<int>({234, 418}));
        QCOMPARE(d.relay.netCard.hostName, QStringLiteral("renamed"));
        QStringList copies;
        for (const CommandCall& c : d.env.runner->calls())
            if (c.program == QLatin1String("cp"))
                copies << c.line();
        QCOMPARE(copies, QStringList({"cp ./cnt_net/ls_hostname " + paths().etcDir + "/hostname",
                                      "cp ./cnt_net/ls_hosts " + paths().etcDir + "/hosts"}));
        QCOMPARE(d.relay.calls().filter("restart").size(), 1);
        // The host name alone is a change: 234 and the bare record.
        QCOMPARE(d.host.callsOf("record"), QStringList({"record " + Msg(235)}));
    }

    void noNetworkBitsRunNoCommand()
    {
        Dialog d;
        d.useParamDb();
        d.open();
        d.w->recheckBox->AddOne();
        d.env.modalAnswers = {Yes};
        QCOMPARE(d.w->confirm(), ConfirmOutcome::Saved);
        QVERIFY(d.env.runner->calls().empty());
        QVERIFY(!d.modalIds().contains(418));
    }

    // ---- Confirm

    void refusalWithoutAnyMethod()
    {
        Dialog d;
        d.useParamDb();
        d.host.level = AccessLevelAdvanced;
        d.open();
        d.w->SlotToCamera();
        const WizardPara live = d.live;
        for (const char* m : {"defectEnabled", "spotEnabled", "blackAreaEnabled", "whiteAreaEnabled",
                              "whiteCountEnabled", "directionEnabled", "similarityEnabled", "distanceEnabled"})
            d.control(m)->check->setValue(0);
        d.control("ignoreAreaEnabled")->check->setValue(1);
        d.control("positionEnabled")->check->setValue(1);
        QCOMPARE(d.w->confirm(), ConfirmOutcome::Refused);
        QCOMPARE(d.modalIds(), QList<int>({232}));
        QVERIFY(d.w->isVisible());
        QCOMPARE(d.w->currentPage, int(SettingsPageCamera));
        QVERIFY(d.live == live);
        QCOMPARE(d.bak.defectEnabled, 0);
        QCOMPARE(d.host.level, d.live.passwordEnabled ? int(AccessLevelPrimary) : int(AccessLevelNone));
        // One method ticked: it goes through.
        d.control("defectEnabled")->check->setValue(1);
        d.env.modalAnswers = {Yes};
        d.env.modalAnswersUsed = 0;
        QCOMPARE(d.w->confirm(), ConfirmOutcome::Saved);
    }

    void unchangedAsksNothingButRestartsTheRelayForNewServers()
    {
        Dialog d;
        d.useParamDb();
        d.host.level = AccessLevelAdvanced;
        d.open();
        d.relay.serverConfigChanged = true;
        d.relay.clear();
        QCOMPARE(d.w->confirm(), ConfirmOutcome::Unchanged);
        QVERIFY(d.env.modalRequests.empty());
        QVERIFY(d.host.callsOf("record").isEmpty());
        QVERIFY(!d.w->isVisible());
        QVERIFY(!d.relay.serverConfigChanged);
        QCOMPARE(d.relay.calls(), QStringList({"restart"}));
        QVERIFY(d.host.level != AccessLevelAdvanced);
    }

    void noPutsTheEditCopyAndThePreviewedCamerasBack()
    {
        Dialog d({}, QSize(1280, 800), 2);
        d.useParamDb();
        const WizardPara live = d.live;
        d.open();
        d.w->SlotToCamera();
        d.w->SlotChangeCamera();
        d.w->exposureBox->setValue(61);
        d.w->vMirrorBox->click();
        d.w->shadingBox->setValue(!d.live.autoShading);
        d.env.modalAnswers = {No};
        QCOMPARE(d.w->confirm(), ConfirmOutcome::Discarded);
        QCOMPARE(d.modalIds(), QList<int>({234}));
        QVERIFY(d.bak == d.live);
        QVERIFY(d.live == live);
        QCOMPARE(d.host.camera[1][int(CameraSetting::Exposure)], live.exposure[1]);
        QCOMPARE(d.host.camera[1][int(CameraSetting::VMirror)], live.vMirror[1]);
        QVERIFY(!d.w->isVisible());
        QVERIFY(d.host.callsOf("record").isEmpty());
    }

    void yesSavesRecordsOnceAndReloadsEqual()
    {
        Dialog d;
        d.useParamDb();
        d.open();
        d.w->recheckBox->setValue(d.live.moldRecheckCount + 1);
        d.env.modalAnswers = {Yes};
        QCOMPARE(d.w->confirm(), ConfirmOutcome::Saved);
        QCOMPARE(d.host.callsOf("record").size(), 1);
        QVERIFY(d.bak == d.live);
        WizardPara reloaded;
        QSqlDatabase serial = QSqlDatabase::addDatabase("QSQLITE", "settingsTestSerial");
        serial.setDatabaseName(d.env.path("SN.db"));
        QVERIFY(serial.open());
        int left = 0;
        QVERIFY(reloaded.LoadDatafromFile(d.host.db, serial, left).ok);
        serial.close();
        serial = QSqlDatabase();
        QSqlDatabase::removeDatabase("settingsTestSerial");
        QCOMPARE(reloaded.moldRecheckCount, d.live.moldRecheckCount);
    }

    void failedSaveChangesNothing()
    {
        Dialog d;
        d.useParamDb();
        QSqlQuery q(d.host.db);
        QVERIFY(q.exec("CREATE TRIGGER refuse BEFORE UPDATE ON sysparam BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        const WizardPara live = d.live;
        d.open();
        d.w->recheckBox->setValue(d.live.moldRecheckCount + 1);
        d.env.modalAnswers = {Yes};
        QCOMPARE(d.w->confirm(), ConfirmOutcome::SaveFailed);
        QCOMPARE(d.modalIds(), QList<int>({234, 160}));
        QVERIFY(d.live == live);
        QVERIFY(d.host.callsOf("record").isEmpty());
        QVERIFY(d.w->isVisible());
        QCOMPARE(d.w->recheckBox->value(), live.moldRecheckCount + 1);
        QVERIFY(q.exec("DROP TRIGGER refuse"));
        d.env.modalAnswers.push_back(Yes);
        QCOMPARE(d.w->confirm(), ConfirmOutcome::Saved);
        QCOMPARE(d.host.callsOf("record").size(), 1);
        QCOMPARE(d.live.moldRecheckCount, live.moldRecheckCount + 1);
    }

    void liveRecordNeverChangesBeforeYes()
    {
        Dialog d({}, QSize(1280, 800), 2);
        d.useParamDb();
        const WizardPara live = d.live;
        d.open();
        for (int page : {int(SettingsPageCamera), int(SettingsPageIO), int(SettingsPageAdvanced), int(SettingsPageCommon)}) {
            d.w->currentPage = page;
            d.w->DoChangePage();
            for (SettingsControl& c : d.w->controls) {
                if (c.page != page || !c.field)
                    continue;
                if (c.edit)
                    c.edit->AddFive();
                if (c.check && c.field->offset != paramfields::kNotInRecord)
                    c.check->setValue(!c.check->value());
                if (c.combo)
                    c.combo->setCurrentIndex((c.combo->currentIndex() + 1) % c.combo->count());
            }
            QVERIFY(d.live == live);
        }
        d.control("defectEnabled")->check->setValue(1);
        d.env.modalAnswers = {No};
        QCOMPARE(d.w->confirm(), ConfirmOutcome::Discarded);
        QVERIFY(d.live == live);
    }

    void alarmDuringTheQuestionThenYes()
    {
        Dialog d({}, QSize(1280, 800), 1);
        d.useParamDb();
        d.open();
        d.w->SlotToCamera();
        d.w->exposureBox->setValue(77);
        // The hook hides the dialog as the alarm does, then answers Yes.
        modal::setHook([&](const ModalRequest& r) {
            d.env.modalRequests.push_back(r);
            if (r.messageId == 234) {
                d.w->hide();
                return 1;
            }
            return 0;
        });
        QCOMPARE(d.w->confirm(), ConfirmOutcome::Saved);
        QCOMPARE(d.live.exposure[0], 77);
        QCOMPARE(d.host.camera[0][int(CameraSetting::Exposure)], 77);
    }
};

QTEST_MAIN(TestWizardParaWidget)
#include "tst_wizardparawidget.moc"
