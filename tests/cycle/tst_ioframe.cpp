// The board's frames: encoder and checks against byte strings worked out by
// hand, and the reply scanner over split, noisy and damaged input.
#include "ioframe.h"
#include "iopass.h"

#include <QtTest>

namespace {
QByteArray hex(const char* s) { return QByteArray::fromHex(s); }
QByteArray bytesOf(const void* p, int n) { return QByteArray(static_cast<const char*>(p), n); }
const unsigned char* u(const QByteArray& b) { return reinterpret_cast<const unsigned char*>(b.constData()); }
}

class TestIoFrame : public QObject {
    Q_OBJECT
private slots:
    void encodesRequests_data();
    void encodesRequests();
    void decodesReplies_data();
    void decodesReplies();
    void sumWrapsAndIsZeroForNoBytes();
    void scanner_data();
    void scanner();
    void fullBufferTakesOnlyItsRoomAndLosesNothing();
};

void TestIoFrame::encodesRequests_data()
{
    QTest::addColumn<int>("cmd");
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("poll") << int(IoCmdPollInputs) << 0 << hex("5F 02 00 00 61 F5");
    QTest::newRow("value request 3") << int(IoCmdReadTemp1) << 0 << hex("5F 03 00 00 62 F5");
    QTest::newRow("value request 4") << int(IoCmdReadTemp2) << 0 << hex("5F 04 00 00 63 F5");
    QTest::newRow("outputs 0x0001") << int(IoCmdSetOutputs) << 0x0001 << hex("5F 01 01 00 61 F5");
    QTest::newRow("outputs 0x01FF") << int(IoCmdSetOutputs) << 0x01FF << hex("5F 01 FF 01 60 F5");
    QTest::newRow("only the low 16 bits") << int(IoCmdSetOutputs) << 0x301FF << hex("5F 01 FF 01 60 F5");
}

void TestIoFrame::encodesRequests()
{
    QFETCH(int, cmd);
    QFETCH(int, value);
    QFETCH(QByteArray, bytes);
    const IoRequestFrame f = EncodeIoRequest(cmd, value);
    QCOMPARE(bytesOf(&f, sizeof f).toHex(' '), bytes.toHex(' '));
}

void TestIoFrame::decodesReplies_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("inputs");
    QTest::addColumn<int>("echo");
    QTest::addColumn<uint>("value");
    QTest::newRow("inputs 0x203, echo 0x001") << hex("5F 02 03 02 01 00 67 F5") << 2 << 0x203 << 0x001 << 0x00010203u;
    QTest::newRow("high bits of d1 and d3 ignored") << hex("5F 02 FF FC 00 FD 59 F5") << 2 << 0x0FF << 0x100 << 0xFD00FCFFu;
    QTest::newRow("type 3, value 0x123") << hex("5F 03 23 01 00 00 86 F5") << 3 << 0x123 << 0 << 0x123u;
}

void TestIoFrame::decodesReplies()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, type);
    QFETCH(int, inputs);
    QFETCH(int, echo);
    QFETCH(uint, value);
    QCOMPARE(calcLRC(u(bytes), 6), u(bytes)[6]);

    IoReplyScanner s;
    QCOMPARE(s.append(u(bytes), bytes.size()), 8);
    IoReplyFrame f{};
    QVERIFY(s.next(f));
    QCOMPARE(int(f.type), type);
    QCOMPARE(f.inputs(), inputs);
    QCOMPARE(f.outputEcho(), echo);
    QCOMPARE(f.value(), value);
    QVERIFY(!s.next(f));
    QCOMPARE(s.size(), 0);
}

void TestIoFrame::sumWrapsAndIsZeroForNoBytes()
{
    const unsigned char b[] = {0xFF, 0xFF, 0x03};
    QCOMPARE(int(calcLRC(b, 0)), 0);
    QCOMPARE(int(calcLRC(b, 3)), 0x01);
}

// Each row: reads arriving one after the other, all in one pass whose output
// word is passWord.  Checked: the frames the scanner finds (the read that
// completed each), the inputs the pass keeps and what the pass writes.
void TestIoFrame::scanner_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<int>("passWord");
    QTest::addColumn<QStringList>("frames");   // "read index:bytes"
    QTest::addColumn<int>("inputs");           // -1: no type-2 reply
    QTest::addColumn<QByteArray>("written");

    const QByteArray poll = hex("5F 02 00 00 61 F5");
    const QByteArray good = hex("5F 02 03 02 01 00 67 F5");   // inputs 0x203, echo 0x001
    const QString goodHex = QString::fromLatin1(good.toHex(' '));

    QTest::newRow("reply split 5 + 3")
        << QList<QByteArray>{hex("5F 02 03 02 01"), hex("00 67 F5")} << 0x001
        << QStringList{"1:" + goodHex} << 0x203 << poll;
    QTest::newRow("garbage before")
        << QList<QByteArray>{hex("00 F5 11 13 0A 0D FF 5F 5F 61") + good} << 0x001
        << QStringList{"0:" + goodHex} << 0x203 << poll;
    QTest::newRow("damaged frame whose start byte precedes a good one")
        << QList<QByteArray>{hex("5F 02 03") + good} << 0x001
        << QStringList{"0:" + goodHex} << 0x203 << poll;
    QTest::newRow("wrong checksum, then a good frame")
        << QList<QByteArray>{hex("5F 02 03 02 01 00 68 F5") + good} << 0x001
        << QStringList{"0:" + goodHex} << 0x203 << poll;
    QTest::newRow("bad end byte is no frame")
        << QList<QByteArray>{hex("5F 02 03 02 01 00 67 F4")} << 0x001
        << QStringList{} << -1 << poll;
    QTest::newRow("bad end byte, the next read completes a good frame")
        << QList<QByteArray>{hex("5F 02 03 02 01 00 67 F4"), good} << 0x001
        << QStringList{"1:" + goodHex} << 0x203 << poll;
    QTest::newRow("three replies in one read: the last sets the inputs, one resend")
        << QList<QByteArray>{hex("5F 02 01 00 05 00 67 F5") + hex("5F 02 02 00 06 00 69 F5") + good}
        << 0x005
        << QStringList{"0:5f 02 01 00 05 00 67 f5", "0:5f 02 02 00 06 00 69 f5", "0:" + goodHex}
        << 0x203 << hex("5F 01 05 00 65 F5") + poll;
    QTest::newRow("high bits of d1 and d3 ignored")
        << QList<QByteArray>{hex("5F 02 FF FC 00 FD 59 F5")} << 0x100
        << QStringList{"0:5f 02 ff fc 00 fd 59 f5"} << 0x0FF << poll;
    QTest::newRow("echo differs: the pass's word is sent before the request")
        << QList<QByteArray>{good} << 0x1FF
        << QStringList{"0:" + goodHex} << 0x203 << hex("5F 01 FF 01 60 F5") + poll;
    QTest::newRow("a value reply neither sets inputs nor resends")
        << QList<QByteArray>{hex("5F 03 23 01 00 00 86 F5")} << 0x1FF
        << QStringList{"0:5f 03 23 01 00 00 86 f5"} << -1 << poll;
    QTest::newRow("an unknown type is a valid frame without effect")
        << QList<QByteArray>{hex("5F 07 00 00 00 00 66 F5")} << 0x1FF
        << QStringList{"0:5f 07 00 00 00 00 66 f5"} << -1 << poll;
    QTest::newRow("nothing arrives: the request alone")
        << QList<QByteArray>{} << 0x1FF << QStringList{} << -1 << poll;
}

void TestIoFrame::scanner()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(int, passWord);
    QFETCH(QStringList, frames);
    QFETCH(int, inputs);
    QFETCH(QByteArray, written);

    IoReplyScanner s;
    QStringList found;
    for (int i = 0; i < reads.size(); ++i) {
        QCOMPARE(s.append(u(reads[i]), reads[i].size()), int(reads[i].size()));
        IoReplyFrame f;
        while (s.next(f))
            found << QString::number(i) + ':' + QString::fromLatin1(bytesOf(&f, sizeof f).toHex(' '));
        QVERIFY(s.size() < 8);
    }
    QCOMPARE(found, frames);

    IoPassEngine e;
    e.beginPass(passWord);
    int lastInputs = -1;
    for (const QByteArray& r : reads) {
        const IoPassEngine::Received got = e.receive(u(r), r.size());
        QCOMPARE(got.taken, int(r.size()));
        if (got.hasInputs)
            lastInputs = got.inputs;
    }
    QCOMPARE(lastInputs, inputs);
    const IoPassEngine::PassEnd end = e.endPass();
    QCOMPARE(bytesOf(end.bytes, end.length).toHex(' '), written.toHex(' '));
}

void TestIoFrame::fullBufferTakesOnlyItsRoomAndLosesNothing()
{
    const QByteArray good = hex("5F 02 03 02 01 00 67 F5");
    const QByteArray stream = QByteArray(1022, '\x5F') + good;   // 1030 bytes

    IoReplyScanner s;
    QCOMPARE(s.append(u(stream), stream.size()), IoReplyScanner::kCapacity);
    QCOMPARE(s.freeRoom(), 0);
    QCOMPARE(s.append(u(good), good.size()), 0);
    IoReplyFrame f;
    QVERIFY(!s.next(f));
    QCOMPARE(s.size(), 7);   // the unscanned rest, "5F 5F 5F 5F 5F 5F 02"
    QCOMPARE(s.freeRoom(), IoReplyScanner::kCapacity - 7);

    const QByteArray rest = stream.mid(IoReplyScanner::kCapacity);
    QCOMPARE(s.append(u(rest), rest.size()), int(rest.size()));
    QVERIFY(s.next(f));
    QCOMPARE(bytesOf(&f, sizeof f), good);
    QVERIFY(!s.next(f));
    QCOMPARE(s.size(), 0);
}

QTEST_APPLESS_MAIN(TestIoFrame)
#include "tst_ioframe.moc"
