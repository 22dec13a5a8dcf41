// The relay link's wire pieces: frames as the relay reads them, the reading
// of reply batches, the chunked reader and the enable table.
#include "cntframe.h"
#include "testenv.h"

#include <QBuffer>
#include <QtTest>

Q_DECLARE_METATYPE(ReplyKind)

class TestCntFrame : public QObject {
    Q_OBJECT
private slots:
    void goldenFrames_data();
    void goldenFrames();
    void classify_data();
    void classify();
    void readerCutsIntoBatches();
    void whichSend_data();
    void whichSend();
    void whichSendFile();
};

void TestCntFrame::goldenFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    // Written by hand: the length counts UTF-8 bytes ("é" 2, "中" 3).
    QTest::newRow("query without body") << encodeFrame(14, QByteArray()) << QByteArray("14:0:..!");
    QTest::newRow("type 1, e acute and a Chinese sign")
        << encodeFrame(1, QStringLiteral("description=caf\u00e9 \u4e2d"))
        << QByteArray("1:21:..!description=caf\xc3\xa9 \xe4\xb8\xad");
    QTest::newRow("body holding the header mark")
        << encodeFrame(5, QByteArray("/a:..!b")) << QByteArray("5:7:..!/a:..!b");
    QTest::newRow("type 20, two digits") << encodeFrame(20, QByteArray("{}")) << QByteArray("20:2:..!{}");
}

void TestCntFrame::goldenFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame, expected);
}

void TestCntFrame::classify_data()
{
    QTest::addColumn<QByteArray>("batch");
    QTest::addColumn<ReplyKind>("kind");
    QTest::addColumn<int>("session");
    QTest::addColumn<QByteArray>("body");
    using K = ReplyKind;
    QTest::newRow("ack") << QByteArray("/back/\r\n\r\n") << K::Ack << 0 << QByteArray();
    QTest::newRow("heart") << QByteArray("/heart/\r\n\r\n") << K::Heart << 0 << QByteArray();
    QTest::newRow("reline") << QByteArray("/reline/\r\n\r\n") << K::Reline << 0 << QByteArray();
    QTest::newRow("contains, not equals") << QByteArray("x/back/y\r\n\r\n") << K::Ack << 0 << QByteArray();
    QTest::newRow("case matters") << QByteArray("/BACK/\r\n\r\n") << K::Session << 0 << QByteArray();
    QTest::newRow("no blank line") << QByteArray("/back/\r\n") << K::Ignored << 0 << QByteArray();
    QTest::newRow("two batches in one read")
        << QByteArray("/back/\r\n\r\n/back/\r\n\r\n") << K::Ignored << 0 << QByteArray();
    QTest::newRow("product list on the second line")
        << QByteArray("/answer/\r\nSessionId: 14\r\n\r\n{\"a\":1}") << K::Session << 14 << QByteArray("{\"a\":1}");
    QTest::newRow("SessionId with two colons")
        << QByteArray("/answer/\r\nSessionId:14:x\r\n\r\n") << K::Session << 0 << QByteArray();
    QTest::newRow("ack with a SessionId is an ack")
        << QByteArray("/back/\r\nSessionId: 14\r\n\r\nb") << K::Ack << 0 << QByteArray("b");
    QTest::newRow("the last SessionId wins")
        << QByteArray("SessionId: 14\r\nSessionId:17\r\n\r\n") << K::Session << 17 << QByteArray();
    QTest::newRow("a last one not a number gives 0")
        << QByteArray("SessionId: 17\r\nSessionId: x\r\n\r\n") << K::Session << 0 << QByteArray();
    QTest::newRow("blanks around the number")
        << QByteArray("SessionId:  17 \r\n\r\n") << K::Session << 17 << QByteArray();
    QTest::newRow("30-digit SessionId")
        << QByteArray("SessionId: 123456789012345678901234567890\r\n\r\n") << K::Session << 0 << QByteArray();
    QTest::newRow("just over an int") << QByteArray("SessionId: 2147483648\r\n\r\n") << K::Session << 0 << QByteArray();
    QTest::newRow("text ends at a NUL")
        << QByteArray("SessionId: 14\r\n\r\nab\0\r\n\r\nzz", 26) << K::Session << 14 << QByteArray("ab");
    QTest::newRow("NUL before the blank line") << QByteArray("/back/\0\r\n\r\n", 11) << K::Ignored << 0 << QByteArray();
    QTest::newRow("invalid UTF-8 replaced")
        << QByteArray("SessionId: 17\r\n\r\n\xff" "a") << K::Session << 17 << QByteArray("\xef\xbf\xbd" "a");
    QTest::newRow("empty") << QByteArray() << K::Ignored << 0 << QByteArray();
    QTest::newRow("empty header") << QByteArray("\r\n\r\n") << K::Session << 0 << QByteArray();
    const QByteArray ack("/back/\r\n\r\n");
    QTest::newRow("65535 bytes") << ack + QByteArray(kMaxBatchBytes - ack.size(), 'x') << K::Ack << 0
                                 << QByteArray(kMaxBatchBytes - ack.size(), 'x');
    QTest::newRow("65536 bytes") << ack + QByteArray(kMaxBatchBytes + 1 - ack.size(), 'x') << K::Ignored << 0
                                 << QByteArray();
}

void TestCntFrame::classify()
{
    QFETCH(QByteArray, batch);
    QFETCH(ReplyKind, kind);
    QFETCH(int, session);
    QFETCH(QByteArray, body);
    const ReplyBatch r = classifyReplyBatch(batch);
    QCOMPARE(int(r.kind), int(kind));
    QCOMPARE(r.session, session);
    QCOMPARE(r.body, body);
    QCOMPARE(r.kind == ReplyKind::Ignored, qstrlen(r.reason) > 0);
}

// However much waits, no batch is longer than the largest read.
void TestCntFrame::readerCutsIntoBatches()
{
    QByteArray data(2 * kMaxBatchBytes + 10, 'a');
    QBuffer source(&data);
    QVERIFY(source.open(QIODevice::ReadOnly));
    QList<int> sizes;
    QCOMPARE(BatchReader::drain(source, [&](const QByteArray& b) { sizes << b.size(); }), 3);
    QCOMPARE(sizes, (QList<int>{kMaxBatchBytes, kMaxBatchBytes, 10}));
    QCOMPARE(BatchReader::drain(source, [&](const QByteArray&) { QFAIL("nothing left"); }), 0);
}

void TestCntFrame::whichSend_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QList<int>>("off");
    QTest::newRow("only exact false") << QByteArray(R"({"7":false,"9":null,"2":"false","3":0,"4":[]})") << QList<int>{7};
    QTest::newRow("every type") << QByteArray(R"({"0":false,"20":false,"21":false,"-1":false})") << QList<int>{0, 20};
    QTest::newRow("not an object") << QByteArray("[false]") << QList<int>{};
    QTest::newRow("not JSON") << QByteArray(R"({"7":false)") << QList<int>{};
    QTest::newRow("empty") << QByteArray() << QList<int>{};
}

void TestCntFrame::whichSend()
{
    QFETCH(QByteArray, json);
    QFETCH(QList<int>, off);
    const SendTable table = parseWhichSend(json);
    for (int t = 0; t < kSendTypeCount; ++t)
        QVERIFY2(table[size_t(t)] == !off.contains(t), qPrintable(QString::number(t)));
}

// The file is read with a cap: an oversized one switches nothing off.
void TestCntFrame::whichSendFile()
{
    TestEnv env;
    const QByteArray json(R"({"7":false})");
    env.writeFile("small.config", json);
    env.writeFile("large.config", json + QByteArray(kWhichSendMaxBytes, ' '));
    QVERIFY(!readWhichSend(env.path("small.config"))[7]);
    QVERIFY(readWhichSend(env.path("large.config"))[7]);
    QVERIFY(readWhichSend(env.path("missing.config"))[7]);
}

QTEST_GUILESS_MAIN(TestCntFrame)
#include "tst_cntframe.moc"
