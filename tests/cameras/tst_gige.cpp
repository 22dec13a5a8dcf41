// GigE address repair without a network: the GVCP and ARP byte layouts, the
// interface filter, the address choice, the discovery list and force-IP on
// fakes; one loopback run with real UDP sockets and the fake camera on
// 127.0.0.1; the Hikvision reachability path on a recording command runner.
#include "fakecamerahost.h"
#include "fakegige.h"
#include "gige_addressrepair.h"
#include "gige_arping.h"
#include "gige_broadcastsocket.h"
#include "gige_cameraip.h"
#include "gige_ensuredevicereach.h"
#include "gige_gevdiscovery.h"
#include "gige_gevforceip.h"
#include "gige_gvcp.h"
#include "testenv.h"

#include <QtTest>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

constexpr quint32 ip(int a, int b, int c, int d)
{
    return (quint32(a) << 24) | (quint32(b) << 16) | (quint32(c) << 8) | quint32(d);
}
const quint32 k24 = ip(255, 255, 255, 0);
const gvcp::Mac kCamMac{0x00, 0x11, 0x1c, 0x02, 0x03, 0x04};
const gvcp::Mac kHostMac{0x02, 0, 0, 0, 0, 0x01};

FakeGigeDevice device(quint32 addr, quint32 mask, const gvcp::Mac& mac = kCamMac,
                      const QByteArray& info = "F622 fake camera")
{
    FakeGigeDevice d;
    d.mac = mac;
    d.ip = addr;
    d.mask = mask;
    d.manufacturerInfo = info;
    return d;
}

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// A transport that records what is sent and answers from a script, waiting
// for datagrams like a socket (so a receive thread does not spin).
class FakeTransport : public GvcpTransport {
public:
    // Called for each sent datagram; returns the datagrams to deliver.
    std::function<std::vector<QByteArray>(const QByteArray&)> onSend;
    std::vector<QByteArray> sent;
    int recvCalls = 0;
    bool failSend = false;

    int send(const QByteArray& d) override
    {
        std::vector<QByteArray> replies;
        {
            std::lock_guard<std::mutex> lock(m_);
            sent.push_back(d);
            if (failSend)
                return -1;
            if (onSend)
                replies = onSend(d);
            for (auto& r : replies)
                queue_.push_back(r);
        }
        cv_.notify_all();
        return int(d.size());
    }
    int recv(QByteArray& d, int waitMs) override
    {
        std::unique_lock<std::mutex> lock(m_);
        ++recvCalls;
        if (!cv_.wait_for(lock, std::chrono::milliseconds(immediate ? 0 : waitMs),
                          [&] { return !queue_.empty(); }))
            return 0;
        d = queue_.front();
        queue_.pop_front();
        return int(d.size());
    }
    bool immediate = true;   // no real waiting (force-IP on the fake clock)
private:
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<QByteArray> queue_;
};

class FakeInterfaces : public NetInterfaces {
public:
    std::vector<NetInterface> list;
    std::vector<NetInterface> addresses() const override { return list; }
    QStringList links() const override
    {
        QStringList out;
        for (const auto& n : list)
            out << n.name;
        return out;
    }
};

class ScriptedRng : public GigeRng {
public:
    std::vector<quint32> values;
    size_t next = 0;
    quint32 hostBits() override { return values.at(qMin(next++, values.size() - 1)); }
};

class ScriptedProber : public ArpProber {
public:
    std::vector<int> answers;
    std::vector<quint32> probed;
    int probe(quint32 test, quint32, const gvcp::Mac&, const QString&) override
    {
        probed.push_back(test);
        return answers.at(qMin(probed.size() - 1, answers.size() - 1));
    }
};

NetInterface iface(const QString& name, quint32 addr, quint32 mask)
{
    NetInterface n;
    n.name = name;
    n.ip = addr;
    n.mask = mask;
    n.mac = kHostMac;
    return n;
}

// A repair environment on fakes with one interface eth0 192.0.2.1/24.
struct FakeRepair {
    std::shared_ptr<FakeInterfaces> nets = std::make_shared<FakeInterfaces>();
    std::shared_ptr<ScriptedProber> prober = std::make_shared<ScriptedProber>();
    std::shared_ptr<ScriptedRng> rng = std::make_shared<ScriptedRng>();
    std::vector<FakeTransport*> transports;   // owned by the repair while it runs
    std::vector<FakeGigeDevice> cameras;
    int forceIpReplies = 0;
    quint16 forceIpStatus = 0;
    std::vector<QByteArray> forceIpCommands;
    GigeRepairEnv env;

    FakeRepair()
    {
        nets->list = {iface("eth0", ip(192, 0, 2, 1), k24)};
        env.allowedInterfaces = {"eth0"};
        env.interfaces = nets;
        env.prober = prober;
        env.rng = rng;
        env.timing.discoveryWaitMs = 50;
        env.timing.recvWaitMs = 20;
        env.transport = [this](quint32) {
            auto t = std::make_unique<FakeTransport>();
            t->immediate = false;
            t->onSend = [this](const QByteArray& d) {
                std::vector<QByteArray> out;
                const quint16 id = quint16((quint8(d[6]) << 8) | quint8(d[7]));
                if (quint8(d[3]) == 0x02) {
                    for (const auto& c : cameras)
                        out.push_back(FakeGigeCamera::discoveryAck(c, id));
                } else {
                    forceIpCommands.push_back(d);
                    for (int i = 0; i < forceIpReplies; ++i)
                        out.push_back(FakeGigeCamera::forceIpAck(id, forceIpStatus));
                }
                return out;
            };
            transports.push_back(t.get());
            return t;
        };
        env.timing.forceIp.receives = 3;
        env.timing.forceIp.sends = 2;
        env.timing.forceIp.recvWaitMs = 5;
    }
};

} // namespace

class TestGige : public QObject {
    Q_OBJECT
private slots:
    void discoveryCommandBytes();
    void forceIpCommandBytes();
    void discoveryAckParsing_data();
    void discoveryAckParsing();
    void forceIpAckParsing();
    void arpFrames();
    void interfaceFilter_data();
    void interfaceFilter();
    void deviceValidity_data();
    void deviceValidity();
    void candidateAddresses_data();
    void candidateAddresses();
    void discoveryList();
    void addressChoice_data();
    void addressChoice();
    void forceIpExchange_data();
    void forceIpExchange();
    void forceIpGivesUpAfterFourUnansweredSends();
    void zeroMacRefused();
    void repairOnFakes();
    void repairRecordsCamerasGivenUp();
    void repairOverLoopbackReadsBothSockets();
    void hikvisionPingOrder();
    void hikvisionPingAnswers_data();
    void hikvisionPingAnswers();
    void hikvisionEnsureReach();
    void hikvisionGateway_data();
    void hikvisionGateway();
    void noRepairOffThePanel();
};

void TestGige::discoveryCommandBytes()
{
    QCOMPARE(gvcp::encodeDiscovery(1), hex("4211000200000001"));
    QCOMPARE(gvcp::encodeDiscovery(0x1234), hex("4211000200001234"));
}

void TestGige::forceIpCommandBytes()
{
    const QByteArray b = gvcp::encodeForceIp(7, kCamMac, ip(192, 0, 2, 60), k24, 0);
    QCOMPARE(b.size(), 64);
    QCOMPARE(b.left(8), hex("4211f00800380007"));
    QCOMPARE(b.mid(8, 6), hex("00111c020304"));
    QCOMPARE(b.mid(14, 4), hex("c000023c"));
    QCOMPARE(b.mid(18, 4), hex("ffffff00"));
    QCOMPARE(b.mid(22, 4), hex("00000000"));
    QCOMPARE(int(b[26]), 0);
    QCOMPARE(int(b[27]), 1);
    QCOMPARE(b.mid(28), QByteArray(36, '\0'));
}

void TestGige::discoveryAckParsing_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("accepted");
    const QByteArray ack = FakeGigeCamera::discoveryAck(device(ip(198, 51, 100, 7), k24), 3);
    QByteArray wrongCommand = ack;
    wrongCommand[3] = 0x05;
    QTest::newRow("full") << ack << true;
    QTest::newRow("with trailing bytes") << ack + QByteArray(8, 'x') << true;
    QTest::newRow("one byte short") << ack.left(255) << false;
    QTest::newRow("header only") << ack.left(8) << false;
    QTest::newRow("other command") << wrongCommand << false;
}

void TestGige::discoveryAckParsing()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, accepted);
    const auto a = gvcp::parseDiscoveryAck(datagram);
    QCOMPARE(bool(a), accepted);
    if (a) {
        QCOMPARE(a->mac, kCamMac);
        QCOMPARE(a->ip, ip(198, 51, 100, 7));
        QCOMPARE(a->mask, k24);
        QVERIFY(a->manufacturerInfo.startsWith("F622"));
    }
}

void TestGige::forceIpAckParsing()
{
    QCOMPARE(gvcp::forceIpAckStatus(FakeGigeCamera::forceIpAck(9, 0), 9), std::optional<quint16>(0));
    QCOMPARE(gvcp::forceIpAckStatus(FakeGigeCamera::forceIpAck(9, 0x8006), 9),
             std::optional<quint16>(0x8006));
    QVERIFY(!gvcp::forceIpAckStatus(FakeGigeCamera::forceIpAck(8, 0), 9));
    QVERIFY(!gvcp::forceIpAckStatus(FakeGigeCamera::forceIpAck(9, 0).left(7), 9));
    QVERIFY(!gvcp::forceIpAckStatus(FakeGigeCamera::discoveryAck(device(1, 1), 9), 9));
}

void TestGige::arpFrames()
{
    const QByteArray req = arp::buildRequest(kHostMac, ip(192, 0, 2, 1), ip(192, 0, 2, 50));
    QCOMPARE(req.size(), 60);
    QCOMPARE(req.left(14), hex("ffffffffffff0200000000010806"));
    QCOMPARE(req.mid(14, 8), hex("0001080006040001"));
    QCOMPARE(req.mid(22, 10), hex("020000000001c0000201"));
    QCOMPARE(req.mid(32, 10), hex("000000000000c0000232"));
    QCOMPARE(req.mid(42), QByteArray(18, '\0'));

    // The reply of 192.0.2.50 to us.
    QByteArray reply = hex("020000000001" "00111c020304" "0806" "0001080006040002"
                           "00111c020304" "c0000232" "020000000001" "c0000201");
    reply += QByteArray(60 - reply.size(), '\0');
    QVERIFY(arp::isReplyFrom(reply, kHostMac, ip(192, 0, 2, 50)));
    QVERIFY(!arp::isReplyFrom(reply, kHostMac, ip(192, 0, 2, 51)));
    QVERIFY(!arp::isReplyFrom(reply, kCamMac, ip(192, 0, 2, 50)));
    QVERIFY(!arp::isReplyFrom(req, kHostMac, ip(192, 0, 2, 50)));   // a request is no answer
    QVERIFY(!arp::isReplyFrom(reply.left(41), kHostMac, ip(192, 0, 2, 50)));

    // Without a packet socket or an interface the probe is an error, never "free".
    QCOMPARE(arpping(ip(192, 0, 2, 50), ip(192, 0, 2, 1), kHostMac, "no-such-if0", 10), kArpError);
}

void TestGige::interfaceFilter_data()
{
    QTest::addColumn<quint32>("address");
    QTest::addColumn<bool>("used");
    QTest::newRow("0.x") << ip(0, 1, 2, 3) << false;
    QTest::newRow("255.x") << ip(255, 1, 2, 3) << false;
    QTest::newRow("127.0.0.1") << ip(127, 0, 0, 1) << false;
    QTest::newRow("224.0.0.1") << ip(224, 0, 0, 1) << false;
    QTest::newRow("127.0.0.2") << ip(127, 0, 0, 2) << true;
    QTest::newRow("192.0.2.1") << ip(192, 0, 2, 1) << true;
}

void TestGige::interfaceFilter()
{
    QFETCH(quint32, address);
    QFETCH(bool, used);
    const std::vector<NetInterface> all = {iface("eth0", address, k24), iface("wlan0", ip(198, 51, 100, 1), k24)};
    const auto out = CIpConfig::usableInterfaces(all, {"eth0"});
    QCOMPARE(out.size(), size_t(used ? 1 : 0));   // wlan0 is not allowed
    // At most 32 interfaces.
    std::vector<NetInterface> many;
    QStringList names;
    for (int i = 0; i < 40; ++i) {
        many.push_back(iface(QStringLiteral("eth%1").arg(i), ip(192, 0, 2, 10 + i), k24));
        names << many.back().name;
    }
    QCOMPARE(CIpConfig::usableInterfaces(many, names).size(), size_t(32));
}

void TestGige::deviceValidity_data()
{
    QTest::addColumn<quint32>("camera");
    QTest::addColumn<quint32>("cameraMask");
    QTest::addColumn<bool>("valid");
    QTest::newRow("same subnet") << ip(192, 0, 2, 60) << k24 << true;
    QTest::newRow("other subnet") << ip(198, 51, 100, 7) << k24 << false;
    QTest::newRow("interface's own address") << ip(192, 0, 2, 1) << k24 << false;
    QTest::newRow("network address") << ip(192, 0, 2, 0) << k24 << false;
    QTest::newRow("broadcast address") << ip(192, 0, 2, 255) << k24 << false;
    QTest::newRow("wider camera mask") << ip(192, 0, 2, 60) << ip(255, 255, 0, 0) << false;
}

void TestGige::deviceValidity()
{
    QFETCH(quint32, camera);
    QFETCH(quint32, cameraMask);
    QFETCH(bool, valid);
    const auto ack = gvcp::parseDiscoveryAck(FakeGigeCamera::discoveryAck(device(camera, cameraMask), 1));
    QVERIFY(ack);
    QCOMPARE(CIpConfig::IsDevIPValid(*ack, iface("eth0", ip(192, 0, 2, 1), k24)), valid);
}

void TestGige::candidateAddresses_data()
{
    QTest::addColumn<quint32>("mask");
    QTest::addColumn<quint32>("r");
    QTest::addColumn<quint32>("candidate");
    QTest::addColumn<bool>("free");
    const quint32 k28 = ip(255, 255, 255, 240);
    QTest::newRow("/24 host") << k24 << ip(10, 10, 10, 60) << ip(192, 0, 2, 60) << true;
    QTest::newRow("/24 own address") << k24 << ip(10, 10, 10, 1) << ip(192, 0, 2, 1) << false;
    QTest::newRow("/24 other local address") << k24 << ip(10, 10, 10, 9) << ip(192, 0, 2, 9) << false;
    QTest::newRow("/28 network") << k28 << ip(10, 10, 10, 240) << ip(192, 0, 2, 0) << false;
    QTest::newRow("/28 broadcast") << k28 << ip(10, 10, 10, 15) << ip(192, 0, 2, 15) << false;
    QTest::newRow("/28 host") << k28 << ip(10, 10, 10, 30) << ip(192, 0, 2, 14) << true;
    QTest::newRow("/31 has no host") << ip(255, 255, 255, 254) << ip(10, 10, 10, 11) << ip(192, 0, 2, 1) << false;
}

void TestGige::candidateAddresses()
{
    QFETCH(quint32, mask);
    QFETCH(quint32, r);
    QFETCH(quint32, candidate);
    QFETCH(bool, free);
    const quint32 c = gigeaddr::candidate(ip(192, 0, 2, 1), mask, r);
    QCOMPARE(c, candidate);
    QCOMPARE(gigeaddr::isFreeForCamera(c, ip(192, 0, 2, 1), mask, {ip(192, 0, 2, 9)}), free);
}

void TestGige::discoveryList()
{
    auto* t = new FakeTransport;
    t->immediate = false;
    CGevDiscovery discovery{std::unique_ptr<GvcpTransport>(t), "F622", 20};
    QVERIFY(discovery.SendDiscovery());
    QCOMPARE(t->sent.at(0), hex("4211000200000001"));
    const gvcp::Mac other{0, 0x11, 0x1c, 9, 9, 9};
    discovery.DeviceListAdd(FakeGigeCamera::discoveryAck(device(ip(198, 51, 100, 7), k24), 1));
    discovery.DeviceListAdd(FakeGigeCamera::discoveryAck(device(ip(198, 51, 100, 7), k24), 1));   // again
    discovery.DeviceListAdd(FakeGigeCamera::discoveryAck(device(ip(192, 0, 2, 60), k24), 1));     // new address
    discovery.DeviceListAdd(FakeGigeCamera::discoveryAck(device(ip(198, 51, 100, 8), k24, other, "ACME"), 1));
    discovery.DeviceListAdd(FakeGigeCamera::discoveryAck(device(ip(198, 51, 100, 9), k24, other), 1).left(200));
    QCOMPARE(discovery.GetDiscoveryList().size(), size_t(2));
    for (int i = 0; i < 300; ++i)
        discovery.DeviceListAdd(FakeGigeCamera::discoveryAck(device(ip(198, 51, 101, 0) + quint32(i), k24), 1));
    QCOMPARE(int(discovery.GetDiscoveryList().size()), CGevDiscovery::kMaxDevices);
    // A new discovery starts a new list with the next request id.
    QVERIFY(discovery.SendDiscovery());
    QCOMPARE(t->sent.at(1), hex("4211000200000002"));
    QCOMPARE(discovery.GetDiscoveryList().size(), size_t(0));
}

void TestGige::addressChoice_data()
{
    QTest::addColumn<QList<quint32>>("draws");    // last byte of each draw
    QTest::addColumn<QList<int>>("arp");
    QTest::addColumn<int>("result");
    QTest::addColumn<quint32>("newIp");
    QTest::addColumn<int>("probes");
    using R = GigeRepairOutcome;
    QTest::newRow("in use, then free") << QList<quint32>{50, 60} << QList<int>{0, 1}
                                       << int(R::Repaired) << ip(192, 0, 2, 60) << 2;
    QTest::newRow("own address redrawn") << QList<quint32>{1, 60} << QList<int>{1}
                                         << int(R::Repaired) << ip(192, 0, 2, 60) << 1;
    QTest::newRow("probe error is not free") << QList<quint32>{50} << QList<int>{-1}
                                             << int(R::ProbeFailed) << 0u << 1;
    QTest::newRow("all five in use: give up") << QList<quint32>{50, 51, 52, 53, 54} << QList<int>{0}
                                              << int(R::AllInUse) << 0u << 5;
    QTest::newRow("no usable draw") << QList<quint32>{1} << QList<int>{1}
                                    << int(R::NoCandidate) << 0u << 0;
}

void TestGige::addressChoice()
{
    QFETCH(QList<quint32>, draws);
    QFETCH(QList<int>, arp);
    QFETCH(int, result);
    QFETCH(quint32, newIp);
    QFETCH(int, probes);
    TestEnv env;
    FakeRepair f;
    for (quint32 d : draws)
        f.rng->values.push_back(ip(10, 10, 10, int(d)));
    f.prober->answers = std::vector<int>(arp.begin(), arp.end());
    f.forceIpReplies = 1;
    CIpConfig config(f.env);
    QCOMPARE(config.DeviceEnumeInit(), 1);
    const auto ack = gvcp::parseDiscoveryAck(FakeGigeCamera::discoveryAck(device(ip(198, 51, 100, 7), k24), 1));
    const GigeRepairOutcome o = config.AutoSetIpAddr({*ack, 0});
    QCOMPARE(int(o.result), result);
    QCOMPARE(o.newIp, newIp);
    QCOMPARE(int(f.prober->probed.size()), probes);
    // A command is sent only for a verified free address.
    QCOMPARE(f.forceIpCommands.size(), size_t(newIp ? 1 : 0));
    if (newIp)
        QCOMPARE(f.forceIpCommands.at(0).mid(14, 12),
                 gvcp::encodeForceIp(1, kCamMac, newIp, k24, 0).mid(14, 12));
}

void TestGige::forceIpExchange_data()
{
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<bool>("ok");
    QTest::newRow("ack status 0") << QList<QByteArray>{"ACK0"} << true;
    QTest::newRow("ack status not 0") << QList<QByteArray>{"ACK1"} << false;
    QTest::newRow("wrong id, then right") << QList<QByteArray>{"WRONG", "ACK0"} << true;
    QTest::newRow("short datagram, then right") << QList<QByteArray>{"SHORT", "ACK0"} << true;
    QTest::newRow("discovery ack is no answer") << QList<QByteArray>{"DISC"} << false;
}

void TestGige::forceIpExchange()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(bool, ok);
    TestEnv env;
    FakeTransport t;
    t.onSend = [&](const QByteArray& d) {
        const quint16 id = quint16((quint8(d[6]) << 8) | quint8(d[7]));
        std::vector<QByteArray> out;
        for (const QByteArray& r : replies) {
            if (r == "ACK0")
                out.push_back(FakeGigeCamera::forceIpAck(id, 0));
            else if (r == "ACK1")
                out.push_back(FakeGigeCamera::forceIpAck(id, 0x8006));
            else if (r == "WRONG")
                out.push_back(FakeGigeCamera::forceIpAck(quint16(id + 1), 0));
            else if (r == "SHORT")
                out.push_back(FakeGigeCamera::forceIpAck(id, 0).left(6));
            else
                out.push_back(FakeGigeCamera::discoveryAck(device(1, 1), id));
        }
        return out;
    };
    ForceIpTiming timing;
    timing.sends = 2;
    timing.receives = 5;
    QCOMPARE(CGevForceIp::GevSetForceIpCustom(t, kCamMac, ip(192, 0, 2, 60), k24, 0, timing), ok);
}

void TestGige::forceIpGivesUpAfterFourUnansweredSends()
{
    TestEnv env;
    FakeTransport t;
    QVERIFY(!CGevForceIp::GevSetForceIpCustom(t, kCamMac, ip(192, 0, 2, 60), k24, 0));
    QCOMPARE(t.sent.size(), size_t(4));
    QCOMPARE(t.recvCalls, 4 * 200);
    QCOMPARE(env.clock->sleptMs(), qint64(4 * 200 * 5));
    // All commands share one request-id counter.
    const quint16 a = quint16((quint8(t.sent[0][6]) << 8) | quint8(t.sent[0][7]));
    QCOMPARE(t.sent[3], t.sent[0]);
    QCOMPARE(CGevForceIp::nextRequestId(), quint16(a + 1));
    // A send that fails ends the exchange at once.
    FakeTransport broken;
    broken.failSend = true;
    QVERIFY(!CGevForceIp::GevSetForceIpCustom(broken, kCamMac, ip(192, 0, 2, 60), k24, 0));
    QCOMPARE(broken.recvCalls, 0);
}

void TestGige::zeroMacRefused()
{
    // A camera that reports MAC 00:00:00:00:00:00 cannot be told apart on
    // the wire: no command goes out for it.
    TestEnv env;
    const gvcp::Mac zero{};
    FakeTransport t;
    t.onSend = [](const QByteArray& d) {
        return std::vector<QByteArray>{FakeGigeCamera::forceIpAck(quint16((quint8(d[6]) << 8) | quint8(d[7])), 0)};
    };
    QVERIFY(!CGevForceIp::GevSetForceIpCustom(t, zero, ip(192, 0, 2, 60), k24, 0));
    QVERIFY(t.sent.empty());

    FakeCameraHost host;
    FakeRepair f;
    f.cameras = {device(ip(198, 51, 100, 7), k24, zero), device(ip(198, 51, 100, 8), k24)};
    f.rng->values = {ip(10, 10, 10, 60)};
    f.prober->answers = {1};
    f.forceIpReplies = 1;
    std::vector<GigeRepairOutcome> report;
    QCOMPARE(RepairAllCameraIP(f.env, &report), 1);   // only the camera with a MAC
    QCOMPARE(report.size(), size_t(2));
    QCOMPARE(int(report[0].result), int(GigeRepairOutcome::NoMac));
    QCOMPARE(report[0].newIp, 0u);
    QCOMPARE(int(report[1].result), int(GigeRepairOutcome::Repaired));
    QCOMPARE(f.prober->probed.size(), size_t(1));   // no address is looked for it
    QCOMPARE(f.forceIpCommands.size(), size_t(1));
    QCOMPARE(f.forceIpCommands[0].mid(8, 6), hex("00111c020304"));

    // The program records the camera it gave up on.
    f.forceIpCommands.clear();
    f.cameras.pop_back();
    GigeAddressRepair repair(f.env, EnsureReachEnv());
    QCOMPARE(repair.RepairAllCameraIP(), 0);
    QVERIFY(f.forceIpCommands.empty());
    QCOMPARE(host.events, QStringList{"record GigE camera 00:00:00:00:00:00 at 198.51.100.7 on eth0: "
                                      "the camera reported no MAC address"});
}

void TestGige::repairOnFakes()
{
    TestEnv env;
    {
        FakeRepair f;   // no camera answers
        QCOMPARE(RepairAllCameraIP(f.env), 0);
    }
    {
        FakeRepair f;
        f.env.allowedInterfaces = {"wlan0"};   // nothing allowed: nothing sent
        QCOMPARE(RepairAllCameraIP(f.env), -1);
        QVERIFY(f.transports.empty());
    }
    {
        FakeRepair f;
        const gvcp::Mac acme{0, 0x22, 0, 0, 0, 1};
        f.cameras = {device(ip(198, 51, 100, 7), k24), device(ip(192, 0, 2, 77), k24, {0, 0x11, 0x1c, 0, 0, 2}),
                     device(ip(198, 51, 100, 8), k24, acme, "ACME")};
        f.rng->values = {ip(10, 10, 10, 50), ip(10, 10, 10, 60)};
        f.prober->answers = {0, 1};
        f.forceIpReplies = 1;
        std::vector<GigeRepairOutcome> report;
        QCOMPARE(RepairAllCameraIP(f.env, &report), 1);   // only the stray F622 camera
        QCOMPARE(report.size(), size_t(1));
        QCOMPARE(report[0].newIp, ip(192, 0, 2, 60));
        QVERIFY(report[0].text().contains("re-addressed to 192.0.2.60"));
    }
    {
        FakeRepair f;   // the camera never acknowledges: not counted
        f.cameras = {device(ip(198, 51, 100, 7), k24)};
        f.rng->values = {ip(10, 10, 10, 60)};
        f.prober->answers = {1};
        std::vector<GigeRepairOutcome> report;
        QCOMPARE(RepairAllCameraIP(f.env, &report), 0);
        QCOMPARE(int(report.at(0).result), int(GigeRepairOutcome::NotAcknowledged));
        QCOMPARE(f.forceIpCommands.size(), size_t(2));   // both sends of the test timing
    }
}

void TestGige::repairRecordsCamerasGivenUp()
{
    TestEnv env;
    FakeCameraHost host;
    FakeRepair f;
    f.cameras = {device(ip(198, 51, 100, 7), k24)};
    f.rng->values = {ip(10, 10, 10, 50), ip(10, 10, 10, 51), ip(10, 10, 10, 52), ip(10, 10, 10, 53),
                     ip(10, 10, 10, 54)};
    f.prober->answers = {0};   // every candidate answers ARP
    GigeAddressRepair repair(f.env, EnsureReachEnv());
    QCOMPARE(repair.RepairAllCameraIP(), 0);
    QVERIFY(f.forceIpCommands.empty());
    QCOMPARE(host.events, QStringList{"record GigE camera 00:11:1c:02:03:04 at 198.51.100.7 on eth0: "
                                      "every candidate address is in use"});

    // A repaired camera, or one that did not acknowledge, writes no record.
    host.events.clear();
    f.rng->next = 4;
    f.prober->answers = {1};
    f.prober->probed.clear();
    QCOMPARE(repair.RepairAllCameraIP(), 0);
    QCOMPARE(f.forceIpCommands.size(), size_t(2));
    QVERIFY(host.events.isEmpty());
}

void TestGige::repairOverLoopbackReadsBothSockets()
{
    // Real UDP sockets, all on loopback: the fake camera answers straight
    // back to the sender, so its acknowledges arrive on the send socket.
    TestEnv env;
    FakeGigeCamera::Options o;
    o.bindIp = ip(127, 0, 0, 1);
    o.reply = FakeGigeCamera::Reply::Unicast;
    FakeGigeCamera camera(o);
    camera.addDevice(device(ip(198, 51, 100, 7), k24));
    QVERIFY2(camera.start(), qPrintable(camera.error()));

    auto nets = std::make_shared<FakeInterfaces>();
    nets->list = {iface("lo", ip(127, 0, 0, 2), ip(255, 0, 0, 0))};
    auto prober = std::make_shared<ScriptedProber>();
    prober->answers = {1};
    auto rng = std::make_shared<ScriptedRng>();
    rng->values = {ip(10, 20, 30, 40)};
    GigeRepairEnv e;
    e.allowedInterfaces = {"lo"};
    e.interfaces = nets;
    e.prober = prober;
    e.rng = rng;
    e.endpoint = GvcpEndpoint{ip(127, 0, 0, 1), camera.port()};
    e.timing.discoveryWaitMs = 300;
    e.timing.forceIp.sends = 2;
    e.timing.forceIp.receives = 10;

    QCOMPARE(RepairAllCameraIP(e), 1);
    QCOMPARE(camera.discoveries(), 1);
    QCOMPARE(camera.forceIps(), 1);
    QCOMPARE(camera.devices().at(0).ip, ip(127, 20, 30, 40));
    QCOMPARE(camera.devices().at(0).mask, ip(255, 0, 0, 0));
    // Now valid: a second run changes nothing.
    QCOMPARE(RepairAllCameraIP(e), 0);
    QCOMPARE(camera.forceIps(), 1);
}

void TestGige::hikvisionPingOrder()
{
    TestEnv env;
    env.runner->answer("ping", CommandResult{0, "64 bytes from x: icmp_seq=1 ttl=64", {}, true});
    int budget = 1000;
    // Host 192.0.2.10/24, camera at 203.0.113.250: 250..254, then 249 down to 1,
    // skipping the host's own addresses.
    QCOMPARE(bChooseNoUseIp(ip(203, 0, 113, 250), ip(192, 0, 2, 10), k24,
                            {ip(192, 0, 2, 10), ip(192, 0, 2, 20)}, &budget), 0u);
    QStringList expected;
    for (int h = 250; h <= 254; ++h)
        expected << QStringLiteral("ping 192.0.2.%1 -w 1").arg(h);
    for (int h = 249; h >= 1; --h)
        if (h != 10 && h != 20)
            expected << QStringLiteral("ping 192.0.2.%1 -w 1").arg(h);
    QCOMPARE(env.runner->lines(), expected);

    // The sweep is bounded.
    env.runner->clear();
    budget = 3;
    QCOMPARE(bChooseNoUseIp(ip(203, 0, 113, 250), ip(192, 0, 2, 10), k24, {}, &budget), 0u);
    QCOMPARE(env.runner->lines().size(), 3);
    QCOMPARE(budget, 0);
    // /28: only hosts 1..14 of the host's subnet, from the camera's host part.
    env.runner->clear();
    budget = 100;
    bChooseNoUseIp(ip(203, 0, 113, 250), ip(192, 0, 2, 10), ip(255, 255, 255, 240), {}, &budget);
    QCOMPARE(env.runner->lines().size(), 13);
    QCOMPARE(env.runner->lines().first(), QString("ping 192.0.2.11 -w 1"));   // host part of .250 is 10 (own)
}

void TestGige::hikvisionPingAnswers_data()
{
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("free");
    QTest::newRow("no answer") << 1 << QByteArray("1 packets transmitted, 0 received") << true << true;
    QTest::newRow("answer") << 0 << QByteArray("64 bytes from 192.0.2.5: icmp_seq=1 ttl=64") << true << false;
    QTest::newRow("ping failed") << 2 << QByteArray() << true << false;
    QTest::newRow("ping missing") << -1 << QByteArray() << false << false;
    QTest::newRow("dry run") << 0 << QByteArray() << true << false;
}

void TestGige::hikvisionPingAnswers()
{
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);
    QFETCH(bool, started);
    QFETCH(bool, free);
    TestEnv env;
    env.runner->answer("ping", CommandResult{exitCode, output, {}, started});
    QCOMPARE(IsFreeIp(ip(192, 0, 2, 5)), free);
}

namespace {
class FakeHik : public HikGigeSdk {
public:
    std::vector<simsdk::hik::DeviceInfo> devices;
    std::vector<std::tuple<quint32, quint32, quint32>> forced;
    int forceResult = simsdk::hik::MV_OK;
    int created = 0, destroyed = 0;
    int enumGige(std::vector<simsdk::hik::DeviceInfo>& out) override { out = devices; return 0; }
    int createHandle(simsdk::hik::Handle* h, const simsdk::hik::DeviceInfo&) override
    {
        ++created;
        *h = this;
        return 0;
    }
    int forceIpEx(simsdk::hik::Handle, quint32 a, quint32 m, quint32 g) override
    {
        forced.emplace_back(a, m, g);
        return forceResult;
    }
    int destroyHandle(simsdk::hik::Handle) override { ++destroyed; return 0; }
};

simsdk::hik::DeviceInfo hikDevice(quint32 addr, quint32 mask, quint32 host)
{
    simsdk::hik::DeviceInfo d;
    d.transportType = simsdk::hik::MV_GIGE_DEVICE;
    d.currentIp = addr;
    d.currentSubnetMask = mask;
    d.netExport = host;
    return d;
}
} // namespace

void TestGige::hikvisionEnsureReach()
{
    TestEnv env;
    // 192.0.2.11 answers, 192.0.2.12 does not.
    env.runner->setScript([](const CommandCall& c) {
        if (c.args.value(0) == "192.0.2.12")
            return CommandResult{1, "0 received", {}, true};
        return CommandResult{0, "ttl=64", {}, true};
    });
    auto nets = std::make_shared<FakeInterfaces>();
    nets->list = {iface("eth0", ip(192, 0, 2, 10), k24), iface("eth1", ip(198, 51, 100, 1), k24)};
    auto sdk = std::make_shared<FakeHik>();
    sdk->devices = {hikDevice(ip(203, 0, 113, 11), k24, ip(192, 0, 2, 10)),    // stray: repaired
                    hikDevice(ip(192, 0, 2, 99), k24, ip(192, 0, 2, 10)),      // reachable
                    hikDevice(ip(203, 0, 113, 5), k24, ip(198, 51, 100, 1))};  // interface not allowed
    EnsureReachEnv e;
    e.allowedInterfaces = {"eth0"};
    e.interfaces = nets;
    e.sdk = sdk;
    QCOMPARE(EnsureDeviceReach(e), 1);
    QCOMPARE(sdk->forced.size(), size_t(1));
    QCOMPARE(sdk->forced[0], std::make_tuple(ip(192, 0, 2, 12), k24, ip(192, 0, 2, 254)));
    QCOMPARE(env.runner->lines(), QStringList({"ping 192.0.2.11 -w 1", "ping 192.0.2.12 -w 1"}));
    QCOMPARE(sdk->created, sdk->destroyed);

    // A failing SDK call is not counted and the handle is still destroyed.
    sdk->forceResult = simsdk::hik::MV_E_ACCESS_DENIED;
    QCOMPARE(EnsureDeviceReach(e), 0);
    QCOMPARE(sdk->created, sdk->destroyed);

    // The ping budget bounds the whole call.
    env.runner->clear();
    env.runner->setScript([](const CommandCall&) { return CommandResult{0, "ttl=64", {}, true}; });
    e.maxPings = 5;
    QCOMPARE(EnsureDeviceReach(e), 0);
    QCOMPARE(env.runner->lines().size(), 5);
}

void TestGige::hikvisionGateway_data()
{
    QTest::addColumn<quint32>("host");
    QTest::addColumn<quint32>("mask");
    QTest::addColumn<quint32>("newIp");
    QTest::addColumn<quint32>("gateway");
    QTest::newRow("/24: host .254") << ip(192, 168, 1, 10) << k24 << ip(192, 168, 1, 250) << ip(192, 168, 1, 254);
    QTest::newRow("/16: .254 of the host's /24") << ip(10, 1, 2, 3) << ip(255, 255, 0, 0) << ip(10, 1, 2, 9)
                                                 << ip(10, 1, 2, 254);
    QTest::newRow("/25: .254 outside the subnet") << ip(192, 0, 2, 10) << ip(255, 255, 255, 128)
                                                  << ip(192, 0, 2, 11) << 0u;
    QTest::newRow("/24: the camera itself") << ip(192, 0, 2, 10) << k24 << ip(192, 0, 2, 254) << 0u;
}

void TestGige::hikvisionGateway()
{
    QFETCH(quint32, host);
    QFETCH(quint32, mask);
    QFETCH(quint32, newIp);
    QFETCH(quint32, gateway);
    QCOMPARE(forceIpGateway(host, mask, newIp), gateway);
}

void TestGige::noRepairOffThePanel()
{
    TestEnv env;
    qputenv("MOULDMON_GIGE_INTERFACES", "eth0,veth-host");
    qputenv("MOULDMON_PANEL", "1");
    QCOMPARE(gigeAllowedInterfacesFromEnvironment(), QStringList({"eth0", "veth-host"}));
#ifndef MM_PANEL_BUILD
    QVERIFY(!makeGigeAddressRepairFromEnvironment());
#endif
    qunsetenv("MOULDMON_PANEL");
    QVERIFY(!makeGigeAddressRepairFromEnvironment());
    qunsetenv("MOULDMON_GIGE_INTERFACES");
}

QTEST_GUILESS_MAIN(TestGige)
#include "tst_gige.moc"
