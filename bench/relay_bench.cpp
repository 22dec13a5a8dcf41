// Speed of the relay link: a link on a free loopback port, on this (the GUI)
// thread, connected to the relay peer (tools/relaypeer) on its own thread,
// which acks every message and decodes and checks every frame.
//  - SendStatisticsOnce20: one detection's results (2 cameras x 10 areas)
//    from the call to its return on an idle connected link: body, framing,
//    queueing and the write into the socket; the socket's flush to the
//    kernel (what the event loop does next on this thread) is reported
//    beside it.  The ack is awaited outside the timed part, so every call
//    finds the link idle.
//  - the builds of type 2, type 7 (8 cameras x 8 detections x 50 areas, with
//    its record file) and type 8 (50 polygons);
//  - the reading of one 65535-byte batch from the relay;
//  - messages per second end to end, with the peer's acks as fast as the
//    link takes them and at the peer's usual pacing.
// Every case checks what it made; the link cases check that the peer
// decoded every message without a violation.  Run by hand:
//   build/bench/relay_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include "benchmain.h"
#include "benchstats.h"
#include "cammersingleton.h"
#include "cnt_net.h"
#include "cntcatalogue.h"
#include "cntframe.h"
#include "cntrecords.h"
#include "cyclecounters.h"
#include "fakerelayhost.h"
#include "relaypeer.h"
#include "testenv.h"
#include "wizardpara.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>

namespace {

using Steady = std::chrono::steady_clock;

double usSince(Steady::time_point t0)
{
    return std::chrono::duration<double, std::micro>(Steady::now() - t0).count();
}

// This thread's CPU time in microseconds: on a busy machine it leaves out
// the time the thread waited for a core.
double threadCpuUs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
}

void reportSamples(benchmark::State& state, const std::vector<double>& us, qsizetype bytes)
{
    state.counters["median_us"] = percentile(us, 0.5);
    state.counters["p95_us"] = percentile(us, 0.95);
    state.counters["body_bytes"] = double(bytes);
}

const QString kDeviceId = QStringLiteral("panel-07");

// Runs this thread's events until done() or timeoutMs, sleeping while
// none come (the tick bounds each sleep).
bool spinUntil(const std::function<bool()>& done, int timeoutMs = 10000)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(20);
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The parameter record, counters and serials the bodies read, set as the
// program's own (gpWPara, gAllNum, gFailNum) so that a sender reading the
// live state reads these.
struct Inputs {
    WizardPara para;
    char serials[kCameraSlots][kParamTextLen] = {};

    Inputs()
    {
        WizardPara::SetText(para.productName, QByteArray("cap 28mm"));
        WizardPara::SetText(para.operatorName, QByteArray("operator 3"));
        para.productSerial = 10000;
        para.productNum = 1;
        para.productMoldCavity = 6;
        for (int c = 0; c < kCameraSlots; ++c) {
            gAllNum[c] = 5000 + c;
            gFailNum[c] = 50 + c;
            std::snprintf(serials[c], kParamTextLen, "MVDEMO%04d", c + 1);
        }
        gpWPara = &para;
    }
    ~Inputs() { gpWPara = nullptr; }
    CatalogueInputs inputs() const
    {
        CatalogueInputs in;
        in.para = &para;
        in.allNum = gAllNum;
        in.failNum = gFailNum;
        in.serials = serials;
        return in;
    }
};

// A typical detection: 10 areas on each of 2 cameras, one failed.
QList<param_roi> typicalDetection()
{
    QList<param_roi> list;
    for (int c = 0; c < 2; ++c)
        for (int a = 0; a < 10; ++a) {
            param_roi r;
            r.cameraId = c;
            r.detectId = 1;
            r.roiId = a;
            r.algorithmType = a % 4;
            r.algorithmResult = 40 + a;
            r.algorithmPremin = 10;
            r.algorithmPremax = 90;
            r.stageOk = (c == 1 && a == 7) ? 0 : 1;
            list << r;
        }
    return list;
}

bool writeParamDb(const QString& path)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("benchParam"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("create table sysparam (name text, value text)"))
                 && q.exec(QStringLiteral("insert into sysparam values ('CntNet', '1 0 0')"));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("benchParam"));
    return ok;
}

// The link on this thread and the peer on its own, connected.
struct LinkRig {
    TestEnv env;
    Inputs inputs;
    FakeRelayHost host;
    std::unique_ptr<CNT_Net> net;
    QThread peerThread;
    relaypeer::RelayPeer* peer = nullptr;
    QString error;

    explicit LinkRig(int batchGapMs)
    {
        host.cameras = 2;
        host.detect = 1;
        host.cycleTenths = 62;
        if (!writeParamDb(env.path(QStringLiteral("PARAM.db")))) {
            error = QStringLiteral("cannot write PARAM.db");
            return;
        }
        CntNetOptions o;
        o.port = 0;
        // The peer sends no heartbeat (a beat could share a read with an
        // ack); the link's own tick must not declare it dead meanwhile.
        o.heartbeatMs = 3600 * 1000;
        o.freshnessMs = o.heartbeatMs - 1000;
        o.startRelay = [] {};
        o.paramDbPath = env.path(QStringLiteral("PARAM.db"));
        o.inputs = [this] { return inputs.inputs(); };
        o.readNetCard = [] {
            NetCard card;
            card.hostName = kDeviceId;
            return card;
        };
        net = std::make_unique<CNT_Net>(o);
        net->setRelayHost(std::shared_ptr<const RelayHost>(&host, [](const RelayHost*) {}));
        if (!net->listening()) {
            error = QStringLiteral("the link does not listen");
            return;
        }
        relaypeer::Options po;
        po.port = net->port();
        po.heartbeatMs = 0;
        po.answers = false;
        po.batchGapMs = batchGapMs;
        peer = new relaypeer::RelayPeer(po);
        peer->moveToThread(&peerThread);
        peerThread.start();
        QMetaObject::invokeMethod(peer, [p = peer] { p->start(); }, Qt::QueuedConnection);
        if (!spinUntil([this] { return net->linkAlive() && net->relaySocket() && peer->isConnected(); }))
            error = QStringLiteral("the peer did not connect");
    }
    ~LinkRig()
    {
        if (peer)
            QMetaObject::invokeMethod(peer, [p = peer] { delete p; }, Qt::BlockingQueuedConnection);
        peerThread.quit();
        peerThread.wait();
        net.reset();
    }
    bool ok() const { return error.isEmpty(); }
    bool idle() const { return !net->sendWorker()->inFlight() && net->queued().isEmpty(); }
    // Waits until the peer has decoded `messages` in all and the link has
    // its acks.
    bool drain(int messages, int timeoutMs = 30000)
    {
        return spinUntil([&] { return peer->messageCount() >= messages && idle(); }, timeoutMs);
    }
    // The program's sender: the body from the main window's state and the
    // detection's list, then framing, queueing and the write.
    void sendStatisticsOnce(const QList<param_roi>& list, bool ng, int trigger)
    {
        net->CNT_SendStatistics_Once(list, ng, trigger);
    }
    // Empty when the peer decoded exactly `messages` of `type` and nothing
    // else, without a violation.
    QString verify(int type, int messages) const
    {
        const QMap<int, int> counts = peer->counts();
        if (counts.value(type) != messages || counts.size() != 1)
            return QStringLiteral("the peer decoded %1 of %2 type %3 messages (%4 types)")
                .arg(counts.value(type))
                .arg(messages)
                .arg(type)
                .arg(counts.size());
        if (peer->violationCount() != 0)
            return QStringLiteral("peer: ") + peer->violations().value(0);
        return QString();
    }
};

void BM_SendStatisticsOnce20(benchmark::State& state)
{
    LinkRig rig(0);
    if (!rig.ok()) {
        state.SkipWithError(qPrintable(rig.error));
        return;
    }
    const QList<param_roi> list = typicalDetection();
    std::vector<double> calls, cpu, flushes;
    int sent = 0;
    for (auto _ : state) {
        if (!rig.idle()) {
            state.SkipWithError("the link was not idle before the call");
            break;
        }
        const double c0 = threadCpuUs();
        const auto t0 = Steady::now();
        rig.sendStatisticsOnce(list, true, 0);
        const double us = usSince(t0);
        cpu.push_back(threadCpuUs() - c0);
        calls.push_back(us);
        state.SetIterationTime(us / 1e6);
        ++sent;
        // The bytes go to the kernel when the event loop next serves the
        // socket; the same work, done here.
        const auto f0 = Steady::now();
        const bool flushed = rig.net->relaySocket() && rig.net->relaySocket()->flush();
        flushes.push_back(usSince(f0));
        if (!flushed) {
            state.SkipWithError("the call wrote nothing into the socket");
            break;
        }
        if (!rig.drain(sent)) {
            state.SkipWithError("the peer did not ack the message");
            break;
        }
    }
    const QString wrong = rig.verify(SendTypeStatisticsOnce, sent);
    if (!wrong.isEmpty())
        state.SkipWithError(qPrintable(wrong));
    const std::vector<relaypeer::Message> got = rig.peer->messages();
    if (!got.empty() && !got.back().body.contains("\"camera_id\":\t2"))
        state.SkipWithError("the second camera is missing from the body");
    state.counters["median_us"] = percentile(calls, 0.5);
    state.counters["p95_us"] = percentile(calls, 0.95);
    state.counters["cpu_median_us"] = percentile(cpu, 0.5);
    state.counters["flush_median_us"] = percentile(flushes, 0.5);
    state.counters["flush_p95_us"] = percentile(flushes, 0.95);
    if (!got.empty())
        state.counters["frame_bytes"] = double(got.back().declared);
}
BENCHMARK(BM_SendStatisticsOnce20)
    ->Iterations(BenchRunsAsTest() ? 20 : 2000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// The body of the same call alone (type 18, 2 cameras x 10 areas).
void BM_BuildStatisticsOnce20(benchmark::State& state)
{
    TestEnv env;
    Inputs inputs;
    FakeRelayHost host;
    host.cameras = 2;
    host.detect = 1;
    const QList<param_roi> list = typicalDetection();
    std::vector<double> us;
    cnt::StatisticsOnce once;
    for (auto _ : state) {
        const auto t0 = Steady::now();
        once = cnt::StatisticsOnceBody(kDeviceId, host, inputs.inputs(), list, true, 0);
        us.push_back(usSince(t0));
    }
    if (once.body.count("\"roi_id\"") != list.size())
        state.SkipWithError("the results body lacks areas");
    reportSamples(state, us, once.body.size());
}
BENCHMARK(BM_BuildStatisticsOnce20)->Iterations(BenchRunsAsTest() ? 20 : 5000)->Unit(benchmark::kMicrosecond);

// Messages queued at once and sent one at a time, each after the previous
// one's ack: from the first enqueue to the last ack.  arg 0: the peer acks as
// soon as it decoded a message; arg 1: at its usual pacing (150 ms between
// two batches), as a relay that keeps the monitor's one-batch-per-read rule.
void BM_EndToEnd(benchmark::State& state)
{
    const bool paced = state.range(0) != 0;
    LinkRig rig(paced ? relaypeer::kBatchGapMs : 0);
    if (!rig.ok()) {
        state.SkipWithError(qPrintable(rig.error));
        return;
    }
    const int perRound = paced ? 10 : (BenchRunsAsTest() ? 50 : 1000);
    const QList<param_roi> list = typicalDetection();
    int sent = 0;
    for (auto _ : state) {
        const auto t0 = Steady::now();
        for (int i = 0; i < perRound; ++i)
            rig.sendStatisticsOnce(list, false, 1);
        sent += perRound;
        if (!rig.drain(sent, 60000)) {
            state.SkipWithError("not every message was acked");
            break;
        }
        state.SetIterationTime(usSince(t0) / 1e6);
    }
    const QString wrong = rig.verify(SendTypeStatisticsOnce, sent);
    if (!wrong.isEmpty())
        state.SkipWithError(qPrintable(wrong));
    state.SetItemsProcessed(sent);
}
BENCHMARK(BM_EndToEnd)
    ->ArgName("paced")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Type 2: every parameter and the eight camera objects.
void BM_BuildParam(benchmark::State& state)
{
    TestEnv env;
    Inputs inputs;
    std::vector<double> us;
    QByteArray body;
    for (auto _ : state) {
        const auto t0 = Steady::now();
        body = cnt::ParamBody(kDeviceId, inputs.inputs());
        us.push_back(usSince(t0));
    }
    if (!body.startsWith("{") || body.count("\"camera_serial\"") != kCameraSlots)
        state.SkipWithError("the parameter body lacks its cameras");
    reportSamples(state, us, body.size());
}
BENCHMARK(BM_BuildParam)->Iterations(BenchRunsAsTest() ? 20 : 5000)->Unit(benchmark::kMicrosecond);

// Type 7 with every camera, detection and area in the table: the figures,
// the body and its record file (cnt_net/data/Statistics), as the link's
// sender does it.
void BM_BuildStatistics8x8x50(benchmark::State& state)
{
    TestEnv env;
    Inputs inputs;
    RelayRecords records(env.dir());
    for (int c = 0; c < kCameraSlots; ++c)
        for (int d = 0; d < kDetections; ++d)
            for (int a = 0; a < kAreas; ++a)
                records.ChkandAddStaticticsItem(c, d, a);
    FakeRelayHost host;
    host.cameras = kCameraSlots;
    const RecordInputs in = RecordInputs::Capture(host, inputs.para, kDeviceId);
    std::vector<double> us, fileUs;
    QByteArray body;
    for (auto _ : state) {
        const auto t0 = Steady::now();
        body = records.CNT_SendStatistics(QStringLiteral("null"), in, true);
        us.push_back(usSince(t0));
        state.SetIterationTime(us.back() / 1e6);
        // Its share of the file: the same write of the same body again.
        const auto f0 = Steady::now();
        RelayRecords::SaveToFile(env.path(QStringLiteral("cnt_net/data/Statistics.again")), body);
        fileUs.push_back(usSince(f0));
    }
    if (body.count("\"alarm_area_num\"") != kCameraSlots * kDetections * kAreas)
        state.SkipWithError("the statistics body lacks areas");
    else if (env.readFile(QStringLiteral("cnt_net/data/Statistics")) != body)
        state.SkipWithError("the record file does not hold the body");
    reportSamples(state, us, body.size());
    state.counters["file_median_us"] = percentile(fileUs, 0.5);
}
BENCHMARK(BM_BuildStatistics8x8x50)
    ->Iterations(BenchRunsAsTest() ? 5 : 300)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// Type 8 of a detection with 50 polygons of 20 points each.
void BM_BuildRoiParam50Polygons(benchmark::State& state)
{
    TestEnv env;
    auto set = std::make_unique<CammerSingleton>(0);
    const int d = 0;
    set->roiCount[d] = kAreas;
    for (int i = 0; i < kAreas; ++i) {
        std::vector<QPoint> points;
        for (int k = 0; k < 20; ++k)
            points.emplace_back(100 + 20 * (i % 10) + (k % 5) * 3, 100 + 20 * (i / 10) + (k / 5) * 3);
        set->roiShape[d][i] = RoiShapePolygon;
        set->roiPolygon[d][i].setPoints(points);
    }
    std::vector<double> us;
    QByteArray body;
    for (auto _ : state) {
        const auto t0 = Steady::now();
        body = cnt::RoiParamBody(kDeviceId, *set, d);
        us.push_back(usSince(t0));
    }
    if (body.count("\"roi_type\":\t2") != kAreas || body.count("\"top_19_y\"") != kAreas)
        state.SkipWithError("the area body lacks polygons or points");
    reportSamples(state, us, body.size());
}
BENCHMARK(BM_BuildRoiParam50Polygons)->Iterations(BenchRunsAsTest() ? 20 : 5000)->Unit(benchmark::kMicrosecond);

// One read of the largest size the link takes: an answer whose body fills
// the rest of the 65535 bytes.
void BM_ClassifyBatch65535(benchmark::State& state)
{
    const QByteArray head("/answer/\r\nSessionId: 14\r\n\r\n");
    QByteArray chunk = head + "[";
    while (chunk.size() < kMaxBatchBytes - 40)
        chunk += "{\"product\":\"cap 28mm\",\"id\":12},";
    chunk += "{}]";
    chunk += QByteArray(kMaxBatchBytes - chunk.size(), ' ');
    std::vector<double> us;
    ReplyBatch reply;
    for (auto _ : state) {
        const auto t0 = Steady::now();
        reply = classifyReplyBatch(chunk);
        us.push_back(usSince(t0));
    }
    if (chunk.size() != kMaxBatchBytes || reply.kind != ReplyKind::Session || reply.session != 14
        || reply.body.size() != kMaxBatchBytes - head.size())
        state.SkipWithError("the batch was not read as the product list");
    reportSamples(state, us, chunk.size());
}
BENCHMARK(BM_ClassifyBatch65535)->Iterations(BenchRunsAsTest() ? 20 : 5000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return RunRegisteredBenchmarks(argc, argv);
}
