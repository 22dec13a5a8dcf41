// PARAM.db as bytes: written into a program directory, opened through the
// opener, the parameters and the areas of two cameras loaded, then saved.
// Nothing may crash, and a save that reports success leaves a file whose
// every page reads.
#include "testgeometry.h"
#include "cammersingleton.h"
#include "databaseopener.h"
#include "geometry.h"
#include "testenv.h"
#include "wizardpara.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <glog/logging.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {
struct World {
    World()
    {
        static int argc = 1;
        static char name[] = "fuzz_paramdb";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            app = std::make_unique<QCoreApplication>(argc, argv);
        FLAGS_minloglevel = 3;
        env = std::make_unique<TestEnv>();
        env->defaultAnswer = 1;
        setTestGeometry(320, 240, 2.5);
    }
    std::unique_ptr<QCoreApplication> app;
    std::unique_ptr<TestEnv> env;
};

bool everyPageReads(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    return q.exec("pragma quick_check") && q.next() && q.value(0).toString() == "ok";
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static World world;
    for (const QString& f : QDir(world.env->dir()).entryList(QDir::Files))
        QFile::remove(world.env->path(f));
    {
        QFile f(world.env->path("PARAM.db"));
        f.open(QIODevice::WriteOnly);
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const DatabaseOpenResult opened = DatabaseOpener::Open("dbIn", "PARAM.db", "nodefault.db");
    const DatabaseOpenResult serialOpened = DatabaseOpener::Open("dbT", "SN.db", "nodefault.db");
    QSqlDatabase param = QSqlDatabase::database("dbIn", false);
    QSqlDatabase serial = QSqlDatabase::database("dbT", false);
    if (!serialOpened.ok)
        std::abort();

    int left = 0;
    auto para = std::make_unique<WizardPara>();
    para->LoadDatafromFile(param, serial, left);
    const bool paramSaved = para->SaveDatatoFile(param).ok;
    if (paramSaved && !(opened.ok && everyPageReads(param)))
        std::abort();

    for (int camera : {0, 1}) {
        auto areas = std::make_unique<CammerSingleton>(camera);
        AreaMaskArray masks;
        areas->LoadDatafromFile(param, &masks, [](int) {});
        const bool areasSaved = areas->SaveDatatoFile(param, false);
        if (areasSaved && !(opened.ok && everyPageReads(param)))
            std::abort();
    }
    param.close();
    serial.close();
    return 0;
}
