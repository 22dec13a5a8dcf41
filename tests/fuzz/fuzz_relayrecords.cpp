// The relay's record files "cnt_net/data/ManualStop" and
// "cnt_net/data/Statistics": the input is written to both and read back.
// A load must keep every key in range whatever the file holds, the sends
// must print JSON, and what a send wrote must read back to the same body.
#include "cntrecords.h"
#include "screenstates.h"
#include "testenv.h"

#include <QCoreApplication>
#include <QFile>
#include <cjson/cJSON.h>
#include <glog/logging.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {
struct World {
    World()
    {
        static int argc = 1;
        static char name[] = "fuzz_relayrecords";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            app = std::make_unique<QCoreApplication>(argc, argv);
        FLAGS_minloglevel = 3;
        env = std::make_unique<TestEnv>();
        env->clock->set(QDateTime(QDate(2026, 5, 4), QTime(9, 30)));
    }
    std::unique_ptr<QCoreApplication> app;
    std::unique_ptr<TestEnv> env;
};

RecordInputs inputs()
{
    RecordInputs in;
    in.deviceId = QStringLiteral("fuzz");
    in.now = appClock().now();
    in.runState = RunStateDetecting;
    in.numCamera = 8;
    for (int c = 0; c < kCameraSlots; ++c) {
        in.allNum[size_t(c)] = 1000 * (c + 1);
        in.failNum[size_t(c)] = 7 * c;
    }
    in.productName = QStringLiteral("cap");
    in.productMoldCavity = 2;
    return in;
}

void requireJson(const QByteArray& body)
{
    cJSON* root = cJSON_Parse(body.constData());
    if (!cJSON_IsObject(root))
        std::abort();
    cJSON_Delete(root);
}

void requireKeysInRange(const CNT_Path_Statistics& s)
{
    for (auto c = s.cameras.cbegin(); c != s.cameras.cend(); ++c) {
        if (c.key() < 0 || c.key() >= kCameraSlots)
            std::abort();
        for (auto d = c->detects.cbegin(); d != c->detects.cend(); ++d) {
            if (d.key() < 0 || d.key() >= kDetections || d->time != d.key() + 1)
                std::abort();
            for (auto a = d->alarms.cbegin(); a != d->alarms.cend(); ++a)
                if (a.key() < 0 || a.key() >= kAreas || a->alarm_area_num != a.key() + 1)
                    std::abort();
        }
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static World world;
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    world.env->writeFile(QStringLiteral("cnt_net/data/ManualStop"), bytes);
    world.env->writeFile(QStringLiteral("cnt_net/data/Statistics"), bytes);

    RelayRecords first;
    first.InitManualStop();
    first.InitStatistics();
    requireKeysInRange(first.statisticsRecord);
    const QByteArray stop = first.CNT_SendManualStop(inputs(), true);
    const QByteArray stats = first.CNT_SendStatistics(QStringLiteral("null"), inputs(), true);
    requireJson(stop);
    requireJson(stats);

    // The files now hold exactly the bodies; a second run reads them back.
    RelayRecords second;
    second.InitManualStop();
    second.InitStatistics();
    if (!second.manualStopRecord.valid || !second.statisticsRecord.valid)
        std::abort();
    if (second.CNT_SendManualStop(inputs(), true) != stop)
        std::abort();
    if (second.CNT_SendStatistics(QStringLiteral("null"), inputs(), true) != stats)
        std::abort();
    return 0;
}
