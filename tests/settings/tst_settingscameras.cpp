// The settings dialog against simulated MindVision cameras: the camera code
// reads gpWPara or, while the dialog is shown, gpWParaBak as the main window
// has it do, and the check is what each simulated camera holds (exposure,
// gain, mirrors, shading) after the dialog's edits and Confirm's answers.
#include "camerabackend.h"
#include "cameraglobals.h"
#include "cameraprobe.h"
#include "checkbox.h"
#include "colorbutton.h"
#include "editbox.h"
#include "fakecamerahost.h"
#include "fakesettingshost.h"
#include "messages.h"
#include "modalhook.h"
#include "onekeyexposure.h"
#include "relaylink.h"
#include "settingslayout.h"
#include "sharedboxes.h"
#include "simcamerabus.h"
#include "testenv.h"
#include "virtualscheduler.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

#include <QSqlDatabase>
#include <QtTest>

#include <memory>

namespace {

// The window's camera host as far as the camera code sees it: the record the
// dialog's shown flag selects.
class WindowCameraHost : public FakeCameraHost {
public:
    std::function<bool()> dialogShown;
    bool settingsPageVisible() const override { return dialogShown && dialogShown(); }
    CameraValues cameraValues(int slot, bool editCopy) const override
    {
        CameraValues v;
        const WizardPara* w = editCopy ? gpWParaBak : gpWPara;
        if (!w || slot < 0 || slot >= kCameraSlots)
            return v;
        v.exposure = w->exposure[slot];
        v.gain = w->gain[slot];
        v.sharpness = w->sharpness[slot];
        v.contrast = w->contrast[slot];
        v.gamma = w->gamma[slot];
        v.hMirror = w->hMirror[slot];
        v.vMirror = w->vMirror[slot];
        return v;
    }
    CameraSwitches cameraSwitches(bool editCopy) const override
    {
        CameraSwitches s;
        const WizardPara* w = editCopy ? gpWParaBak : gpWPara;
        if (!w)
            return s;
        s.autoExposure = w->autoExposure;
        s.autoShading = w->autoShading;
        s.externalTrigger = w->externalTrigger;
        s.captureSpeed = w->captureSpeed;
        s.cameraCheck = w->cameraCheck;
        return s;
    }
    void storeEditCameraValues(int slot, const CameraValues& v) override
    {
        if (!gpWParaBak || slot < 0 || slot >= kCameraSlots)
            return;
        gpWParaBak->exposure[slot] = v.exposure;
        gpWParaBak->gain[slot] = v.gain;
        gpWParaBak->sharpness[slot] = v.sharpness;
        gpWParaBak->contrast[slot] = v.contrast;
        gpWParaBak->gamma[slot] = v.gamma;
    }
};

// The settings host with the camera calls going to the back-ends, as the
// program's adapter sends them to the camera views.
class CameraSettingsHost : public FakeSettingsHost {
public:
    CameraSettingsHost(WindowCameraHost& cams, CycleTimerFactory& timers) : cams_(cams), timers_(timers) {}
    void applyCameraSetting(int slot, CameraSetting s) override
    {
        FakeSettingsHost::applyCameraSetting(slot, s);
        CameraBackend* b = cams_.cameraBackend(slot);
        if (!b)
            return;
        switch (s) {
        case CameraSetting::Exposure: b->SetExposeTime(); break;
        case CameraSetting::Gain: b->SetAdjustPlus(); break;
        case CameraSetting::Sharpness: b->SetSharp(); break;
        case CameraSetting::Contrast: b->SetContrast(); break;
        case CameraSetting::Gamma: b->SetGamma(); break;
        case CameraSetting::HMirror: b->SetHMirror(); break;
        case CameraSetting::VMirror: b->SetVMirror(); break;
        }
    }
    void startOneKeyExposure(int slot, std::function<void(const OneKeyExposureResult&)> done) override
    {
        FakeSettingsHost::startOneKeyExposure(slot, {});
        if (!run_)
            run_ = std::make_unique<OneKeyExposure>(timers_, [this](const OneKeyExposureResult& r) {
                if (done_)
                    done_(r);
            });
        done_ = std::move(done);
        run_->start(slot, cams_.cameraBackend(slot));
    }
    void cancelOneKeyExposure() override
    {
        FakeSettingsHost::cancelOneKeyExposure();
        if (run_)
            run_->cancel();
    }

private:
    WindowCameraHost& cams_;
    CycleTimerFactory& timers_;
    std::unique_ptr<OneKeyExposure> run_;
    std::function<void(const OneKeyExposureResult&)> done_;
};

// What one simulated camera holds.
struct Held {
    double exposureUs, gain, hMirror, vMirror;
    bool operator==(const Held& o) const
    {
        return exposureUs == o.exposureUs && gain == o.gain && hMirror == o.hMirror && vMirror == o.vMirror;
    }
};

QString serial(int k) { return QStringLiteral("MV%1").arg(k + 1, 8, 10, QLatin1Char('0')); }

// The dialog over count MindVision cameras, with PARAM.db holding the live
// record.
struct Rig {
    TestEnv env;
    SharedBoxes boxes;
    VirtualScheduler scheduler{env.clock};
    WizardPara live;
    WizardPara bak;
    RecordingRelayLink relay;
    WindowCameraHost cams;
    CameraSettingsHost host{cams, scheduler};
    std::unique_ptr<WizardParaWidget> w;
    RelayLink* oldNet = gpNet;
    int count;

    explicit Rig(int n) : count(n)
    {
        resetCameraGlobals();
        QString json = QStringLiteral("{\"devices\":[");
        for (int k = 0; k < n; ++k)
            json += QStringLiteral("%1{\"family\":\"mindvision\",\"serial\":\"%2\",\"width\":64,\"height\":48,\"fps\":50}")
                        .arg(k ? "," : "", serial(k));
        json += QStringLiteral("]}");
        if (!camsim::bus().loadJson(json.toUtf8()))
            qFatal("camera bus refused the rig");
        CheckCameraID();
        applyGeometry();
        live = FirstStartParameters();
        for (int k = 0; k < kCameraSlots; ++k) {
            live.exposure[k] = 20 + k;
            live.gain[k] = 32;
            live.hMirror[k] = 0;
            live.vMirror[k] = 0;
        }
        live.autoShading = 0;
        live.autoExposure = 0;
        bak = live;
        gpWPara = &live;
        gpWParaBak = &bak;
        gpNet = &relay;
        cams.buildSlots();
        host.cameras = numCamera;
        host.db = QSqlDatabase::addDatabase("QSQLITE", "settingsCamerasParam");
        host.db.setDatabaseName(env.path("PARAM.db"));
        if (!host.db.open() || !live.SaveDatatoFile(host.db).ok)
            qFatal("PARAM.db not written");
        host.editCopyInForce = [this] { return w && w->pageShown(); };
        cams.dialogShown = host.editCopyInForce;
        w = std::make_unique<WizardParaWidget>(&host, false, nullptr);
    }
    ~Rig()
    {
        w.reset();
        cams.closeAll();
        host.db.close();
        host.db = QSqlDatabase();
        QSqlDatabase::removeDatabase("settingsCamerasParam");
        gpWPara = nullptr;
        gpWParaBak = nullptr;
        gpNet = oldNet;
        camsim::bus().clear();
    }

    void open()
    {
        bak = live;
        relay.netCardEdit = relay.netCard;
        w->show();
        w->SlotToCamera();
    }
    std::shared_ptr<camsim::Device> device(int k) const { return camsim::bus().find(serial(k)); }
    Held held(int k) const
    {
        auto d = device(k);
        return {d->value("ExposureTime"), d->value("AnalogGain"), d->value("MirrorH"), d->value("MirrorV")};
    }
    QList<Held> all() const
    {
        QList<Held> out;
        for (int k = 0; k < count; ++k)
            out << held(k);
        return out;
    }
    // The shading each camera was last told (the SDK's call carries no
    // camera, and a shading change goes to every camera in turn).
    QStringList lastShading() const
    {
        QStringList calls = camsim::bus().log().linesStartingWith("CameraCommonCall set_awdr_enable");
        return calls.mid(qMax(0, int(calls.size()) - count));
    }
    static QString shadingCall(bool on)
    {
        return on ? QStringLiteral("CameraCommonCall set_awdr_enable(true)")
                  : QStringLiteral("CameraCommonCall set_awdr_enable(false)");
    }

    // Previews on every camera but the last: exposure and gain on 0, the
    // mirrors on 1, and the shading for all.
    void previewEdits()
    {
        w->exposureBox->setValue(61);
        w->gainBox->setValue(50);
        w->SlotChangeCamera();
        w->hMirrorBox->click();
        w->vMirrorBox->click();
        w->shadingBox->setValue(1);
    }
};

enum { No = 0, Yes = 1 };

} // namespace

class TestSettingsCameras : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        gLan = LanEnglish;
        CreateSharedLocks();
        FillMessageTable();
    }
    void cleanup() { modal::setHook({}); }

    void exposureDigitsReachTheCamera()
    {
        Rig r(2);
        r.open();
        const Held other = r.held(1);
        QList<double> applied;
        for (int v : {1, 15, 150}) {   // the keypad sets the box once per digit
            r.w->exposureBox->setValue(v);
            applied << r.held(0).exposureUs;
        }
        QCOMPARE(applied, QList<double>({1000, 15000, 100000}));
        QVERIFY(r.held(1) == other);
        QCOMPARE(r.live.exposure[0], 20);
    }

    void noPutsEveryPreviewedCameraBack()
    {
        Rig r(3);
        const QList<Held> before = r.all();
        r.open();
        r.previewEdits();
        QCOMPARE(r.held(0).exposureUs, 61000.0);
        QCOMPARE(r.held(1).hMirror, 1.0);
        QCOMPARE(r.held(1).vMirror, 1.0);
        QCOMPARE(r.lastShading(), QStringList(3, Rig::shadingCall(true)));
        r.env.modalAnswers = {No};
        QCOMPARE(r.w->confirm(), ConfirmOutcome::Discarded);
        QVERIFY(r.all() == before);
        QCOMPARE(r.lastShading(), QStringList(3, Rig::shadingCall(false)));
    }

    void yesLeavesTheCamerasOnTheNewValues_data()
    {
        QTest::addColumn<bool>("alarmDuringQuestion");
        QTest::newRow("yes") << false;
        QTest::newRow("alarm hides the dialog, then yes") << true;
    }
    void yesLeavesTheCamerasOnTheNewValues()
    {
        QFETCH(bool, alarmDuringQuestion);
        Rig r(3);
        const Held untouched = r.held(2);
        r.open();
        r.previewEdits();
        const Held cam0 = r.held(0);
        const Held cam1 = r.held(1);
        if (alarmDuringQuestion) {
            modal::setHook([&](const ModalRequest& q) {
                r.env.modalRequests.push_back(q);
                if (q.messageId == 234) {
                    r.w->hide();   // as the alarm does
                    return 1;
                }
                return 0;
            });
        } else {
            r.env.modalAnswers = {Yes};
        }
        QCOMPARE(r.w->confirm(), ConfirmOutcome::Saved);
        QVERIFY(!r.w->pageShown());
        QCOMPARE(r.live.exposure[0], 61);
        QCOMPARE(r.live.hMirror[1], 1);
        QVERIFY(r.held(0) == cam0);
        QVERIFY(r.held(1) == cam1);
        QVERIFY(r.held(2) == untouched);
        QCOMPARE(r.lastShading(), QStringList(3, Rig::shadingCall(true)));
    }

    void oneKeyExposureOnMindVision()
    {
        Rig r(2);
        r.open();
        auto d = r.device(0);
        r.w->autoExposeButton->click();
        QCOMPARE(d->value("AeState"), 1.0);
        QCOMPARE(d->value("AeTarget"), 120.0);
        QCOMPARE(d->value("AeExposureMin"), 0.0);
        QCOMPARE(d->value("AeExposureMax"), 100000.0);
        QCOMPARE(d->value("AntiFlick"), 1.0);
        QCOMPARE(r.device(1)->value("AeState"), 0.0);
        // Where the camera's automatic exposure settles.
        d->setValue("ExposureTime", 37900);
        const camsim::Feature g = d->feature("AnalogGain");
        const double settled = g.min + (g.max - g.min) / 2;
        d->setValue("AnalogGain", settled);
        r.scheduler.advanceBy(OneKeyExposure::kRunMs);
        QCOMPARE(r.bak.exposure[0], 37);
        QCOMPARE(r.bak.gain[0], int((settled - g.min) * 64 / (g.max - g.min)));
        QCOMPARE(r.w->exposureBox->value(), 37);
        // The camera is off its automatic exposure and runs what was stored.
        QCOMPARE(d->value("AeState"), 0.0);
        QCOMPARE(d->value("ExposureTime"), 37000.0);
        QCOMPARE(r.live.exposure[0], 20);
    }
};

QTEST_MAIN(TestSettingsCameras)
#include "tst_settingscameras.moc"
