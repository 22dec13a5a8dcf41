// GigE address repair end to end, on real sockets, inside network namespaces
// this test makes itself: the test re-runs itself under `unshare` in a new
// network namespace, adds a veth pair whose camera end sits in a second
// namespace, and lets a fake camera there answer discovery and force-IP.
// Addresses are from the documentation ranges (192.0.2.0/24 for the host,
// 198.51.100.0/24 for the stray camera) and never leave the namespaces.
//
// Before anything is sent the test checks that the only interfaces it can
// see are lo and its own veth-host; otherwise it refuses.  Where namespaces
// are not permitted it is skipped with the reason; a child that dies before
// it reports having started is a failure.
#include "commandrunner.h"
#include "fakegige.h"
#include "gige_arping.h"
#include "gige_cameraip.h"
#include "testenv.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QtTest>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

const char* kChildVar = "MOULDMON_GIGE_NETNS_CHILD";
const char* kCrashVar = "MOULDMON_GIGE_NETNS_CRASH";   // the child aborts at once
const char* kChildMarker = "gige-netns-child-started";

// What the run in the namespace tells.  probe: the same unshare running
// `true`, which shows whether namespaces are permitted at all; run: the child.
struct ChildVerdict {
    enum Kind { Pass, Skip, Fail };
    Kind kind = Pass;
    QString reason;
};

ChildVerdict judgeChild(const CommandResult& probe, const CommandResult& run)
{
    if (!probe.started)
        return {ChildVerdict::Skip, QStringLiteral("the unshare program is not available")};
    if (probe.exitCode != 0)
        return {ChildVerdict::Skip, "network namespaces are not permitted here: "
                                        + QString::fromLocal8Bit(probe.errorOutput).trimmed()};
    const QString out = QString::fromLocal8Bit(run.output);
    const QString err = QString::fromLocal8Bit(run.errorOutput).trimmed();
    if (!out.contains(QLatin1String(kChildMarker)))
        return {ChildVerdict::Fail, QStringLiteral("the child ended before it started (exit code %1):\n%2")
                                        .arg(run.exitCode).arg(err)};
    for (const QString& line : out.split('\n'))
        if (line.startsWith("SKIP   :"))
            return {ChildVerdict::Skip, line.mid(8).trimmed()};
    if (run.exitCode != 0)
        return {ChildVerdict::Fail, "the run in the namespace failed:\n" + out + "\n" + err};
    return {};
}

constexpr quint32 ip(int a, int b, int c, int d)
{
    return (quint32(a) << 24) | (quint32(b) << 16) | (quint32(c) << 8) | quint32(d);
}
const quint32 k24 = ip(255, 255, 255, 0);

class ScriptedRng : public GigeRng {
public:
    std::vector<quint32> values;
    size_t next = 0;
    quint32 hostBits() override { return values.at(qMin(next++, values.size() - 1)); }
};

// Counts the probes of the real ARP prober.
class CountingProber : public ArpProber {
public:
    std::vector<std::pair<quint32, int>> probes;
    int probe(quint32 test, quint32 own, const gvcp::Mac& mac, const QString& name) override
    {
        const int r = arpping(test, own, mac, name, 500);
        probes.emplace_back(test, r);
        return r;
    }
};

// A thread that owns a second network namespace (the camera's) while the
// test runs.  Network namespaces are per thread, so only this thread moves.
class NamespaceHolder {
public:
    bool start(QString* error)
    {
        thread_ = std::thread([this] {
            const bool ok = ::unshare(CLONE_NEWNET) == 0;
            {
                std::lock_guard<std::mutex> lock(m_);
                tid_ = ok ? int(::syscall(SYS_gettid)) : -1;
            }
            cv_.notify_all();
            std::unique_lock<std::mutex> lock(m_);
            cv_.wait(lock, [this] { return done_; });
        });
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [this] { return tid_ != 0; });
        if (tid_ < 0)
            *error = QStringLiteral("unshare(CLONE_NEWNET) in a thread failed");
        return tid_ > 0;
    }
    ~NamespaceHolder()
    {
        {
            std::lock_guard<std::mutex> lock(m_);
            done_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }
    QString tid() const { return QString::number(tid_); }
    QString path() const { return QStringLiteral("/proc/%1/task/%2/ns/net").arg(::getpid()).arg(tid_); }

private:
    std::thread thread_;
    std::mutex m_;
    std::condition_variable cv_;
    int tid_ = 0;
    bool done_ = false;
};

// The link has a carrier (both ends of the pair are up).
bool linkRunning(const char* name)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq req {};
    std::strncpy(req.ifr_name, name, IFNAMSIZ - 1);
    const bool running = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &req) == 0 && (req.ifr_flags & IFF_RUNNING);
    if (fd >= 0)
        ::close(fd);
    return running;
}

} // namespace

class TestGigeNetns : public QObject {
    Q_OBJECT
private slots:
    void repairInOwnNamespace();
    void childCrashIsAFailure();

private:
    void runOutside();
    // unshare running this program's repairInOwnNamespace as the child;
    // with probeOnly, `true` instead.
    CommandResult runInNamespace(bool probeOnly);
    void runInside();
    bool sh(const QStringList& command, QString* error = nullptr);
    bool camSh(const QStringList& command, QString* error = nullptr);

    // The commands of this test build and change its own namespaces only;
    // they run for real, so they use a runner of their own rather than the
    // program's (which the test environment replaces with a recorder).
    RealCommandRunner real_;
    QString camNs_;
};

bool TestGigeNetns::sh(const QStringList& command, QString* error)
{
    const CommandResult r = real_.run(command.first(), command.mid(1), 10000);
    if (!r.ok() && error)
        *error = command.join(' ') + ": " + QString::fromLocal8Bit(r.errorOutput).trimmed();
    return r.ok();
}

bool TestGigeNetns::camSh(const QStringList& command, QString* error)
{
    return sh(QStringList{"nsenter", "--net=" + camNs_} + command, error);
}

void TestGigeNetns::repairInOwnNamespace()
{
    if (qEnvironmentVariableIsSet(kChildVar)) {
        if (qEnvironmentVariableIsSet(kCrashVar)) {
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            std::abort();
        }
        runInside();
    } else {
        runOutside();
    }
}

void TestGigeNetns::childCrashIsAFailure()
{
    if (qEnvironmentVariableIsSet(kChildVar))
        QSKIP("runs outside the namespace only");
    const CommandResult probe = runInNamespace(true);
    qputenv(kCrashVar, "1");
    const CommandResult run = runInNamespace(false);
    qunsetenv(kCrashVar);
    const ChildVerdict v = judgeChild(probe, run);
    if (v.kind == ChildVerdict::Skip && !probe.ok())
        QSKIP(qPrintable(v.reason));
    QCOMPARE(int(v.kind), int(ChildVerdict::Fail));
    QVERIFY2(v.reason.contains("ended before it started"), qPrintable(v.reason));
}

CommandResult TestGigeNetns::runInNamespace(bool probeOnly)
{
    // As root directly, elsewhere in a new user namespace mapped to root.
    // Should unshare be killed (time-out), its child goes with it, and with
    // the child the namespaces and their links.
    QStringList args = ::geteuid() == 0 ? QStringList{"--net", "--fork", "--kill-child"}
                                         : QStringList{"--map-root-user", "--net", "--fork", "--kill-child"};
    args << "--";
    if (probeOnly)
        args << "true";
    else
        args << QCoreApplication::applicationFilePath() << "repairInOwnNamespace";
    qputenv(kChildVar, "1");
    const CommandResult r = real_.run("unshare", args, 120000);
    qunsetenv(kChildVar);
    return r;
}

void TestGigeNetns::runOutside()
{
    // Re-run this test function alone in a new network namespace.
    const CommandResult probe = runInNamespace(true);
    const ChildVerdict v = judgeChild(probe, probe.ok() ? runInNamespace(false) : CommandResult{});
    if (v.kind == ChildVerdict::Skip)
        QSKIP(qPrintable(v.reason));
    if (v.kind == ChildVerdict::Fail)
        QFAIL(qPrintable(v.reason));
}

void TestGigeNetns::runInside()
{
    std::printf("%s\n", kChildMarker);
    std::fflush(stdout);
    TestEnv env;
    SystemNetInterfaces system;

    // Refuse unless this is a fresh namespace of our own.
    if (system.links() != QStringList{"lo"})
        QFAIL(qPrintable("refusing to run: interfaces besides lo: " + system.links().join(' ')));

    for (const char* tool : {"ip", "nsenter"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP(qPrintable(QStringLiteral("the %1 program is not available").arg(tool)));
    QString error;
    NamespaceHolder camera;
    if (!camera.start(&error))
        QSKIP(qPrintable(error));
    camNs_ = camera.path();
    if (!sh({"ip", "link", "set", "lo", "up"}, &error)
        || !sh({"ip", "link", "add", "name", "veth-host", "type", "veth", "peer", "name", "veth-cam"}, &error))
        QSKIP(qPrintable("no veth pair here: " + error));
    QVERIFY2(sh({"ip", "link", "set", "veth-cam", "netns", camera.tid()}, &error), qPrintable(error));
    QVERIFY2(sh({"ip", "addr", "add", "192.0.2.1/24", "dev", "veth-host"}, &error), qPrintable(error));
    QVERIFY2(sh({"ip", "link", "set", "veth-host", "up"}, &error), qPrintable(error));
    QVERIFY2(camSh({"ip", "link", "set", "lo", "up"}, &error), qPrintable(error));
    QVERIFY2(camSh({"ip", "addr", "add", "198.51.100.7/24", "dev", "veth-cam"}, &error), qPrintable(error));
    // A neighbour on the host's subnet: the kernel answers ARP for it.
    QVERIFY2(camSh({"ip", "addr", "add", "192.0.2.50/24", "dev", "veth-cam"}, &error), qPrintable(error));
    QVERIFY2(camSh({"ip", "link", "set", "veth-cam", "up"}, &error), qPrintable(error));

    // The guard: nothing is sent unless only lo and our own veth are visible.
    QStringList links = system.links();
    links.sort();
    if (links != QStringList({"lo", "veth-host"}))
        QFAIL(qPrintable("refusing to send: unexpected interfaces " + links.join(' ')));
    QTRY_VERIFY_WITH_TIMEOUT(linkRunning("veth-host"), 5000);

    FakeGigeDevice ours;
    ours.mac = {0x00, 0x11, 0x1c, 0x10, 0x20, 0x30};
    ours.ip = ip(198, 51, 100, 7);
    ours.mask = k24;
    FakeGigeDevice foreign = ours;
    foreign.mac = {0x00, 0x22, 0x00, 0x00, 0x00, 0x01};
    foreign.ip = ip(198, 51, 100, 8);
    foreign.manufacturerInfo = "ACME 1000";

    FakeGigeCamera::Options o;
    o.port = gvcp::kPort;
    o.bindDevice = "veth-cam";
    o.netnsPath = camNs_;
    o.reply = FakeGigeCamera::Reply::Broadcast;
    FakeGigeCamera fake(o);
    fake.setDevices({ours, foreign});
    QStringList addressChanges;
    fake.setOnForceIp([&](const FakeGigeDevice&, quint32 newIp, quint32 mask) {
        const int prefix = 32 - __builtin_ctz(mask ? mask : 1);
        const QString addr = gvcp::ipText(newIp) + "/" + QString::number(prefix);
        RealCommandRunner runner;
        runner.run("nsenter", {"--net=" + camNs_, "ip", "addr", "replace", addr, "dev", "veth-cam"}, 10000);
        addressChanges << addr;
    });
    QVERIFY2(fake.start(), qPrintable(fake.error()));

    auto rng = std::make_shared<ScriptedRng>();
    auto prober = std::make_shared<CountingProber>();
    GigeRepairEnv repair = GigeRepairEnv::system({"veth-host"});
    repair.rng = rng;
    repair.prober = prober;
    repair.timing.forceIp.receives = 10;   // at most 4 x 10 x 200 ms

    // 1. Broadcast acknowledges: .50 is taken (the kernel answers), .60 is free.
    rng->values = {ip(10, 10, 10, 50), ip(10, 10, 10, 60)};
    QCOMPARE(RepairAllCameraIP(repair), 1);
    QCOMPARE(int(prober->probes.size()), 2);
    QCOMPARE(prober->probes[0], std::make_pair(ip(192, 0, 2, 50), int(kArpInUse)));
    QCOMPARE(prober->probes[1], std::make_pair(ip(192, 0, 2, 60), int(kArpFree)));
    QCOMPARE(fake.devices().at(0).ip, ip(192, 0, 2, 60));
    QCOMPARE(fake.devices().at(1).ip, ip(198, 51, 100, 8));   // not ours: untouched
    QCOMPARE(addressChanges, QStringList{"192.0.2.60/24"});
    // The camera really is there now.
    const NetInterface host = CIpConfig::usableInterfaces(system.addresses(), {"veth-host"}).at(0);
    QCOMPARE(arpping(ip(192, 0, 2, 60), host.ip, host.mac, "veth-host", 1000), kArpInUse);

    // 2. A second discovery finds it valid: nothing to do.
    const int forceIps = fake.forceIps();
    QCOMPARE(RepairAllCameraIP(repair), 0);
    QCOMPARE(fake.forceIps(), forceIps);

    // 3. Acknowledges sent straight back arrive on the send socket.
    ours.ip = ip(198, 51, 100, 9);
    fake.setDevices({ours, foreign});
    fake.setReply(FakeGigeCamera::Reply::Unicast);
    rng->values = {ip(10, 10, 10, 70)};
    rng->next = 0;
    QCOMPARE(RepairAllCameraIP(repair), 1);
    QCOMPARE(fake.devices().at(0).ip, ip(192, 0, 2, 70));

    // 4. No camera answers: 0.  Only lo allowed: no usable interface, -1.
    fake.setDevices({});
    QCOMPARE(RepairAllCameraIP(repair), 0);
    repair.allowedInterfaces = {"lo"};
    QCOMPARE(RepairAllCameraIP(repair), -1);
    fake.stop();
}

QTEST_GUILESS_MAIN(TestGigeNetns)
#include "tst_gige_netns.moc"
