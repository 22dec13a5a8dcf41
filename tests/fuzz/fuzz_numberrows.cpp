// Stored number rows of table "sysparam": the first byte picks the row, the
// rest is its stored value.  The load must take a row that parses and report
// one that does not (message 160) with the row's first-start values, never
// zeros from half a parse; the save then writes a row that loads cleanly.
#include "messages.h"
#include "testenv.h"
#include "wizardpara.h"
#include "wizardparastore.h"

#include <QCoreApplication>
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
        static char name[] = "fuzz_numberrows";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            app = std::make_unique<QCoreApplication>(argc, argv);
        FLAGS_minloglevel = 3;
        env = std::make_unique<TestEnv>();
    }
    std::unique_ptr<QCoreApplication> app;
    std::unique_ptr<TestEnv> env;
};

QSqlDatabase memoryDb(const QString& name)
{
    QSqlDatabase db = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                                   : QSqlDatabase::addDatabase("QSQLITE", name);
    db.close();
    db.setDatabaseName(":memory:");
    db.open();
    QSqlQuery(db).exec("create table sysparam(name text, value text)");
    return db;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static World world;
    const std::vector<ParamRow>& rows = SysParamRows();
    std::vector<const ParamRow*> numberRows;
    for (const ParamRow& r : rows)
        if (r.kind == ParamRowKind::Numbers)
            numberRows.push_back(&r);
    const ParamRow& row = *numberRows[size > 0 ? data[0] % numberRows.size() : 0];
    const QByteArray value(size > 1 ? reinterpret_cast<const char*>(data) + 1 : "", size > 1 ? int(size - 1) : 0);

    QSqlDatabase param = memoryDb("fuzzParam");
    QSqlDatabase serial = memoryDb("fuzzSerial");
    // Every row sound, except the one under test.
    {
        QSqlQuery q(param);
        q.prepare("insert into sysparam values(?, ?)");
        for (const ParamRow& r : rows) {
            q.addBindValue(QString::fromLatin1(r.name));
            if (&r == &row)
                q.addBindValue(value);
            else
                q.addBindValue(SysParamRowValue(FirstStartParameters(), r));
            q.exec();
        }
    }
    gLan = 1;
    int left = 0;
    WizardPara p;
    const ParamStoreResult loaded = p.LoadDatafromFile(param, serial, left);
    if (p.unreadRows != 0)
        std::abort();
    if (!loaded.ok && loaded.messageId != kMsgSystemParamFileError)
        std::abort();
    if (gLan < 0 || gLan > 2)
        std::abort();
    const ParamStoreResult saved = p.SaveDatatoFile(param);
    if (!saved.ok)
        std::abort();
    WizardPara again;
    const ParamStoreResult reloaded = again.LoadDatafromFile(param, serial, left);
    if (!reloaded.ok || !(again == p))
        std::abort();
    return 0;
}
