// The logical I/O layer without a board thread: inversion and the reserve
// mirror on the applied output word, input edges with the reserve-input
// substitution, the safety-door rule, publishing, and the panel's LED byte and
// backlight requests.
#include "controlport.h"
#include "globals.h"
#include "iothread.h"
#include "mojuwizard.h"
#include "paneldevice.h"
#include "testenv.h"
#include "wizardpara.h"

#include <QtTest>

#include <functional>
#include <memory>

namespace {

int bit(int word, int i) { return (word >> i) & 1; }

// Per-output inversion from a mask (bit o = output o inverted).
void setInversion(WizardPara& p, int mask)
{
    for (int o = 0; o < kOutputs; ++o)
        p.outputInvert[o] = bit(mask, o);
}

// The applied word the board must see for a set of logical levels: each
// output's own inversion, then output 3 copying the applied level of the
// output it mirrors.
int appliedWord(int logical, int invertMask, int mirrorRole)
{
    int word = (logical ^ invertMask) & ((1 << kOutputBits) - 1);
    if (mirrorRole >= 1 && mirrorRole <= 3)
        word = (word & ~(1 << OutReserve)) | (bit(word, mirrorRole - 1) << OutReserve);
    return word;
}

// A ControlPort on its own: the parameters are configured before the port is
// built (its construction already reads them), no board thread, and every
// published word is kept.
struct PortRig {
    explicit PortRig(const std::function<void(WizardPara&)>& configure = {})
    {
        CreateSharedLocks();
        para = FirstStartParameters();
        if (configure)
            configure(para);
        gpWPara = &para;
        gDataIn = 0;
        gDataOut = -1;   // proves the construction publishes
        gisSafeDoorOpen = false;
        port = std::make_unique<ControlPort>(nullptr);
        startWord = gDataOut;
        port->flushObserver = [this](int word) { flushes.push_back(word); };
    }
    ~PortRig() { gpWPara = nullptr; }

    void setInputs(int word)
    {
        QMutexLocker lock(pMutexIO);
        gDataIn = word;
    }
    // One main-loop pass over the edge inputs, in order; returns the edges as
    // a mask.
    int pass()
    {
        int edges = 0;
        for (int i = 0; i < kEdgeInputs; ++i)
            edges |= port->IOInTrigger(i) << i;
        return edges;
    }
    int published() const
    {
        QMutexLocker lock(pMutexIO);
        return gDataOut;
    }

    TestEnv env;
    WizardPara para;
    std::unique_ptr<ControlPort> port;
    int startWord = 0;
    QList<int> flushes;
};

}  // namespace

class TestControlPort : public QObject {
    Q_OBJECT
private slots:
    void ledByteStartsAllOn();
    void constructionPublishesAllOff_data();
    void constructionPublishesAllOff();
    void setOutAppliesInversionAndMirror_data();
    void setOutAppliesInversionAndMirror();
    void mirrorFollowsItsSourceThroughAnySequence();
    void outputIndexOutOfRangeIsIgnored();
    void flushPublishesTheAppliedWord();
    void inputEdges_data();
    void inputEdges();
    void inputLevelIsTheLastSnapshot();
    void doorRule_data();
    void doorRule();
    void ledBitsAreIndependent_data();
    void ledBitsAreIndependent();
    void ledRequestsOnlyWhenOpen();
    void backlightRequestsOnlyWhenOpen();
};

// Runs first: the LED byte is kept for the whole process.
void TestControlPort::ledByteStartsAllOn()
{
    QCOMPARE(LEDByte(), 0xFF);
}

void TestControlPort::constructionPublishesAllOff_data()
{
    QTest::addColumn<int>("invertMask");
    QTest::addColumn<int>("mirrorRole");
    QTest::addColumn<int>("word");

    QTest::newRow("nothing inverted") << 0 << 0 << 0;
    QTest::newRow("first-start: alarm inverted") << 0x004 << 0 << 0x004;
    QTest::newRow("every output inverted") << 0x1FF << 0 << 0x1FF;
    QTest::newRow("mirror of the inverted alarm") << 0x004 << 3 << 0x00C;
    // Output 3 is written after its source by the reset loop; the mirror
    // must win whatever output 3's own inversion says.
    QTest::newRow("mirror of inverted clamp, reserve not inverted") << 0x001 << 1 << 0x009;
    QTest::newRow("mirror of clamp, reserve inverted") << 0x008 << 1 << 0x000;
    QTest::newRow("mirror of ejector, both inverted") << 0x00A << 2 << 0x00A;
    QTest::newRow("mirror of alarm, reserve and area 4 inverted") << 0x088 << 3 << 0x080;
}

void TestControlPort::constructionPublishesAllOff()
{
    QFETCH(int, invertMask);
    QFETCH(int, mirrorRole);
    QFETCH(int, word);
    PortRig rig([&](WizardPara& p) {
        setInversion(p, invertMask);
        p.reserveOutputRole = mirrorRole;
    });
    QCOMPARE(rig.port->outWord, word);
    QCOMPARE(rig.startWord, word);
    QCOMPARE(word, appliedWord(0, invertMask, mirrorRole));

    // A reset after any outputs were switched on returns to the same word.
    for (int o = 0; o < kOutputBits; ++o)
        rig.port->IOSetOut(o, 1);
    rig.port->IOResetAllOut();
    QCOMPARE(rig.port->outWord, word);
    // The reset alone publishes nothing.
    QCOMPARE(rig.published(), word);
    QVERIFY(rig.flushes.empty());
}

void TestControlPort::setOutAppliesInversionAndMirror_data()
{
    QTest::addColumn<int>("invertMask");
    QTest::addColumn<int>("mirrorRole");
    QTest::addColumn<int>("out");
    QTest::addColumn<int>("on");
    QTest::addColumn<int>("word");   // applied word after the call, from the start word

    QTest::newRow("clamp on") << 0 << 0 << int(OutNotAllowClose) << 1 << 0x001;
    QTest::newRow("any non-zero is on") << 0 << 0 << int(OutAlarm) << 7 << 0x004;
    QTest::newRow("inverted clamp on clears its bit") << 0x001 << 0 << int(OutNotAllowClose) << 1 << 0x000;
    QTest::newRow("inverted clamp off sets its bit") << 0x001 << 0 << int(OutNotAllowClose) << 0 << 0x001;
    QTest::newRow("ninth output") << 0 << 0 << int(OutStep8) << 1 << 0x100;
    QTest::newRow("inverted ninth output on") << 0x100 << 0 << int(OutStep8) << 1 << 0x000;
    QTest::newRow("area 2 on, others inverted") << 0x0DF << 0 << int(OutArea2) << 1 << 0x0FF;
    // Reserve role 3 mirrors the alarm: with the alarm inverted, switching it
    // on clears both bits.
    QTest::newRow("inverted alarm on, mirrored") << 0x004 << 3 << int(OutAlarm) << 1 << 0x000;
    QTest::newRow("alarm on, mirrored") << 0 << 3 << int(OutAlarm) << 1 << 0x00C;
    QTest::newRow("ejector on, mirrored") << 0 << 2 << int(OutNotAllowThimble) << 1 << 0x00A;
    QTest::newRow("clamp on, mirrored") << 0 << 1 << int(OutNotAllowClose) << 1 << 0x009;
    // The mirror copies the applied level; output 3's own inversion is not
    // applied a second time.
    QTest::newRow("clamp on, mirror, reserve inverted") << 0x008 << 1 << int(OutNotAllowClose) << 1 << 0x009;
    QTest::newRow("inverted clamp on, mirror, reserve inverted") << 0x009 << 1 << int(OutNotAllowClose) << 1 << 0x000;
    QTest::newRow("clamp on, ejector mirrored") << 0 << 2 << int(OutNotAllowClose) << 1 << 0x001;
    QTest::newRow("inverted alarm on, clamp mirrored") << 0x004 << 1 << int(OutAlarm) << 1 << 0x000;
}

void TestControlPort::setOutAppliesInversionAndMirror()
{
    QFETCH(int, invertMask);
    QFETCH(int, mirrorRole);
    QFETCH(int, out);
    QFETCH(int, on);
    QFETCH(int, word);
    PortRig rig([&](WizardPara& p) {
        setInversion(p, invertMask);
        p.reserveOutputRole = mirrorRole;
    });
    rig.port->IOSetOut(out, on);
    QCOMPARE(rig.port->outWord, word);
    for (int o = 0; o < kOutputBits; ++o)
        QCOMPARE(rig.port->IOState(1, o), bit(word, o));
    // Nothing reaches the board until the outputs are published.
    QCOMPARE(rig.published(), rig.startWord);
    QVERIFY(rig.flushes.empty());
    rig.port->IOFlashOut();
    QCOMPARE(rig.published(), word);
}

// Every inversion of outputs 0..3, every mirror role and a long mixed
// sequence of switches and resets: output 3 always shows the applied level of
// its source, and every other output its logical level through its inversion.
void TestControlPort::mirrorFollowsItsSourceThroughAnySequence()
{
    for (int role = 0; role <= 3; ++role) {
        for (int mask = 0; mask < 16; ++mask) {
            PortRig rig([&](WizardPara& p) {
                setInversion(p, mask);
                p.reserveOutputRole = role;
            });
            int logical = 0;
            unsigned seed = 17u * unsigned(mask) + unsigned(role);
            for (int step = 0; step < 60; ++step) {
                seed = seed * 1103515245u + 12345u;
                const int pick = int((seed >> 16) % 11);
                if (pick == 10) {
                    rig.port->IOResetAllOut();
                    logical = 0;
                } else {
                    const int out = pick == 3 ? OutArea1 : pick % kOutputBits;   // output 3 is the mirror's
                    const int on = int((seed >> 8) & 1);
                    rig.port->IOSetOut(out, on);
                    logical = on ? logical | 1 << out : logical & ~(1 << out);
                }
                if (role == 0)
                    continue;
                const int w = rig.port->outWord;
                QVERIFY2(bit(w, OutReserve) == bit(w, role - 1),
                         qPrintable(QStringLiteral("role %1 mask %2 step %3 word %4")
                                        .arg(role).arg(mask).arg(step).arg(w, 0, 16)));
                QCOMPARE(w, appliedWord(logical, mask, role));
            }
        }
    }
}

void TestControlPort::outputIndexOutOfRangeIsIgnored()
{
    PortRig rig;
    const int before = rig.port->outWord;
    rig.port->IOSetOut(-1, 1);
    rig.port->IOSetOut(kOutputBits, 1);
    rig.port->IOSetOut(31, 1);
    QCOMPARE(rig.port->outWord, before);
    QCOMPARE(rig.port->IOState(1, -1), 0);
    QCOMPARE(rig.port->IOState(1, 10), 0);
}

void TestControlPort::flushPublishesTheAppliedWord()
{
    PortRig rig;   // first-start: the alarm is inverted
    QCOMPARE(rig.startWord, 1 << OutAlarm);

    rig.port->IOSetOut(OutNotAllowClose, 1);
    rig.port->IOSetOut(OutAlarm, 1);
    QCOMPARE(rig.published(), 1 << OutAlarm);
    rig.port->IOFlashOut();
    QCOMPARE(rig.published(), 1 << OutNotAllowClose);
    // Publishing an unchanged word is still a publication the board thread
    // sends again.
    rig.port->IOFlashOut();
    rig.port->IOSetOut(OutNotAllowThimble, 1);
    rig.port->IOSetOut(OutNotAllowClose, 0);
    rig.port->IOFlashOut();
    QCOMPARE(rig.flushes, (QList<int>{0x001, 0x001, 0x002}));
    QCOMPARE(rig.published(), 0x002);
}

void TestControlPort::inputEdges_data()
{
    QTest::addColumn<int>("reserveRole");
    QTest::addColumn<QList<int>>("inputs");   // gDataIn for each pass
    QTest::addColumn<QList<int>>("edges");    // rising edges of the pass (bit i = input i)
    QTest::addColumn<int>("lastLevels");      // IOState(0, i) after the last pass

    QTest::newRow("held level gives one edge")
        << 0 << QList<int>{0, 0x001, 0x001, 0x001, 0, 0x001} << QList<int>{0, 0x001, 0, 0, 0, 0x001} << 0x001;
    QTest::newRow("high at the first call is an edge")
        << 0 << QList<int>{0x004, 0x004} << QList<int>{0x004, 0} << 0x004;
    QTest::newRow("each input on its own")
        << 0 << QList<int>{0x001, 0x003, 0x002, 0x006, 0x0F2}
        << QList<int>{0x001, 0x002, 0, 0x004, 0x0F0} << 0x0F2;
    QTest::newRow("input 8 has edges")
        << 0 << QList<int>{0, 0x100, 0x100, 0, 0x100} << QList<int>{0, 0x100, 0, 0, 0x100} << 0x100;
    QTest::newRow("all nine at once, bit 9 carries no edge")
        << 0 << QList<int>{0x3FF, 0x3FF} << QList<int>{0x1FF, 0} << 0x3FF;
    QTest::newRow("reserve role 1: edges on 3 and 0")
        << 1 << QList<int>{0, 0x008, 0x008, 0} << QList<int>{0, 0x009, 0, 0} << 0;
    QTest::newRow("reserve role 1: raw input 0 is replaced")
        << 1 << QList<int>{0x001, 0x001, 0x009} << QList<int>{0, 0, 0x009} << 0x009;
    QTest::newRow("reserve role 2: edges on 3 and 1")
        << 2 << QList<int>{0x002, 0x008} << QList<int>{0, 0x00A} << 0x00A;
    QTest::newRow("reserve role 3: edges on 3 and 2")
        << 3 << QList<int>{0x004, 0x00C, 0x008} << QList<int>{0, 0x00C, 0} << 0x00C;
    QTest::newRow("reserve off: input 3 is its own")
        << 0 << QList<int>{0x008} << QList<int>{0x008} << 0x008;
}

void TestControlPort::inputEdges()
{
    QFETCH(int, reserveRole);
    QFETCH(QList<int>, inputs);
    QFETCH(QList<int>, edges);
    QFETCH(int, lastLevels);
    QCOMPARE(inputs.size(), edges.size());
    PortRig rig([&](WizardPara& p) { p.reserveInputRole = reserveRole; });
    for (int k = 0; k < inputs.size(); ++k) {
        rig.setInputs(inputs[k]);
        QCOMPARE(rig.pass(), edges[k]);
    }
    for (int i = 0; i < 10; ++i)
        QCOMPARE(rig.port->IOState(0, i), bit(lastLevels, i));
    // Inputs publish nothing (no door fall in these rows).
    QVERIFY(rig.flushes.empty());
}

void TestControlPort::inputLevelIsTheLastSnapshot()
{
    PortRig rig;
    rig.setInputs(0x001);
    QCOMPARE(rig.port->IOState(0, InMouldOpenEnd), 0);   // not read yet
    QCOMPARE(rig.port->IOInTrigger(InEjectorBack), 0);    // any input takes the snapshot
    QCOMPARE(rig.port->IOState(0, InMouldOpenEnd), 1);
    // The edge belongs to its own input's previous call, not to the snapshot.
    QCOMPARE(rig.port->IOInTrigger(InMouldOpenEnd), 1);
    QCOMPARE(rig.port->IOInTrigger(InMouldOpenEnd), 0);
    rig.setInputs(0);
    QCOMPARE(rig.port->IOState(0, InMouldOpenEnd), 1);
    // Bit 9 is carried as a level only; indices without an edge answer 0
    // but still take the snapshot.
    rig.setInputs(1 << 9);
    QCOMPARE(rig.port->IOInTrigger(9), 0);
    QCOMPARE(rig.port->IOInTrigger(-1), 0);
    QCOMPARE(rig.port->IOState(0, 9), 1);
    QCOMPARE(rig.port->IOState(0, InMouldOpenEnd), 0);
}

void TestControlPort::doorRule_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("invertMask");
    QTest::addColumn<int>("mirrorRole");
    QTest::addColumn<int>("doorBit");      // board input carrying the door
    QTest::addColumn<bool>("alarmOn");     // logical alarm before the fall
    QTest::addColumn<bool>("acts");

    for (int mode : {0, 3, 4}) {
        for (int inv : {0, 1}) {
            for (bool alarm : {true, false}) {
                QTest::addRow("mode %d, alarm %s%s", mode, alarm ? "on" : "off", inv ? ", inverted" : "")
                    << mode << (inv ? 0x004 : 0) << 0 << 1 << alarm << true;
            }
        }
    }
    for (int mode : {1, 2}) {
        for (int inv : {0, 1}) {
            QTest::addRow("mode %d, alarm on%s: rule off", mode, inv ? ", inverted" : "")
                << mode << (inv ? 0x004 : 0) << 0 << 1 << true << false;
        }
    }
    QTest::newRow("inverted alarm, mirrored on output 3") << 0 << 0x004 << 3 << 1 << true << true;
    QTest::newRow("every output inverted") << 0 << 0x1FF << 3 << 1 << true << true;
    QTest::newRow("door on the reserve input") << 0 << 0x004 << 0 << 3 << true << true;
}

// The door falls while the clamp and ejector interlocks and possibly the
// alarm are on: only the alarm goes off, the word is published and the flag
// is raised, by the calls for inputs 0 and 1 of the pass that sees the fall.
void TestControlPort::doorRule()
{
    QFETCH(int, mode);
    QFETCH(int, invertMask);
    QFETCH(int, mirrorRole);
    QFETCH(int, doorBit);
    QFETCH(bool, alarmOn);
    QFETCH(bool, acts);
    PortRig rig([&](WizardPara& p) {
        p.systemMode = mode;
        setInversion(p, invertMask);
        p.reserveOutputRole = mirrorRole;
        p.reserveInputRole = doorBit == InReserve ? 2 : 0;
    });
    ControlPort& io = *rig.port;
    const int logical = 1 << OutNotAllowClose | 1 << OutNotAllowThimble | (alarmOn ? 1 << OutAlarm : 0);
    io.IOSetOut(OutNotAllowClose, 1);
    io.IOSetOut(OutNotAllowThimble, 1);
    io.IOSetOut(OutAlarm, alarmOn ? 1 : 0);
    io.IOFlashOut();
    const int before = appliedWord(logical, invertMask, mirrorRole);
    QCOMPARE(io.outWord, before);
    rig.flushes.clear();

    // The door closes: a rise does nothing.
    rig.setInputs(1 << doorBit);
    rig.pass();
    rig.pass();
    QVERIFY(rig.flushes.empty());
    QVERIFY(!gisSafeDoorOpen);

    // The door opens.
    rig.setInputs(0);
    const int after = acts ? appliedWord(logical & ~(1 << OutAlarm), invertMask, mirrorRole) : before;
    QCOMPARE(io.IOInTrigger(InMouldOpenEnd), 0);
    QCOMPARE(gisSafeDoorOpen, acts);
    QCOMPARE(io.outWord, after);
    QCOMPARE(io.IOInTrigger(InSafetyDoor), 0);
    for (int i = InEjectorBack; i < kEdgeInputs; ++i)
        QCOMPARE(io.IOInTrigger(i), 0);
    QCOMPARE(io.outWord, after);
    QCOMPARE(rig.published(), after);
    const QList<int> published = acts ? QList<int>{after, after} : QList<int>{};
    QCOMPARE(rig.flushes, published);

    // Once seen, a door that stays open does nothing more.
    gisSafeDoorOpen = false;
    rig.flushes.clear();
    rig.pass();
    QVERIFY(!gisSafeDoorOpen);
    QVERIFY(rig.flushes.empty());
}

void TestControlPort::ledBitsAreIndependent_data()
{
    QTest::addColumn<QList<int>>("calls");   // pairs: bit, on

    QTest::newRow("bit 5 off then on") << QList<int>{5, 0, 5, 1};
    QTest::newRow("every bit off, then on in reverse") << QList<int>{0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0,
                                                                     7, 1, 6, 1, 5, 1, 4, 1, 3, 1, 2, 1, 1, 1, 0, 1};
    QTest::newRow("result display bits") << QList<int>{6, 0, 7, 1, 6, 1, 7, 0, 6, 1, 7, 1};
    QTest::newRow("repeated writes") << QList<int>{4, 1, 4, 1, 4, 0, 4, 0};
    QTest::newRow("only the lowest bit of on counts") << QList<int>{3, 2, 2, 3};
}

void TestControlPort::ledBitsAreIndependent()
{
    QFETCH(QList<int>, calls);
    TestEnv env;
    for (int k = 0; k + 1 < calls.size(); k += 2) {
        const int b = calls[k];
        const int on = calls[k + 1];
        const int before = LEDByte();
        LEDOnOff(b, on);
        const int expected = (before & ~(1 << b)) | ((on & 1) << b);
        QCOMPARE(LEDByte(), expected);
        const auto req = env.panel->requests();
        QVERIFY(!req.empty());
        QCOMPARE(req.back().request, PanelDevice::RequestLedByte | static_cast<unsigned long>(expected));
    }
    QCOMPARE(int(env.panel->requests().size()), int(calls.size() / 2));
    // Leave the byte as the panel starts, for the rows after this one.
    for (int b = 0; b < 8; ++b)
        LEDOnOff(b, 1);
    QCOMPARE(LEDByte(), 0xFF);
}

void TestControlPort::ledRequestsOnlyWhenOpen()
{
    TestEnv env;
    LEDOnOff(5, 0);
    env.panel->setOpen(false);
    LEDOnOff(4, 0);   // still changes the byte
    LEDOnOff(8, 0);   // not an LED: ignored
    LEDOnOff(-1, 0);
    QCOMPARE(LEDByte(), 0xCF);
    env.panel->setOpen(true);
    LEDOnOff(7, 0);
    const auto req = env.panel->requests();
    QCOMPARE(int(req.size()), 2);
    QCOMPARE(req[0].request, 0x5A0180DFUL);
    QCOMPARE(req[1].request, 0x5A01804FUL);
    QCOMPARE(req[0].value, 0UL);
    LEDOnOff(4, 1);
    LEDOnOff(5, 1);
    LEDOnOff(7, 1);
    QCOMPARE(LEDByte(), 0xFF);
}

// Without a main window the backlight call only drives the panel device.
void TestControlPort::backlightRequestsOnlyWhenOpen()
{
    QVERIFY(!gpWin);
    TestEnv env;
    LCDOnOff(0);
    LCDOnOff(1);
    env.panel->setOpen(false);
    LCDOnOff(0);
    const auto req = env.panel->requests();
    QCOMPARE(int(req.size()), 2);
    QCOMPARE(req[0].request, PanelDevice::RequestBacklightOff);
    QCOMPARE(req[1].request, PanelDevice::RequestBacklightOn);
    QCOMPARE(req[0].request, 0x5A018A00UL);
    QCOMPARE(req[1].request, 0x5A018B00UL);
}

QTEST_GUILESS_MAIN(TestControlPort)
#include "tst_controlport.moc"
