// The area page's template commands over camera slots on the simulated bus:
// browsing, "Delete Temp", "Add As Temp" (refusals, access, the recent NG
// frame, the full library, the alarm with its retraining and re-check), the
// re-sample's emptying of every library, and a folder that refuses writes.
#include "choosebox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "drawroiwidget.h"
#include "messages.h"
#include "modalhook.h"
#include "readonlyfolder.h"
#include "slotpictures.h"
#include "sharedboxes.h"
#include "slotrig.h"
#include "templatefolders.h"
#include "warnbox.h"

#include <QtTest>

#include <map>
#include <memory>

namespace {

constexpr int kW = 64;
constexpr int kH = 40;
constexpr double kShowA = 10.0;
constexpr int kD = 1;   // the page detection: folders "cammer<c + 1>2"

// The valid slots of the test's detection.
std::vector<int> validList(const CameraSlotState& slot, int d = kD) { return validSlots(slot, d); }

const QDateTime kEpoch(QDate(2026, 3, 1), QTime(8, 0, 0));

QString dev(int i)
{
    return QStringLiteral("{\"family\":\"mindvision\",\"serial\":\"CAM%1\",\"width\":%2,\"height\":%3,\"fps\":30}")
        .arg(i)
        .arg(kW)
        .arg(kH);
}

QString folderOf(int c, int d = kD)
{
    return QStringLiteral("cammer%1%2").arg(c + 1).arg(d + 1);
}

void setTime(const QString& path, int minutes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(kEpoch.addSecs(60 * minutes), QFileDevice::FileModificationTime));
}

} // namespace

class TestDrawROIWidgetTemplates : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void init();
    void cleanup();

    void browsing_data();
    void browsing();
    void deleteShown_data();
    void deleteShown();
    void addRefusals_data();
    void addRefusals();
    void addFromRecentNg_data();
    void addFromRecentNg();
    void addToFullLibrary_data();
    void addToFullLibrary();
    void emptyRecentNgAddsNothing();
    void readOnlyFolder_data();
    void readOnlyFolder();
    void deleteAll();
    void addInTheAlarm();
    void reCheckClickWhileAsking();

private:
    FakeAreaPageHost& host() { return rig_->host; }
    ViewState& view() { return rig_->host.view; }
    CammerWidget* slot(int c) { return rig_->slot[c]; }
    // Template n of camera c, detection d: memory (bytes value) and, unless
    // memoryOnly, its file dated kEpoch + minutes.
    void store(int c, int n, int value, int minutes = 0, int d = kD, bool memoryOnly = false);
    void strayFile(int c, const QString& name, int minutes);
    QList<int> messages() const;
    // Opens the page in pageMode on camera 0 and detection kD, then shows source.
    void open(int pageMode, int source);
    // Nothing reported: no relay message, record or retrain request.
    bool quiet() const;

    std::unique_ptr<SlotRig> rig_;
    DrawROIWidget* page_ = nullptr;
    std::unique_ptr<SharedBoxes> boxes_;
};

void TestDrawROIWidgetTemplates::init()
{
    rig_ = std::make_unique<SlotRig>();
    gTempNum = 4;
    gDNum = 2;
    gLan = LanEnglish;
    QVERIFY(rig_->build(dev(0) + "," + dev(1), kW, kH, kShowA, 2));
    QCOMPARE(numCamera, 2);
    boxes_ = std::make_unique<SharedBoxes>();
    WizardPara& p = host().para;
    p.systemMode = SystemModeStandard;
    p.detectEnabled[0] = 1;
    p.detectEnabled[1] = 1;
    p.productDetectEnabled = 1;
    p.netEnabled = 1;
    gSource = PictureSourceNone;
    page_ = new DrawROIWidget(&host(), rig_->window.get());
    host().page = page_;
    page_->hide();
    rig_->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig_->window.get()));
}

void TestDrawROIWidgetTemplates::cleanup()
{
    boxes_.reset();
    host().page = nullptr;
    page_ = nullptr;
    rig_.reset();
}

void TestDrawROIWidgetTemplates::store(int c, int n, int value, int minutes, int d, bool memoryOnly)
{
    CammerWidget* s = slot(c);
    const std::vector<uchar> pixels(static_cast<size_t>(s->colorLen), static_cast<uchar>(value));
    std::copy(pixels.begin(), pixels.end(), s->TemplateBuffer(d, n));
    if (!s->templateValid[d][n]) {
        s->templateValid[d][n] = 1;
        ++s->templateCount[d];
    }
    if (!memoryOnly) {
        QVERIFY(WriteTemplateFile(*s, c, d, n, pixels.data()));
        setTime(TemplateFile(c, d, n), minutes);
    }
}

void TestDrawROIWidgetTemplates::strayFile(int c, const QString& name, int minutes)
{
    const QString path = folderOf(c) + QLatin1Char('/') + name;
    rig_->env.writeFile(path, "stray");
    setTime(path, minutes);
}

QList<int> TestDrawROIWidgetTemplates::messages() const
{
    QList<int> ids;
    for (const ModalRequest& r : rig_->env.modalRequests)
        ids << r.messageId;
    return ids;
}

void TestDrawROIWidgetTemplates::open(int pageMode, int source)
{
    host().pageMode = pageMode;
    page_->Reset(false);
    if (pageMode == PageModeArea)
        page_->detectCombo->setCurrentIndex(kD);
    else
        view().editDetect = kD;
    page_->setSource(source);
    QCOMPARE(gSource, source);
    QCOMPARE(view().viewCamera, 0);
    QCOMPARE(view().editDetect, kD);
    rig_->env.modalRequests.clear();
    rig_->net.clear();
    host().events.clear();
    for (bool& r : page_->retrainPending)
        r = false;
}

bool TestDrawROIWidgetTemplates::quiet() const
{
    for (bool r : page_->retrainPending)
        if (r)
            return false;
    for (const QString& e : rig_->host.events)
        if (e.startsWith(QLatin1String("record ")))
            return false;
    return rig_->net.calls().isEmpty();
}

// ------------------------------------------------------------ browsing

void TestDrawROIWidgetTemplates::browsing_data()
{
    QTest::addColumn<QString>("clicks");   // n next, p previous
    QTest::addColumn<QList<int>>("shown");

    // Slots 0, 1 and 3 of 4 hold pictures.
    QTest::newRow("next skips 2 and wraps") << "nnn" << QList<int>{1, 3, 0};
    QTest::newRow("previous wraps and skips 2") << "ppp" << QList<int>{3, 1, 0};
}

void TestDrawROIWidgetTemplates::browsing()
{
    QFETCH(QString, clicks);
    QFETCH(QList<int>, shown);
    for (int n : {0, 1, 3})
        store(0, n, 10 + n, n);
    open(PageModeArea, PictureSourceTemplate);
    CammerWidget* cam = slot(0);
    QCOMPARE(cam->tempShown, 0);
    QVERIFY(cam->shownFrame == cam->templates[kD][0]);
    QCOMPARE(gTempTime, kEpoch.toString("yyyy-MM-dd hh.mm.ss"));
    QCOMPARE(page_->nextButton->text(), Msg(560));
    QCOMPARE(page_->previousButton->text(), Msg(559));

    for (int i = 0; i < clicks.size(); ++i) {
        (clicks[i] == 'n' ? page_->nextButton : page_->previousButton)->click();
        const int k = shown[i];
        QCOMPARE(cam->tempShown, k);
        QVERIFY(cam->shownFrame == cam->templates[kD][k]);
        QCOMPARE(gTempTime, kEpoch.addSecs(60 * k).toString("yyyy-MM-dd hh.mm.ss"));
    }
    QVERIFY(messages().isEmpty());
    QVERIFY(quiet());
}

// ------------------------------------------------------------ "Delete Temp"

void TestDrawROIWidgetTemplates::deleteShown_data()
{
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QList<int>>("messages");
    QTest::addColumn<int>("next");   // -1: nothing deleted

    // Slots 0, 1 and 2 of 4 hold pictures.
    QTest::newRow("base template") << 0 << 1 << QList<int>{68} << -1;
    QTest::newRow("answered No") << 2 << 0 << QList<int>{69} << -1;
    QTest::newRow("slot 2, wraps to the base") << 2 << 1 << QList<int>{69} << 0;
    QTest::newRow("slot 1, next valid") << 1 << 1 << QList<int>{69} << 2;
}

void TestDrawROIWidgetTemplates::deleteShown()
{
    QFETCH(int, shown);
    QFETCH(int, answer);
    QFETCH(QList<int>, messages);
    QFETCH(int, next);
    for (int n : {0, 1, 2})
        store(0, n, 10 + n, n);
    open(PageModeArea, PictureSourceTemplate);
    CammerWidget* cam = slot(0);
    cam->tempShown = shown;
    rig_->env.modalAnswers = {answer};
    const auto filesBefore = folderFiles(folderOf(0));

    page_->deleteTempButton->click();

    QCOMPARE(this->messages(), messages);
    if (next < 0) {
        QCOMPARE(cam->tempShown, shown);
        QCOMPARE(cam->templateCount[kD], 3);
        QVERIFY(folderFiles(folderOf(0)) == filesBefore);
        QVERIFY(quiet());
        return;
    }
    QVERIFY(!QFile::exists(TemplateFile(0, kD, shown)));
    QCOMPARE(folderNames(folderOf(0)).size(), 2);
    QCOMPARE(cam->templateCount[kD], 2);
    QCOMPARE(cam->templateValid[kD][shown], 0);
    QCOMPARE(cam->tempShown, next);
    QVERIFY(cam->shownFrame == cam->templates[kD][next]);
    QCOMPARE(rig_->net.calls(), QStringList{QStringLiteral("deltemppic 1 2 template%1.bmp").arg(shown)});
    QVERIFY(host().events.contains(QStringLiteral("record Camera 1 has deleted the %1 template ").arg(shown + 1)));
    QVERIFY(page_->retrainPending[0]);
    QVERIFY(!page_->retrainPending[1]);
}

// ------------------------------------------------------------ "Add As Temp"

void TestDrawROIWidgetTemplates::addRefusals_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QList<int>>("messages");
    QTest::addColumn<QString>("access");   // the access event, empty when none is asked

    QTest::newRow("one template slot") << "slots 1" << QList<int>{258} << "";
    QTest::newRow("alarm, camera passed") << "passed" << QList<int>{107} << "";
    QTest::newRow("alarm, all cameras shown") << "grid" << QList<int>{107} << "";
    QTest::newRow("alarm, door not opened") << "door" << QList<int>{195} << "";
    QTest::newRow("login refused") << "login refused" << QList<int>{} << "check password";
    QTest::newRow("own password refused") << "own refused" << QList<int>{} << "command password 1";
    QTest::newRow("answered No") << "no" << QList<int>{108} << "check password";
    QTest::newRow("area page on the template source") << "template" << QList<int>{108} << "check password";
}

void TestDrawROIWidgetTemplates::addRefusals()
{
    QFETCH(QString, situation);
    QFETCH(QList<int>, messages);
    QFETCH(QString, access);
    store(0, 0, 10);
    CammerWidget* cam = slot(0);
    cam->isOK = 0;
    cam->alignedFrame.assign(cam->alignedFrame.size(), 99);
    host().currentDetect = kD;
    host().failImageState[0][kD] = 3;
    WizardPara& p = host().para;
    const bool alarm = situation != "template";
    open(alarm ? PageModeAlarm : PageModeArea, alarm ? PictureSourceLive : PictureSourceTemplate);
    rig_->env.modalAnswers = {situation == "no" ? 0 : 1};
    if (situation == "slots 1")
        gTempNum = 1;
    if (situation == "passed")
        cam->isOK = 1;
    if (situation == "grid")
        view().viewCamera = numCamera;
    if (situation == "door") {
        p.safetyDoorClearsAlarm = 1;
        host().safeDoorOpened = false;
    }
    if (situation == "login refused")
        host().passwordLevel = 0;
    if (situation == "own refused") {
        p.addTemplatePassword = 1;
        host().commandPasswordOk[AreaPageCommandAddTemplate] = false;
    }
    const auto filesBefore = folderFiles(folderOf(0));
    const auto validBefore = validList(*cam);

    page_->SlotAddTemp();

    QCOMPARE(this->messages(), messages);
    QStringList accessEvents;
    for (const QString& e : host().events)
        if (e.contains("password"))
            accessEvents << e;
    QCOMPARE(accessEvents, access.isEmpty() ? QStringList{} : QStringList{access});
    QVERIFY(folderFiles(folderOf(0)) == filesBefore);
    QVERIFY(validList(*cam) == validBefore);
    QVERIFY(quiet());
    QCOMPARE(int(cam->skipMould[kD]), 0);
    QCOMPARE(host().failImageState[0][kD], 3);
    QVERIFY(!host().events.contains("re-detect held"));
}

void TestDrawROIWidgetTemplates::addFromRecentNg_data()
{
    QTest::addColumn<int>("pageMode");
    QTest::addColumn<int>("addTemplatePassword");
    QTest::addColumn<int>("passwordEnabled");
    QTest::addColumn<QString>("access");

    QTest::newRow("area page, login") << int(PageModeArea) << 0 << 0 << "check password";
    QTest::newRow("area page, own password") << int(PageModeArea) << 1 << 0 << "command password 1";
    QTest::newRow("area page, login wins") << int(PageModeArea) << 1 << 1 << "check password";
    QTest::newRow("alarm page") << int(PageModeAlarm) << 0 << 0 << "check password";
}

void TestDrawROIWidgetTemplates::addFromRecentNg()
{
    QFETCH(int, pageMode);
    QFETCH(int, addTemplatePassword);
    QFETCH(int, passwordEnabled);
    QFETCH(QString, access);
    for (int n : {0, 2})
        store(0, n, 10 + n, n);
    CammerWidget* cam = slot(0);
    for (int i = 0; i < 2; ++i) {
        uchar* frame = cam->RecentNGBuffer(kD, i);
        std::fill(frame, frame + cam->colorLen, static_cast<uchar>(60 + i));
    }
    cam->recentNGCount[kD] = 2;
    host().currentDetect = 0;   // the page detection counts, not the cycle's
    host().para.addTemplatePassword = addTemplatePassword;
    host().para.passwordEnabled = passwordEnabled;
    open(pageMode, PictureSourceRecentNG);
    page_->nextButton->click();
    QCOMPARE(cam->recentShown, 1);
    rig_->env.modalAnswers = {1};

    page_->addTempButton->click();

    QCOMPARE(messages(), QList<int>{108});
    QVERIFY(host().events.contains(access));
    // The lowest free slot takes the frame shown.
    QCOMPARE(validList(*cam), (std::vector<int>{0, 1, 2}));
    QCOMPARE(cam->templateCount[kD], 3);
    QVERIFY(cam->templates[kD][1] == cam->recentNG[kD][1]);
    CameraSlotState reread;
    reread.AllocateSlotBuffers(kW, kH, false, gTempNum);
    LoadTemplateLibrary(reread, 0);
    QVERIFY(reread.templates[kD][1] == cam->recentNG[kD][1]);
    QCOMPARE(rig_->net.calls(), QStringList{"temppic " + absolute(TemplateFile(0, kD, 1))});
    QVERIFY(host().events.contains("record Camerar 1 added a template"));
    // Retrained at the next save, not now.
    QVERIFY(page_->retrainPending[0]);
    QCOMPARE(int(cam->skipMould[kD]), 0);
    QVERIFY(!host().events.contains("re-detect held"));
}

void TestDrawROIWidgetTemplates::addToFullLibrary_data()
{
    QTest::addColumn<QStringList>("strays");   // "name@minutes"
    QTest::addColumn<QList<int>>("minutes");   // file time of slots 0..3; -1 no file
    QTest::addColumn<int>("replaced");
    QTest::addColumn<QStringList>("relay");    // names removed

    QTest::newRow("oldest other than the base") << QStringList{} << QList<int>{0, 30, 10, 20} << 2 << QStringList{};
    QTest::newRow("file of a larger library")
        << QStringList{"template7.bmp@1"} << QList<int>{0, 30, 10, 20} << 3 << QStringList{"template7"};
    QTest::newRow("stray name never picks the base")
        << QStringList{"template_old.bmp@0"} << QList<int>{1, 30, 40, 20} << 3 << QStringList{};
    QTest::newRow("only template0 on disk") << QStringList{} << QList<int>{0, -1, -1, -1} << 3 << QStringList{};
}

void TestDrawROIWidgetTemplates::addToFullLibrary()
{
    QFETCH(QStringList, strays);
    QFETCH(QList<int>, minutes);
    QFETCH(int, replaced);
    QFETCH(QStringList, relay);
    for (int n = 0; n < 4; ++n)
        store(0, n, 10 + n, minutes[n], kD, minutes[n] < 0);
    for (const QString& stray : strays)
        strayFile(0, stray.section('@', 0, 0), stray.section('@', 1).toInt());
    CammerWidget* cam = slot(0);
    uchar* frame = cam->RecentNGBuffer(kD, 0);
    std::fill(frame, frame + cam->colorLen, static_cast<uchar>(77));
    cam->recentNGCount[kD] = 1;
    open(PageModeArea, PictureSourceRecentNG);
    rig_->env.modalAnswers = {1};

    page_->addTempButton->click();

    QCOMPARE(cam->templateCount[kD], 4);
    for (int n = 0; n < 4; ++n)
        QCOMPARE(int(cam->templates[kD][n][0]), n == replaced ? 77 : 10 + n);
    QStringList calls;
    for (const QString& name : relay)
        calls << "deltemppic 1 2 " + name;
    calls << "temppic " + absolute(TemplateFile(0, kD, replaced));
    QCOMPARE(rig_->net.calls(), calls);
    for (const QString& name : relay)
        QVERIFY(!QFile::exists(folderOf(0) + "/" + name + ".bmp"));
    QVERIFY(QFile::exists(TemplateFile(0, kD, 0)));
    QVERIFY(page_->retrainPending[0]);
}

void TestDrawROIWidgetTemplates::emptyRecentNgAddsNothing()
{
    store(0, 0, 10);
    CammerWidget* cam = slot(0);
    open(PageModeArea, PictureSourceRecentNG);
    QCOMPARE(cam->recentNGCount[kD], 0);
    rig_->env.modalAnswers = {1};

    page_->addTempButton->click();

    QCOMPARE(messages(), QList<int>{108});
    QCOMPARE(validList(*cam), std::vector<int>{0});
    QCOMPARE(folderNames(folderOf(0)), QStringList{"template0.bmp"});
    QVERIFY(quiet());
}

void TestDrawROIWidgetTemplates::readOnlyFolder_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QList<int>>("messages");
    QTest::newRow("add") << "add" << QList<int>{108, 0};
    QTest::newRow("delete") << "delete" << QList<int>{69, 0};
    QTest::newRow("delete all") << "delete all" << QList<int>{0};
}

void TestDrawROIWidgetTemplates::readOnlyFolder()
{
    QFETCH(QString, command);
    QFETCH(QList<int>, messages);
    for (int n : {0, 1})
        store(0, n, 10 + n, n);
    CammerWidget* cam = slot(0);
    cam->isOK = 0;
    cam->alignedFrame.assign(cam->alignedFrame.size(), 99);
    host().currentDetect = kD;
    host().failImageState[0][kD] = 3;
    open(PageModeAlarm, PictureSourceLive);
    if (command == "delete") {
        page_->setSource(PictureSourceTemplate);
        page_->nextButton->click();
        QCOMPARE(cam->tempShown, 1);
        host().events.clear();
        rig_->net.clear();
    }
    rig_->env.modalAnswers = {1};
    const auto filesBefore = folderFiles(folderOf(0));
    const auto validBefore = validList(*cam);
    const std::vector<uchar> template1 = cam->templates[kD][1];
    {
        ReadOnlyFolder readOnly(folderOf(0));
        if (!readOnly.ok())
            QSKIP("cannot drop CAP_DAC_OVERRIDE, so a read-only folder stays writable");
        if (command == "add")
            page_->SlotAddTemp();
        else if (command == "delete")
            page_->SlotTempDeleteCur();
        else
            page_->SlotTempDeleteAll();
    }

    QCOMPARE(this->messages(), messages);
    QVERIFY(folderFiles(folderOf(0)) == filesBefore);
    QVERIFY(validList(*cam) == validBefore);
    QVERIFY(cam->templates[kD][1] == template1);
    QVERIFY(rig_->net.calls().isEmpty());
    QVERIFY(!page_->retrainPending[0]);
    // No alarm change: the camera still judges, its picture state held.
    QCOMPARE(int(cam->skipMould[kD]), 0);
    QCOMPARE(host().failImageState[0][kD], 3);
    QVERIFY(!host().events.contains("re-detect held"));
    for (const QString& e : host().events)
        QVERIFY2(!e.startsWith("record ") || command == "delete all", qPrintable(e));
}

// ------------------------------------------------------------ re-sampling empties every library

void TestDrawROIWidgetTemplates::deleteAll()
{
    // Camera 1: slots 0..2 on disk in detection kD, 0 and 3 in detection 0.
    for (int n : {0, 1, 2})
        store(0, n, 10 + n, n);
    for (int n : {0, 3})
        store(0, n, 10 + n, n, 0);
    // Camera 2: template0.bmp missing, template1 and 3 and a stray file.
    store(1, 1, 11, 1);
    store(1, 3, 13, 3);
    strayFile(1, "template_old.bmp", 0);
    QVERIFY(QFile::remove(TemplateFile(1, kD, 0)) || !QFile::exists(TemplateFile(1, kD, 0)));
    slot(0)->tempShown = 2;
    rig_->net.clear();

    page_->SlotTempDeleteAll();

    QCOMPARE(folderNames(folderOf(0)), QStringList{"template0.bmp"});
    QCOMPARE(folderNames(folderOf(0, 0)), QStringList{"template0.bmp"});
    QCOMPARE(folderNames(folderOf(1)), QStringList{});
    for (int c : {0, 1}) {
        for (int d : {0, kD}) {
            QCOMPARE(slot(c)->templateCount[d], 1);
            QCOMPARE(validList(*slot(c), d), std::vector<int>{0});
        }
        QCOMPARE(slot(c)->tempShown, 0);
        QVERIFY(page_->retrainPending[c]);
    }
    QCOMPARE(rig_->net.calls(), (QStringList{"deltemppic 1 1 template3.bmp", "deltemppic 1 2 template1.bmp",
                                             "deltemppic 1 2 template2.bmp", "deltemppic 2 2 template1.bmp",
                                             "deltemppic 2 2 template3.bmp", "deltemppic 2 2 template_old.bmp"}));
    QCOMPARE(host().events.filter("record "), QStringList{"record Delete all templates"});
    QVERIFY(messages().isEmpty());
}

// ------------------------------------------------------------ "Add As Temp" in the alarm

void TestDrawROIWidgetTemplates::addInTheAlarm()
{
    store(0, 0, 10);
    CammerWidget* cam = slot(0);
    cam->isOK = 0;
    slot(1)->isOK = 0;
    cam->alignedFrame.assign(cam->alignedFrame.size(), 99);
    host().currentDetect = kD;
    host().failImageState[0][kD] = 3;
    host().failImageState[1][kD] = 3;
    open(PageModeAlarm, PictureSourceLive);
    cam->recong->inspectMask[kD].release();
    rig_->env.modalAnswers = {1};
    // What the re-check finds when it runs.
    bool trained = false;
    int skip = -1;
    int state = -1;
    bool written = false;
    host().onReDetect = [&] {
        trained = !cam->recong->inspectMask[kD].empty();
        skip = cam->skipMould[kD];
        state = host().failImageState[0][kD];
        written = QFile::exists(TemplateFile(0, kD, 1));
    };

    page_->addTempButton->click();

    QCOMPARE(messages(), QList<int>{108});
    QVERIFY(cam->templates[kD][1] == cam->alignedFrame);
    QVERIFY(host().events.contains("re-detect held"));
    QVERIFY2(trained, "retrained before the re-check");
    QCOMPARE(skip, 1);
    QCOMPARE(state, 5);   // cleared by "Add As Temp"
    QVERIFY(written);
    QCOMPARE(host().failImageState[1][kD], 3);   // the other camera is the re-check's
    QVERIFY2(!page_->retrainPending[0], "retrained at once");
}

// The main loop clicks "Re-detected" while "Delete Temp" asks: the click
// runs once, after the deletion.
void TestDrawROIWidgetTemplates::reCheckClickWhileAsking()
{
    for (int n : {0, 1})
        store(0, n, 10 + n, n);
    slot(0)->isOK = 0;
    open(PageModeAlarm, PictureSourceLive);
    page_->setSource(PictureSourceTemplate);
    page_->nextButton->click();
    QCOMPARE(slot(0)->tempShown, 1);
    host().events.clear();
    QList<int> asked;
    modal::setHook([&](const ModalRequest& r) {
        asked << r.messageId;
        if (r.messageId == 69) {
            page_->reCheckButton->click();
            page_->reCheckButton->click();
            host().events << "clicked";
        }
        return 1;
    });

    page_->deleteTempButton->click();
    modal::setHook({});

    QCOMPARE(asked, QList<int>{69});
    const QStringList& e = host().events;
    QCOMPARE(int(e.count("re-detect held")), 1);
    const int deleted = int(e.indexOf(QRegularExpression("^record Camera 1 has deleted.*")));
    QVERIFY(deleted > e.indexOf("clicked"));
    QVERIFY(e.indexOf("re-detect held") > deleted);
}

QTEST_MAIN(TestDrawROIWidgetTemplates)
#include "tst_drawroiwidget_templates.moc"
