// The board exchange pass by pass: which request each pass sends, when the
// link is lost (passes without a valid reply, whatever else arrived) and
// that any valid reply brings it back once.
#include "iopass.h"

#include <QtTest>

namespace {
QByteArray hex(const char* s) { return QByteArray::fromHex(s); }
const unsigned char* u(const QByteArray& b) { return reinterpret_cast<const unsigned char*>(b.constData()); }
QByteArray written(const IoPassEngine::PassEnd& e) { return QByteArray(reinterpret_cast<const char*>(e.bytes), e.length); }

const QByteArray kPoll = hex("5F 02 00 00 61 F5");
const QByteArray kTemp1 = hex("5F 03 00 00 62 F5");
const QByteArray kTemp2 = hex("5F 04 00 00 63 F5");
const QByteArray kReply = hex("5F 02 03 02 01 00 67 F5");   // inputs 0x203, echo 0x001

IoPassEngine::Pass pass(IoPassEngine& e, const QByteArray& in, int word = 0x001)
{
    return e.runPass(word, u(in), in.size());
}
}

class TestIoPass : public QObject {
    Q_OBJECT
private slots:
    void valueRequestsOnPasses200And210OfEach210();
    void emptyPassSendsItsRequestAndNoResend();
    void replySplitOverTwoPasses();
    void lostOnPass1001WithoutValidReply_data();
    void lostOnPass1001WithoutValidReply();
    void anyValidReplyRecoversOnce_data();
    void anyValidReplyRecoversOnce();
};

void TestIoPass::valueRequestsOnPasses200And210OfEach210()
{
    IoPassEngine e;
    for (int n = 1; n <= 3 * 210; ++n) {
        const IoPassEngine::Pass p = pass(e, kReply);
        const int inCycle = (n - 1) % 210 + 1;
        const QByteArray want = inCycle == 200 ? kTemp1 : inCycle == 210 ? kTemp2 : kPoll;
        if (written(p.out) != want)
            QFAIL(qPrintable(QStringLiteral("pass %1 wrote %2").arg(n).arg(QString::fromLatin1(written(p.out).toHex(' ')))));
    }
    QCOMPARE(e.passCounter(), 0);
}

void TestIoPass::emptyPassSendsItsRequestAndNoResend()
{
    IoPassEngine e;
    // A reply whose echo differs, then a pass in which nothing arrives.
    IoPassEngine::Pass p = pass(e, kReply, 0x1FF);
    QCOMPARE(written(p.out), hex("5F 01 FF 01 60 F5") + kPoll);
    p = pass(e, QByteArray(), 0x1FF);
    QVERIFY(!p.out.resend);
    QCOMPARE(written(p.out), kPoll);
    QVERIFY(!p.in.hasInputs);
}

void TestIoPass::replySplitOverTwoPasses()
{
    IoPassEngine e;
    IoPassEngine::Pass p = pass(e, kReply.left(5));
    QVERIFY(!p.in.hasInputs);
    QCOMPARE(e.passesWithoutReply(), 1);
    p = pass(e, kReply.mid(5));
    QVERIFY(p.in.hasInputs);
    QCOMPARE(p.in.inputs, 0x203);
    QCOMPARE(e.passesWithoutReply(), 0);
    QCOMPARE(written(p.out), kPoll);
}

void TestIoPass::lostOnPass1001WithoutValidReply_data()
{
    QTest::addColumn<QByteArray>("perPass");
    QTest::newRow("silence") << QByteArray();
    QTest::newRow("garbage only") << hex("5F 00 11 13 0A 0D F5 FF 5F 02");
    QTest::newRow("replies with a wrong checksum") << hex("5F 02 03 02 01 00 68 F5");
    QTest::newRow("replies with a wrong end byte") << hex("5F 02 03 02 01 00 67 F4");
}

void TestIoPass::lostOnPass1001WithoutValidReply()
{
    QFETCH(QByteArray, perPass);
    IoPassEngine e;
    pass(e, kReply);   // connected, counter at 0
    for (int n = 1; n <= 1000; ++n) {
        const IoPassEngine::Pass p = pass(e, perPass);
        QVERIFY2(!p.out.lost, qPrintable(QString::number(n)));
        QCOMPARE(p.out.length, 6);
    }
    QVERIFY(!e.isLost());
    QVERIFY(pass(e, perPass).out.lost);
    QVERIFY(e.isLost());
    // One event per loss; the counter stays bounded however long it lasts.
    for (int n = 0; n < 100000; ++n)
        QVERIFY(!pass(e, perPass).out.lost);
    QVERIFY(e.isLost());
    QCOMPARE(e.passesWithoutReply(), IoPassEngine::kLostPasses + 1);
}

void TestIoPass::anyValidReplyRecoversOnce_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("inputs") << kReply;
    QTest::newRow("value 3") << hex("5F 03 23 01 00 00 86 F5");
    QTest::newRow("value 4") << hex("5F 04 00 00 00 00 63 F5");
    QTest::newRow("unknown type") << hex("5F 07 00 00 00 00 66 F5");
    QTest::newRow("after garbage, in two pieces") << hex("00 5F 11") + kReply;
}

void TestIoPass::anyValidReplyRecoversOnce()
{
    QFETCH(QByteArray, reply);
    IoPassEngine e;
    // Lost from the start: a board that never answered.
    for (int n = 1; n <= 1001; ++n)
        QCOMPARE(pass(e, QByteArray()).out.lost, n == 1001);
    QVERIFY(e.isLost());

    // Two replies in the pass, the same again in the next: one recovery.
    const int half = reply.size() / 2;
    e.beginPass(0x001);
    IoPassEngine::Received r1 = e.receive(u(reply), half);
    IoPassEngine::Received r2 = e.receive(u(reply) + half, reply.size() - half);
    IoPassEngine::Received r3 = e.receive(u(reply), reply.size());
    QVERIFY(!r1.recovered);
    QVERIFY(r2.recovered);
    QCOMPARE(r1.replies + r2.replies, 1);
    QVERIFY(!r3.recovered);
    QVERIFY(!e.endPass().lost);
    QVERIFY(!e.isLost());
    QVERIFY(!pass(e, reply).in.recovered);

    // The count starts again: a new loss needs another 1001 passes.
    for (int n = 1; n <= 1000; ++n)
        QVERIFY(!pass(e, QByteArray()).out.lost);
    QVERIFY(pass(e, QByteArray()).out.lost);
}

QTEST_APPLESS_MAIN(TestIoPass)
#include "tst_iopass.moc"
