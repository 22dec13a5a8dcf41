// Load and save of the system parameters: PARAM.db and SN.db are built in
// the test's program directory from a map of rows.
#include "messages.h"
#include "relaylink.h"
#include "testenv.h"
#include "wizardpara.h"
#include "wizardparastore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <functional>

namespace {

using Rows = QMap<QString, QVariant>;   // row name -> stored value (text, or raw bytes)

// One SQLite connection, closed and removed when it goes.
class Db {
public:
    explicit Db(const QString& file, const QString& options = QString())
        : name_(QStringLiteral("tst%1").arg(++counter_))
    {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(file);
        db.setConnectOptions(options);
        if (!db.open())
            qWarning() << "cannot open" << file << db.lastError().text();
    }
    ~Db()
    {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    bool exec(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery q(db);
        q.prepare(sql);
        for (const QVariant& v : values)
            q.addBindValue(v);
        return q.exec();
    }
    QSqlDatabase db;

private:
    QString name_;
    static int counter_;
};
int Db::counter_ = 0;

void WriteTable(const QString& file, const Rows& rows)
{
    Db d(file);
    QVERIFY(d.exec(QStringLiteral("create table sysparam(name text, value text)")));
    for (auto it = rows.begin(); it != rows.end(); ++it)
        QVERIFY(d.exec(QStringLiteral("insert into sysparam values(?, ?)"), {it.key(), it.value()}));
}

Rows ReadTable(const QString& file)
{
    Rows rows;
    Db d(file);
    QSqlQuery q(d.db);
    q.exec(QStringLiteral("select name, value from sysparam"));
    while (q.next())
        rows.insert(q.value(0).toString(), q.value(1));
    return rows;
}

QStringList Texts(const Rows& rows)
{
    QStringList out;
    for (auto it = rows.begin(); it != rows.end(); ++it)
        out << it.key() + QLatin1Char('=') + it.value().toString();
    return out;
}

// The rows of "sysparam" and their value counts (0 = text row), in load order.
struct StoredRow {
    const char* name;
    int count;
};
const StoredRow kStoredRows[] = {
    {"trigInDelay", 8}, {"exposeTime", 4}, {"adjustPlus", 4}, {"numFailDetect", 8},
    {"numAllDetect", 8}, {"isPswUsed", 1}, {"password", 0}, {"system1", 9},
    {"system2", 18}, {"system3", 11}, {"system4", 15}, {"sharp", 4},
    {"contrast", 4}, {"system5", 13}, {"system6", 12}, {"system7", 20},
    {"system8", 20}, {"system9", 20}, {"system10", 20}, {"system11", 20},
    {"system12", 21}, {"CntNet", 8}, {"CntNet_UseName", 0}, {"CntNet_MsgTechName", 0},
    {"CntNet_MsgTechNum", 0}, {"CntNet_ProName", 0}, {"CntNet_Operator", 0},
};

// Golden values: row number (from 1) x 100 + position, except where that
// would fail a range check, and equal values where one field is stored twice.
int Golden(const QString& row, int pos)
{
    static const QMap<QString, int> inRange = {
        {"numFailDetect:1", 4},   // multi-detection: derives nothing that is stored
        {"system1:4", 0},         // motionCorrection
        {"system1:5", 1},         // stopForbidsClamp, also system9:14
        {"system9:14", 1},
        {"system2:2", 50},        // templateCount
        {"system2:3", 5},         // minSpot
        {"system2:13", 1},        // gLan
        {"system2:17", 20},       // captureSpeed
        {"system3:3", 2},         // differenceMultiplier
        {"system4:14", 7},        // minimumSize
        {"system5:10", 90},       // rotationAngle
        {"system7:1", 3},         // serialPort
        {"system8:1", 5},         // multiDetectCount
        {"system9:10", 9},        // skipDetectCount
        {"system9:18", 1820},     // spareB three times
        {"system9:19", 1820},
        {"system9:20", 1820},
    };
    const QString key = row + QLatin1Char(':') + QString::number(pos);
    if (inRange.contains(key))
        return inRange.value(key);
    for (int i = 0; i < int(std::size(kStoredRows)); ++i) {
        if (row == QLatin1String(kStoredRows[i].name))
            return (i + 1) * 100 + pos;
    }
    return -1;
}

const QMap<QString, QString> kGoldenTexts = {
    {"password", QStringLiteral("pa'ss wört")},
    {"CntNet_UseName", QStringLiteral("eth0")},
    {"CntNet_MsgTechName", QStringLiteral("张工")},
    {"CntNet_MsgTechNum", QStringLiteral("13800138000")},
    {"CntNet_ProName", QStringLiteral("零件 A-1")},
    {"CntNet_Operator", QStringLiteral("O'Brien")},
};

Rows GoldenParam()
{
    Rows rows;
    for (const StoredRow& row : kStoredRows) {
        const QString name = QLatin1String(row.name);
        if (row.count == 0) {
            rows[name] = kGoldenTexts.value(name);
            continue;
        }
        QStringList values;
        for (int pos = 1; pos <= row.count; ++pos)
            values << QString::number(Golden(name, pos));
        rows[name] = values.join(QLatin1Char(' '));
    }
    return rows;
}

Rows GoldenSerials()
{
    Rows rows;
    for (int i = 0; i < kCameraSlots; ++i)
        rows[QStringLiteral("serialNB%1").arg(i)] = QStringLiteral("KE0-%1-4567").arg(i);
    return rows;
}

void SetPos(Rows& rows, const QString& row, int pos, const QString& value)
{
    QStringList values = rows[row].toString().split(QLatin1Char(' '));
    values[pos - 1] = value;
    rows[row] = values.join(QLatin1Char(' '));
}

// Fields by name, read directly (independent of the row layout).
int Field(const WizardPara& p, const QString& name)
{
#define F(expr) {QStringLiteral(#expr), [](const WizardPara& w) { return w.expr; }}
    static const QHash<QString, std::function<int(const WizardPara&)>> fields = {
        F(exposure[0]), F(exposure[1]), F(exposure[2]), F(exposure[3]), F(exposure[5]),
        F(gain[0]), F(gain[6]), F(sharpness[0]), F(contrast[0]), F(contrast[7]),
        F(gamma[0]), F(gamma[7]), F(multiDetectCount), F(systemMode), F(systemModePending),
        F(preCut), F(moldRecheckCount), F(minimumSize), F(minimumArea), F(templateCount),
        F(ngImageKeep), F(okImageKeep), F(ejectorPulse), F(clampPulse), F(motionCorrection),
        F(rotationAngle), F(autoLogoutSeconds), F(differenceMultiplier), F(maxOffset),
        F(screenOffSeconds), F(captureSpeed), F(inputTimeout), F(serialPort), F(minSpot),
        F(skipDetectCount), F(spareB), F(cutEjectorOnClamp), F(stopForbidsClamp),
        F(roiNgWarnCount), F(outputInvert[3]), F(outputInvert[8]), F(noLensOptimize),
        F(cycleTimeLog), F(productSerial), F(productMoldCavity), F(multiDetectRow[7]),
        F(multiRowCutMode[0]), F(stopForbidsEjector), F(spareA), F(ipAddress[0]),
        F(gateway[3]), F(defectEnabled), F(spotEnabled), F(semiAuto), F(autoGenerateArea),
        F(whiteCountEnabled), F(externalTrigger), F(videoShareMode), F(netEnabled),
    };
#undef F
    if (name == QLatin1String("gLan"))
        return gLan;
    const auto it = fields.find(name);
    if (it == fields.end()) {
        qWarning() << "unknown field" << name;
        return INT_MIN;
    }
    return it.value()(p);
}

QVector<int> Ints(const int* values, int count) { return QVector<int>(values, values + count); }

QVector<int> IntsOf(const QString& text)
{
    QVector<int> v;
    for (const QString& s : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        v << s.toInt();
    return v;
}

struct Loaded {
    WizardPara para;
    ParamStoreResult result;
    int leftPairActive = -7;   // -7: left as it was
};

// Loads from the PARAM.db and SN.db already in the program directory.
Loaded LoadFiles()
{
    Loaded l;
    Db param(QStringLiteral("PARAM.db"));
    Db serial(QStringLiteral("SN.db"));
    l.result = l.para.LoadDatafromFile(param.db, serial.db, l.leftPairActive);
    return l;
}

Loaded Load(const Rows& param, const Rows& serials = GoldenSerials())
{
    WriteTable(QStringLiteral("PARAM.db"), param);
    WriteTable(QStringLiteral("SN.db"), serials);
    return LoadFiles();
}

ParamStoreResult Save(const WizardPara& p, const QString& file = QStringLiteral("PARAM.db"),
                      const QString& options = QString())
{
    Db param(file, options);
    return p.SaveDatatoFile(param.db);
}

// Sees what a second connection reads at the moment the relay is told.
class ProbeRelay : public RecordingRelayLink {
public:
    void CNT_SendParam() override
    {
        seenExposeTime = ReadTable(QStringLiteral("PARAM.db")).value("exposeTime").toString();
        RecordingRelayLink::CNT_SendParam();
    }
    QString seenExposeTime;
};

}  // namespace

Q_DECLARE_METATYPE(Rows)

class TestWizardParaStore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void layoutMatchesRows();
    void goldenRoundTrip();
    void saveWritesMissingRowsAndTable_data();
    void saveWritesMissingRowsAndTable();
    void storedValues_data();
    void storedValues();
    void detectionMethodDefault_data();
    void detectionMethodDefault();
    void standardAndPairLayout_data();
    void standardAndPairLayout();
    void multiDetectLayout_data();
    void multiDetectLayout();
    void garbledNumberRows_data();
    void garbledNumberRows();
    void missingRows();
    void firstStart_data();
    void firstStart();
    void unreadableDatabase();
    void damagedPagesRefuseTheSave();
    void textRows_data();
    void textRows();
    void nonUtf8TextHeldAsText();
    void serials();
    void labelsFromFile();
    void defaultLabels_data();
    void defaultLabels();
    void multiDetectLabels();
    void groupIndexFile();
    void failedSaveIsReportedAndRolledBack_data();
    void failedSaveIsReportedAndRolledBack();
    void relayToldAfterCommit_data();
    void relayToldAfterCommit();
    void chkDBItem();

private:
    std::unique_ptr<TestEnv> env_;
};

void TestWizardParaStore::initTestCase()
{
    // Recognisable texts for the label messages, in every language.
    for (int id : {301, 302, 303, 304, 305, 306, 307, 376, 377, 378, 379, 380, 381, 382})
        for (int lan = 0; lan < 3; ++lan)
            gaLanStr[3 * id + lan] = QStringLiteral("m%1.%2").arg(id).arg(lan);
}

void TestWizardParaStore::init()
{
    env_ = std::make_unique<TestEnv>();
    gLan = 0;
    gDNum = 0;
    for (QString& s : gaName)
        s = QStringLiteral("untouched");
    std::memset(gSerialNB, 0, sizeof gSerialNB);
}

void TestWizardParaStore::cleanup()
{
    gpNet = nullptr;
    env_.reset();
}

void TestWizardParaStore::layoutMatchesRows()
{
    const std::vector<ParamRow>& rows = SysParamRows();
    QCOMPARE(int(rows.size()), int(std::size(kStoredRows)));
    for (int i = 0; i < int(rows.size()); ++i) {
        QCOMPARE(rows[i].name, kStoredRows[i].name);
        const int count = rows[i].kind == ParamRowKind::Text ? 0 : int(rows[i].values.size());
        QCOMPARE(count, kStoredRows[i].count);
    }
    // Save order: the numeric rows first, camera rows before the switches.
    QStringList order;
    for (const ParamRow* row : SysParamSaveOrder())
        order << QLatin1String(row->name);
    QCOMPARE(order.mid(0, 9), QStringList({"trigInDelay", "exposeTime", "sharp", "contrast",
                                           "adjustPlus", "numFailDetect", "numAllDetect",
                                           "isPswUsed", "password"}));
    QCOMPARE(order.size(), int(rows.size()));
}

void TestWizardParaStore::goldenRoundTrip()
{
    const Rows golden = GoldenParam();
    const Loaded l = Load(golden);
    QVERIFY2(l.result.ok, qPrintable(l.result.detail));

    // Every stored position, through the layout.
    for (const ParamRow& row : SysParamRows()) {
        const QString name = QLatin1String(row.name);
        if (row.kind == ParamRowKind::Text) {
            QCOMPARE(WizardPara::Text(ParamText(l.para, row.values.front().offset)),
                     kGoldenTexts.value(name));
            continue;
        }
        for (int pos = 1; pos <= int(row.values.size()); ++pos) {
            const ParamSlot& slot = row.values[pos - 1];
            const int actual = slot.language ? gLan : ParamInt(l.para, slot.offset);
            QVERIFY2(actual == Golden(name, pos),
                     qPrintable(QStringLiteral("%1 %2 (%3)").arg(name).arg(pos).arg(slot.field)));
        }
    }
    // Tricky positions, read by field name.
    const struct {
        const char* field;
        const char* row;
        int pos;
    } spots[] = {
        {"stopForbidsClamp", "system9", 14}, {"spareB", "system9", 20},
        {"roiNgWarnCount", "system9", 16},   {"outputInvert[3]", "system7", 9},
        {"outputInvert[8]", "system7", 19},  {"noLensOptimize", "system7", 8},
        {"exposure[5]", "system5", 2},       {"gain[6]", "system6", 3},
        {"contrast[7]", "system6", 8},       {"gamma[7]", "numAllDetect", 8},
        {"cycleTimeLog", "system12", 21},    {"productSerial", "CntNet", 8},
        {"productMoldCavity", "CntNet", 6},  {"multiDetectRow[7]", "system9", 8},
        {"multiRowCutMode[0]", "system8", 10}, {"stopForbidsEjector", "system10", 20},
        {"spareA", "system11", 20},          {"ipAddress[0]", "system4", 2},
        {"gateway[3]", "system4", 13},       {"systemModePending", "numFailDetect", 1},
        {"gLan", "system2", 13},             {"externalTrigger", "system5", 12},
    };
    for (const auto& s : spots)
        QVERIFY2(Field(l.para, QLatin1String(s.field)) == Golden(QLatin1String(s.row), s.pos),
                 s.field);

    // Saved into a copy, every row reads back as it was.
    QVERIFY(QFile::copy("PARAM.db", "copy.db"));
    const ParamStoreResult saved = Save(l.para, QStringLiteral("copy.db"));
    QVERIFY2(saved.ok, qPrintable(saved.detail));
    QCOMPARE(Texts(ReadTable("copy.db")), Texts(golden));

    // And the reloaded record is equal as a whole.
    QVERIFY(QFile::remove("PARAM.db"));
    QVERIFY(QFile::rename("copy.db", "PARAM.db"));
    const Loaded again = LoadFiles();
    QVERIFY(again.para == l.para);
}

void TestWizardParaStore::saveWritesMissingRowsAndTable_data()
{
    QTest::addColumn<bool>("withTable");
    QTest::newRow("empty table") << true;
    QTest::newRow("no table") << false;
}

void TestWizardParaStore::saveWritesMissingRowsAndTable()
{
    QFETCH(bool, withTable);
    const Rows golden = GoldenParam();
    const Loaded l = Load(golden);
    if (withTable)
        WriteTable(QStringLiteral("fresh.db"), {});
    const ParamStoreResult saved = Save(l.para, QStringLiteral("fresh.db"));
    QVERIFY2(saved.ok, qPrintable(saved.detail));
    QCOMPARE(Texts(ReadTable("fresh.db")), Texts(golden));
}

void TestWizardParaStore::storedValues_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<int>("pos");        // 0: the whole row
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("expected");

    auto add = [](const char* tag, const char* row, int pos, const char* stored, const char* field,
                  int expected) {
        QTest::newRow(tag) << QString::fromLatin1(row) << pos << QString::fromLatin1(stored)
                           << QString::fromLatin1(field) << expected;
    };
    // Range checks (unsigned: a negative value is out of range).
    add("exposure 10000 kept", "exposeTime", 1, "10000", "exposure[0]", 10000);
    add("exposure 10001", "exposeTime", 1, "10001", "exposure[0]", 30);
    add("exposure -5", "exposeTime", 0, "-5 50 20000 100", "exposure[0]", 30);
    add("exposure 50 kept", "exposeTime", 0, "-5 50 20000 100", "exposure[1]", 50);
    add("exposure 20000", "exposeTime", 0, "-5 50 20000 100", "exposure[2]", 30);
    add("exposure 100 kept", "exposeTime", 0, "-5 50 20000 100", "exposure[3]", 100);
    add("gain", "adjustPlus", 1, "10001", "gain[0]", 32);
    add("sharpness", "sharp", 1, "-1", "sharpness[0]", 0);
    add("contrast 0", "contrast", 1, "0", "contrast[0]", 100);
    add("contrast 1 kept", "contrast", 1, "1", "contrast[0]", 1);
    add("gamma 0", "numAllDetect", 1, "0", "gamma[0]", 100);
    add("multiDetectCount 1", "system8", 1, "1", "multiDetectCount", 2);
    add("multiDetectCount 9", "system8", 1, "9", "multiDetectCount", 2);
    add("multiDetectCount 8 kept", "system8", 1, "8", "multiDetectCount", 8);
    add("systemMode 7", "numFailDetect", 1, "7", "systemMode", 0);
    add("systemMode 7 pending", "numFailDetect", 1, "7", "systemModePending", 0);
    add("systemMode 5", "numFailDetect", 1, "5", "systemMode", 0);
    add("systemMode -1", "numFailDetect", 1, "-1", "systemMode", 0);
    add("systemMode 3 kept", "numFailDetect", 1, "3", "systemModePending", 3);
    add("preCut", "system1", 6, "10001", "preCut", 0);
    add("moldRecheckCount", "system1", 7, "-2", "moldRecheckCount", 0);
    add("minimumSize 0", "system4", 14, "0", "minimumSize", 3);
    add("minimumSize 101", "system4", 14, "101", "minimumSize", 3);
    add("minimumArea", "system4", 15, "100000", "minimumArea", 100);
    add("templateCount", "system2", 2, "0", "templateCount", 10);
    add("ngImageKeep", "system2", 4, "2001", "ngImageKeep", 0);
    add("okImageKeep", "system1", 8, "2001", "okImageKeep", 0);
    add("okImageKeep 2000 kept", "system1", 8, "2000", "okImageKeep", 2000);
    add("ejectorPulse", "system2", 5, "10001", "ejectorPulse", 0);
    add("clampPulse", "system2", 6, "-1", "clampPulse", 0);
    add("motionCorrection 1", "system1", 4, "1", "motionCorrection", -1);
    add("motionCorrection -1 kept", "system1", 4, "-1", "motionCorrection", -1);
    add("rotationAngle", "system5", 10, "181", "rotationAngle", 0);
    add("autoLogoutSeconds", "system3", 9, "10001", "autoLogoutSeconds", 0);
    add("differenceMultiplier", "system3", 3, "5", "differenceMultiplier", 0);
    add("maxOffset 0", "system2", 15, "0", "maxOffset", 8000);
    add("maxOffset 8001", "system2", 15, "8001", "maxOffset", 8000);
    add("screenOffSeconds 0 kept", "system2", 16, "0", "screenOffSeconds", 0);
    add("screenOffSeconds 29", "system2", 16, "29", "screenOffSeconds", 600);
    add("screenOffSeconds 30 kept", "system2", 16, "30", "screenOffSeconds", 30);
    add("screenOffSeconds 10000", "system2", 16, "10000", "screenOffSeconds", 600);
    add("captureSpeed", "system2", 17, "101", "captureSpeed", 12);
    add("inputTimeout", "system2", 18, "100000001", "inputTimeout", 60);
    add("gLan", "system2", 13, "3", "gLan", 0);
    add("gLan 2 kept", "system2", 13, "2", "gLan", 2);
    add("serialPort", "system7", 1, "101", "serialPort", 0);
    add("minSpot", "system2", 3, "0", "minSpot", 3);
    add("skipDetectCount 0", "system9", 10, "0", "skipDetectCount", 0);
    add("skipDetectCount 101", "system9", 10, "101", "skipDetectCount", 0);
    add("spareB", "system9", 0,
        "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 5 6 100000001", "spareB", 0);
    add("spareB last wins", "system9", 0,
        "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 5 6 7", "spareB", 7);
    // Short and damaged rows.
    add("short system1: motion on", "system1", 0, "1 1 0", "motionCorrection", 0);
    add("short system1: system9 clamp", "system1", 0, "1 1 0", "stopForbidsClamp", 1);
    add("short system1: tail 0", "system1", 0, "1 1 0", "autoGenerateArea", 0);
    add("extra spaces", "exposeTime", 0, "  7\t 8  9 10 ", "exposure[1]", 8);
}

void TestWizardParaStore::storedValues()
{
    QFETCH(QString, row);
    QFETCH(int, pos);
    QFETCH(QString, stored);
    QFETCH(QString, field);
    QFETCH(int, expected);
    Rows rows = GoldenParam();
    if (pos == 0)
        rows[row] = stored;
    else
        SetPos(rows, row, pos, stored);
    const Loaded l = Load(rows);
    QVERIFY(l.result.ok);
    QCOMPARE(Field(l.para, field), expected);
}

// The eight detection-method switches by row and position.
const struct {
    const char* row;
    int pos;
} kMethodSwitches[] = {
    {"system3", 4},       {"system3", 5},       {"numFailDetect", 6}, {"numFailDetect", 7},
    {"numFailDetect", 8}, {"system7", 20},      {"system8", 20},      {"system9", 13},
};

void TestWizardParaStore::detectionMethodDefault_data()
{
    QTest::addColumn<int>("leftOn");   // index into kMethodSwitches, -1 none
    QTest::addColumn<int>("defect");
    QTest::newRow("none on") << -1 << 1;
    QTest::newRow("defect on") << 0 << 1;
    QTest::newRow("spot on") << 1 << 0;
    QTest::newRow("similarity on") << 4 << 0;
    QTest::newRow("distance on") << 7 << 0;
}

void TestWizardParaStore::detectionMethodDefault()
{
    QFETCH(int, leftOn);
    QFETCH(int, defect);
    Rows rows = GoldenParam();
    for (int i = 0; i < int(std::size(kMethodSwitches)); ++i)
        SetPos(rows, kMethodSwitches[i].row, kMethodSwitches[i].pos, i == leftOn ? "1" : "0");
    // Ignore and position areas are no detection method.
    SetPos(rows, "system3", 6, "1");
    SetPos(rows, "system3", 7, "1");
    const Loaded l = Load(rows);
    QCOMPARE(l.para.defectEnabled, defect);
    QCOMPARE(l.para.spotEnabled, leftOn == 1 ? 1 : 0);
}

void TestWizardParaStore::standardAndPairLayout_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("moldSelect");
    QTest::addColumn<int>("semi");
    QTest::addColumn<int>("prod");
    QTest::addColumn<int>("ngPulse");       // productNgPulseNoAlarm
    QTest::addColumn<int>("dnum");
    QTest::addColumn<QString>("enabled");   // detectEnabled [0..3]
    QTest::addColumn<QString>("triggers");  // detectTriggerInput [0..1]
    QTest::addColumn<int>("leftPair");      // -7: unchanged
    QTest::addColumn<int>("areaInvert");    // outputInvert [4..7], -7: as stored

    QTest::newRow("standard") << 0 << 0 << 0 << 1 << 0 << 2 << "1 1 0 0" << "0 0" << -7 << 1;
    QTest::newRow("standard semi, no product")
        << 0 << 0 << 1 << 0 << 0 << 2 << "0 1 0 0" << "0 2" << -7 << 1;
    QTest::newRow("standard product as stored")
        << 0 << 0 << 0 << 5 << 0 << 2 << "5 1 0 0" << "0 0" << -7 << 1;
    QTest::newRow("standard NG pulse") << 0 << 0 << 0 << 1 << 1 << 2 << "1 1 0 0" << "0 0" << -7 << 0;
    QTest::newRow("auto parts semi") << 3 << 0 << 1 << 1 << 0 << 2 << "1 1 0 0" << "0 2" << -7 << 1;
    QTest::newRow("two-colour left") << 1 << 0 << 0 << 1 << 0 << 4 << "1 1 0 0" << "0 2" << 1 << -7;
    QTest::newRow("two-colour right, no product")
        << 1 << 1 << 0 << 0 << 0 << 4 << "0 0 0 1" << "0 3" << 0 << -7;
    QTest::newRow("two-colour all") << 1 << 2 << 0 << 1 << 0 << 4 << "1 1 1 1" << "0 255" << -7 << -7;
    QTest::newRow("two-colour select 3 is all")
        << 1 << 3 << 1 << 0 << 0 << 4 << "0 1 0 1" << "0 255" << -7 << -7;
    QTest::newRow("two-colour select 7 is left")
        << 1 << 7 << 0 << 1 << 0 << 4 << "1 1 0 0" << "0 2" << 1 << -7;
    QTest::newRow("two-colour select -1 is left")
        << 1 << -1 << 0 << 1 << 0 << 4 << "1 1 0 0" << "0 2" << 1 << -7;
    QTest::newRow("turntable left") << 2 << 0 << 0 << 1 << 0 << 4 << "1 1 0 0" << "0 0" << 1 << -7;
    QTest::newRow("turntable left semi") << 2 << 0 << 1 << 1 << 0 << 4 << "1 1 0 0" << "0 2" << 1 << -7;
    QTest::newRow("turntable right") << 2 << 1 << 0 << 1 << 0 << 4 << "0 0 1 1" << "3 3" << 0 << -7;
    QTest::newRow("turntable right semi") << 2 << 1 << 1 << 1 << 0 << 4 << "0 0 1 1" << "3 2" << 0 << -7;
    QTest::newRow("turntable all") << 2 << 2 << 0 << 1 << 0 << 4 << "1 1 1 1" << "255 255" << -7 << -7;
    QTest::newRow("turntable all semi") << 2 << 2 << 1 << 1 << 0 << 4 << "1 1 1 1" << "255 2" << -7 << -7;
}

void TestWizardParaStore::standardAndPairLayout()
{
    QFETCH(int, mode);
    QFETCH(int, moldSelect);
    QFETCH(int, semi);
    QFETCH(int, prod);
    QFETCH(int, ngPulse);
    QFETCH(int, dnum);
    QFETCH(QString, enabled);
    QFETCH(QString, triggers);
    QFETCH(int, leftPair);
    QFETCH(int, areaInvert);

    Rows rows = GoldenParam();
    SetPos(rows, "numFailDetect", 1, QString::number(mode));
    SetPos(rows, "numFailDetect", 2, QString::number(moldSelect));
    SetPos(rows, "system1", 1, QString::number(semi));
    SetPos(rows, "system1", 2, QString::number(prod));
    SetPos(rows, "system2", 7, QString::number(ngPulse));
    SetPos(rows, "system9", 15, "0");   // productOkNgOutputs
    const Loaded l = Load(rows);
    const WizardPara& p = l.para;

    QCOMPARE(gDNum, dnum);
    QCOMPARE(p.statusLampCount, 4);
    QCOMPARE(Ints(p.detectEnabled, 4), IntsOf(enabled));
    QCOMPARE(Ints(p.detectTriggerInput, 2), IntsOf(triggers));
    QCOMPARE(l.leftPairActive, leftPair);
    if (mode == 1 || mode == 2)
        QVERIFY(p.moldSelect >= 0 && p.moldSelect <= 3);
    const QVector<int> storedInvert = {Golden("system7", 15), Golden("system7", 16),
                                       Golden("system7", 17), Golden("system7", 18)};
    QCOMPARE(Ints(p.outputInvert + 4, 4),
             areaInvert == -7 ? storedInvert : QVector<int>(4, areaInvert));
}

void TestWizardParaStore::multiDetectLayout_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("detectRows");   // multiDetectRow [0..7]
    QTest::addColumn<QString>("rowTriggers");  // multiRowTrigger [0..7]
    QTest::addColumn<int>("prod");
    QTest::addColumn<QString>("enabled");
    QTest::addColumn<QString>("triggers");
    QTest::addColumn<QString>("active");       // multiDetectRowActive

    QTest::newRow("three detections")
        << 3 << "-1 2 0 1 1 1 1 1" << "0 0 5 0 0 0 0 0" << 1
        << "0 1 1 0 0 0 0 0" << "-1 6 0 -1 -1 -1 -1 -1" << "-1 2 0 0 0 0 0 0";
    QTest::newRow("product off stops detection 0")
        << 2 << "0 1 0 0 0 0 0 0" << "7 1 0 0 0 0 0 0" << 0
        << "0 1 0 0 0 0 0 0" << "-1 2 -1 -1 -1 -1 -1 -1" << "0 1 0 0 0 0 0 0";
    QTest::newRow("all eight") << 8 << "0 1 2 3 4 5 6 7" << "0 1 2 3 4 5 6 7" << 1
                               << "1 1 1 1 1 1 1 1" << "0 2 3 4 5 6 7 8" << "0 1 2 3 4 5 6 7";
    QTest::newRow("row outside the table is not in use")
        << 3 << "8 -2 0 0 0 0 0 0" << "1 0 0 0 0 0 0 0" << 1
        << "0 0 1 0 0 0 0 0" << "-1 -1 2 -1 -1 -1 -1 -1" << "-1 -1 0 0 0 0 0 0";
    QTest::newRow("trigger outside the table is not in use")
        << 2 << "0 1 0 0 0 0 0 0" << "8 -1 0 0 0 0 0 0" << 1
        << "0 0 0 0 0 0 0 0" << "-1 -1 -1 -1 -1 -1 -1 -1" << "0 1 0 0 0 0 0 0";
}

void TestWizardParaStore::multiDetectLayout()
{
    QFETCH(int, count);
    QFETCH(QString, detectRows);
    QFETCH(QString, rowTriggers);
    QFETCH(int, prod);
    QFETCH(QString, enabled);
    QFETCH(QString, triggers);
    QFETCH(QString, active);

    Rows rows = GoldenParam();
    SetPos(rows, "numFailDetect", 1, "4");
    SetPos(rows, "system1", 2, QString::number(prod));
    SetPos(rows, "system8", 1, QString::number(count));
    const QStringList r = detectRows.split(' ');
    const QStringList t = rowTriggers.split(' ');
    for (int i = 0; i < 8; ++i) {
        SetPos(rows, "system9", 1 + i, r[i]);
        SetPos(rows, "system8", 2 + i, t[i]);
    }
    const Loaded l = Load(rows);
    QCOMPARE(gDNum, count);
    QCOMPARE(l.para.statusLampCount, count);
    QCOMPARE(Ints(l.para.detectEnabled, 8), IntsOf(enabled));
    QCOMPARE(Ints(l.para.detectTriggerInput, 8), IntsOf(triggers));
    QCOMPARE(Ints(l.para.multiDetectRowActive, 8), IntsOf(active));
    QCOMPARE(Ints(l.para.multiDetectRow, 8), IntsOf(detectRows));   // stored values kept
    QCOMPARE(l.leftPairActive, -7);
}

void TestWizardParaStore::garbledNumberRows_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("stored");
    QTest::newRow("not a number") << "system2" << "1 x 3 4";
    QTest::newRow("glued garbage") << "system4" << "1 2abc 3";
    QTest::newRow("too large for int") << "system3" << "1 1 0 0 1 99999999999";
    QTest::newRow("decimal point") << "exposeTime" << "50 50.0 50 50";
    QTest::newRow("empty") << "exposeTime" << "";
    QTest::newRow("too many values") << "adjustPlus" << "1 2 3 4 5";
    QTest::newRow("comma list") << "numAllDetect" << "90,90,90,90,90,90,90,90";
}

void TestWizardParaStore::garbledNumberRows()
{
    // Reported like a failed read; the row's fields take the first-start
    // values (not zeros), the language is not switched, and the save mends
    // the row.
    QFETCH(QString, row);
    QFETCH(QString, stored);
    Rows rows = GoldenParam();
    rows[row] = stored;
    gLan = 2;
    const Loaded l = Load(rows);
    QVERIFY(!l.result.ok);
    QCOMPARE(l.result.messageId, 160);
    QVERIFY2(l.result.detail.contains(row), qPrintable(l.result.detail));
    const ParamRow* layout = FindSysParamRow(row);
    QVERIFY(layout);
    const QString expected = SysParamRowValue(FirstStartParameters(), *layout);
    QCOMPARE(SysParamRowValue(l.para, *layout).section(' ', 0, 11), expected.section(' ', 0, 11));
    if (row == "system2")
        QCOMPARE(gLan, 2);
    if (row == "exposeTime")
        QCOMPARE(l.para.exposure[0], 30);
    // Every other row loaded as stored.
    QCOMPARE(Field(l.para, "minimumSize"), row == "system4" ? 3 : Golden("system4", 14));
    // Nothing was unreadable: the save goes through and writes a sound row.
    const ParamStoreResult saved = Save(l.para);
    QVERIFY2(saved.ok, qPrintable(saved.detail));
    QCOMPARE(ReadTable("PARAM.db").value(row).toString(), SysParamRowValue(l.para, *layout));
}

void TestWizardParaStore::missingRows()
{
    Rows rows = GoldenParam();
    SetPos(rows, "system1", 5, "1");   // stopForbidsClamp
    rows.remove("system9");
    rows.remove("system7");
    rows.remove("exposeTime");
    const Loaded l = Load(rows);
    QVERIFY(l.result.ok);
    // Fields of a missing row take their first-start values; a field that
    // another row also holds keeps that row's value.
    QCOMPARE(l.para.roiNgWarnCount, 2);
    QCOMPARE(l.para.stopForbidsClamp, 1);
    QCOMPARE(l.para.separateDetectSignal, 0);
    QCOMPARE(Ints(l.para.exposure, 4), QVector<int>(4, 30));
    QCOMPARE(l.para.outputInvert[2], 1);
    // Only system7 .. system12 are recreated by the load, with the
    // first-start values.
    const Rows after = ReadTable("PARAM.db");
    QCOMPARE(after.value("system9").toString(), QString("0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 2 0 0 0 0"));
    QCOMPARE(after.value("system7").toString(), QString("0 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0"));
    QVERIFY(!after.contains("exposeTime"));
    // The save writes every row, the missing one too.
    QVERIFY(Save(l.para).ok);
    QCOMPARE(ReadTable("PARAM.db").value("exposeTime").toString(), QString("30 30 30 30"));
    QCOMPARE(ReadTable("PARAM.db").value("system9").toString().split(' ').value(15), QString("2"));
}

void TestWizardParaStore::firstStart_data()
{
    QTest::addColumn<int>("kind");   // 0: new file, 1: zero bytes, 2: other tables only
    QTest::newRow("new file") << 0;
    QTest::newRow("zero bytes") << 1;
    QTest::newRow("no sysparam table") << 2;
}

void TestWizardParaStore::firstStart()
{
    // A PARAM.db without its table is a first start, not a failure: the
    // table is made with the first-start values, which the record holds.
    QFETCH(int, kind);
    if (kind == 1)
        env_->writeFile("PARAM.db", QByteArray());
    if (kind == 2) {
        Db create(QStringLiteral("PARAM.db"));
        QVERIFY(create.exec("create table cammer0(name text, value text)"));
    }
    env_->writeFile("SN.db", QByteArray());   // SN.db without its table too
    const Loaded l = LoadFiles();
    QVERIFY2(l.result.ok, qPrintable(l.result.detail));
    const WizardPara& p = l.para;
    for (int c = 0; c < kCameraSlots; ++c) {
        QCOMPARE(p.exposure[c], 30);
        QCOMPARE(p.gain[c], 32);
        QCOMPARE(p.contrast[c], 100);
        QCOMPARE(p.gamma[c], 100);
    }
    QCOMPARE(p.outputInvert[2], 1);   // the alarm output, as the default system7 row
    QCOMPARE(p.templateCount, 10);
    QCOMPARE(p.minimumSize, 3);
    QCOMPARE(p.minimumArea, 100);
    QCOMPARE(p.minSpot, 3);
    QCOMPARE(p.maxOffset, 8000);
    QCOMPARE(p.defectEnabled, 1);
    QCOMPARE(p.multiDetectCount, 2);
    QCOMPARE(p.roiNgWarnCount, 2);
    // The file holds the same values.
    const Rows stored = ReadTable("PARAM.db");
    QCOMPARE(int(stored.size()), int(std::size(kStoredRows)));
    QCOMPARE(stored.value("exposeTime").toString(), QString("30 30 30 30"));
    QCOMPARE(stored.value("adjustPlus").toString(), QString("32 32 32 32"));
    QCOMPARE(stored.value("contrast").toString(), QString("100 100 100 100"));
    QCOMPARE(stored.value("numAllDetect").toString(), QString("100 100 100 100 100 100 100 100"));
    QCOMPARE(stored.value("system7").toString().split(' ').value(6), QString("1"));
    QCOMPARE(stored.value("system5").toString().section(' ', 0, 7), QString("30 30 32 32 0 0 100 100"));
    // The serial rows exist; the next start is quiet and loads the same record.
    QCOMPARE(QByteArray(gSerialNB[3]), QByteArray("0"));
    const Loaded again = LoadFiles();
    QVERIFY2(again.result.ok, qPrintable(again.result.detail));
    QVERIFY(again.para == l.para);
}

void TestWizardParaStore::unreadableDatabase()
{
    const QByteArray file = QByteArray("this is not an SQLite file").repeated(100);
    env_->writeFile("PARAM.db", file);
    WriteTable(QStringLiteral("SN.db"), GoldenSerials());
    const Loaded l = LoadFiles();
    QVERIFY(!l.result.ok);
    QCOMPARE(l.result.messageId, 160);
    QVERIFY(l.result.detail.contains("trigInDelay"));
    // The record holds the first-start values.
    const WizardPara& p = l.para;
    QCOMPARE(p.exposure[0], 30);
    QCOMPARE(p.contrast[0], 100);
    QCOMPARE(p.gamma[7], 100);
    QCOMPARE(p.templateCount, 10);
    QCOMPARE(p.minimumSize, 3);
    QCOMPARE(p.minimumArea, 100);
    QCOMPARE(p.maxOffset, 8000);
    QCOMPARE(p.minSpot, 3);
    QCOMPARE(p.defectEnabled, 1);
    QCOMPARE(p.multiDetectCount, 2);
    QCOMPARE(p.videoShareMode, 1);
    QCOMPARE(p.roiNgWarnCount, 2);
    QCOMPARE(p.systemMode, 0);
    QCOMPARE(gDNum, 2);

    // A damaged file is reported and left as it is.
    const ParamStoreResult saved = Save(p);
    QVERIFY(!saved.ok);
    QCOMPARE(saved.messageId, 160);
    QCOMPARE(env_->readFile("PARAM.db"), file);
}

void TestWizardParaStore::damagedPagesRefuseTheSave()
{
    // Page 1 reads, the table's later pages do not: every lookup fails.  No
    // row may be inserted into the damaged table, and the record, which
    // never saw the stored rows, is not saved over them.
    Rows rows = GoldenParam();
    for (int i = 0; i < 40; ++i)
        rows[QStringLiteral("filler%1").arg(i)] = QString(1000, QChar('a' + i % 26));
    rows.remove("system9");   // a row the load would recreate
    WriteTable(QStringLiteral("PARAM.db"), rows);
    WriteTable(QStringLiteral("SN.db"), GoldenSerials());
    QByteArray bytes = env_->readFile("PARAM.db");
    QVERIFY(bytes.size() > 8 * 4096);
    bytes.replace(bytes.size() - 4096, 4096, QByteArray(4096, '\x5a'));
    env_->writeFile("PARAM.db", bytes);

    const Loaded l = LoadFiles();
    QVERIFY(!l.result.ok);
    QCOMPARE(l.result.messageId, 160);
    QVERIFY(l.para.unreadRows > 0);
    const ParamStoreResult saved = Save(l.para);
    QVERIFY(!saved.ok);
    QCOMPARE(saved.messageId, 160);
    QVERIFY2(saved.detail.contains("not saved"), qPrintable(saved.detail));
    QCOMPARE(env_->readFile("PARAM.db"), bytes);
}

void TestWizardParaStore::textRows_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("loaded");
    QTest::addColumn<QString>("saved");

    const QString a99(99, 'a');
    const QString zh33 = QString::fromUtf8("张").repeated(33);   // 99 bytes of UTF-8
    QTest::newRow("ascii") << "CntNet_UseName" << QVariant("eth1") << "eth1" << "eth1";
    QTest::newRow("quote") << "password" << QVariant("it's") << "it's" << "it's";
    QTest::newRow("chinese password") << "password" << QVariant("密码") << "密码" << "密码";
    QTest::newRow("chinese technician") << "CntNet_MsgTechName" << QVariant("李工") << "李工" << "李工";
    QTest::newRow("99 bytes") << "CntNet_Operator" << QVariant(a99) << a99 << a99;
    QTest::newRow("99 bytes utf-8") << "CntNet_ProName" << QVariant(zh33) << zh33 << zh33;
    QTest::newRow("100 bytes") << "CntNet_Operator" << QVariant(a99 + 'a') << a99 << a99;
    const QString zh34 = QString::fromUtf8("张").repeated(34);   // 102 bytes
    QTest::newRow("102 bytes utf-8") << "CntNet_ProName" << QVariant(zh34) << zh33 << zh33;
    const QString cut = QString(98, 'a') + QString::fromUtf8("张");   // 101 bytes: the last character goes whole
    QTest::newRow("character across the end") << "CntNet_ProName" << QVariant(cut) << QString(98, 'a')
                                              << QString(98, 'a');
    QTest::newRow("latin-1 bytes") << "CntNet_MsgTechNum" << QVariant(QByteArray("caf\xE9"))
                                   << QString::fromUtf8("café") << QString::fromUtf8("café");
    QTest::newRow("utf-8 bytes") << "CntNet_MsgTechNum" << QVariant(QByteArray("\xE6\x9D\x8E"))
                                 << QString::fromUtf8("李") << QString::fromUtf8("李");
}

void TestWizardParaStore::textRows()
{
    QFETCH(QString, row);
    QFETCH(QVariant, stored);
    QFETCH(QString, loaded);
    QFETCH(QString, saved);
    Rows rows = GoldenParam();
    rows[row] = stored;
    const Loaded l = Load(rows);
    const ParamRow* layout = FindSysParamRow(row);
    QVERIFY(layout);
    const QString text = WizardPara::Text(ParamText(l.para, layout->values.front().offset));
    QCOMPARE(text, loaded);
    QVERIFY(Save(l.para).ok);
    QCOMPARE(ReadTable("PARAM.db").value(row).toString(), saved);
    // A second round changes nothing.
    const Loaded again = LoadFiles();
    QVERIFY(again.para == l.para);
}

void TestWizardParaStore::nonUtf8TextHeldAsText()
{
    // Older files hold Latin-1 bytes in TEXT values; SQLite hands them out
    // as they are only when asked for a blob.
    WriteTable(QStringLiteral("PARAM.db"), GoldenParam());
    WriteTable(QStringLiteral("SN.db"), GoldenSerials());
    {
        Db d(QStringLiteral("PARAM.db"));
        QVERIFY(d.exec("update sysparam set value = cast(x'436166E920C86C6576E9' as text) "
                       "where name = 'CntNet_MsgTechName'"));
        QSqlQuery q(d.db);
        QVERIFY(q.exec("select typeof(value) from sysparam where name = 'CntNet_MsgTechName'"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QString("text"));
    }
    const Loaded l = LoadFiles();
    QVERIFY(l.result.ok);
    QCOMPARE(WizardPara::Text(l.para.techName), QString::fromUtf8("Café Èlevé"));
}

void TestWizardParaStore::serials()
{
    Rows sn = GoldenSerials();
    sn["serialNB0"] = "ABCDEFGHI";                 // 9: taken
    sn["serialNB1"] = "ABCDEFGH";                  // 8: ignored
    sn["serialNB2"] = QString(99, 'x');            // 99: taken
    sn.remove("serialNB3");                        // missing: "0" and created
    sn["serialNB4"] = QString(100, 'y');           // 100: ignored
    std::strcpy(gSerialNB[1], "previous");
    std::strcpy(gSerialNB[4], "earlier");
    const Loaded l = Load(GoldenParam(), sn);
    QVERIFY(l.result.ok);
    QCOMPARE(QByteArray(gSerialNB[0]), QByteArray("ABCDEFGHI"));
    QCOMPARE(QByteArray(gSerialNB[1]), QByteArray("previous"));
    QCOMPARE(QByteArray(gSerialNB[2]), QByteArray(99, 'x'));
    QCOMPARE(QByteArray(gSerialNB[3]), QByteArray("0"));
    QCOMPARE(QByteArray(gSerialNB[4]), QByteArray("earlier"));
    QCOMPARE(QByteArray(gSerialNB[7]), QByteArray("KE0-7-4567"));
    QCOMPARE(l.para.storedSerialCount, 5);
    QCOMPARE(ReadTable("SN.db").value("serialNB3").toString(), QString("0"));
}

void TestWizardParaStore::labelsFromFile()
{
    env_->writeFile("name.txt", QByteArray("Open A\nSafety B\r\n开模\n"));
    Load(GoldenParam());
    QCOMPARE(gaName[0], QString("Open A"));
    QCOMPARE(gaName[1], QString("Safety B"));
    QCOMPARE(gaName[2], QString::fromUtf8("开模"));
    for (int i = 3; i < 8; ++i)
        QVERIFY(gaName[i].isEmpty());
    QCOMPARE(gaName[8], QString("untouched"));
}

void TestWizardParaStore::defaultLabels_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("ids");
    QTest::newRow("standard") << 0 << "301 302 303 304 305 306 307 304";
    QTest::newRow("auto parts") << 3 << "301 302 303 304 305 306 307 304";
    QTest::newRow("two-colour") << 1 << "301 302 376 377 305 378 307 304";
    QTest::newRow("turntable") << 2 << "379 380 381 382 378 306 307 304";
}

void TestWizardParaStore::defaultLabels()
{
    QFETCH(int, mode);
    QFETCH(QString, ids);
    Rows rows = GoldenParam();
    SetPos(rows, "numFailDetect", 1, QString::number(mode));
    SetPos(rows, "system2", 13, "2");   // Traditional Chinese
    Load(rows);
    QStringList expected;
    for (const QString& id : ids.split(' '))
        expected << QStringLiteral("m%1.2").arg(id);
    QCOMPARE(QStringList(gaName, gaName + 8), expected);
}

void TestWizardParaStore::multiDetectLabels()
{
    Rows rows = GoldenParam();
    SetPos(rows, "numFailDetect", 1, "4");
    SetPos(rows, "system2", 13, "1");   // English
    rows["system10"] = "0 1 2 3 4 5 6 15 0 1 2 3 4 5 6 99 0 0 0 0";
    Load(rows);
    const QStringList expected = {
        "Mol op", "m302.1", "clo door", "op door", "Thim O", "Thim I", "Mol val", "Manip",
        "Neu C O", "Al clam", "Al thim", "m307.1", "Neu A I", "Neu A O", "Neu B I", "Neu B O",
        "Neu C I", "" /* index 99: no such name */};
    QCOMPARE(QStringList(gaName, gaName + kStatusLabels), expected);
}

void TestWizardParaStore::groupIndexFile()
{
    env_->writeFile("sysadd.txt", "7\n");
    Loaded l = Load(GoldenParam());
    QCOMPARE(l.para.paramGroupIndex, 7);

    QVERIFY(QFile::remove("sysadd.txt"));
    l = LoadFiles();
    QCOMPARE(l.para.paramGroupIndex, 0);
    QCOMPARE(env_->readFile("sysadd.txt"), QByteArray("0"));

    l.para.paramGroupIndex = 12;
    QVERIFY(l.para.SaveAddFile());
    QCOMPARE(env_->readFile("sysadd.txt"), QByteArray("12\n"));
    // Restoring a group replaces PARAM.db; the index stays.
    QVERIFY(QFile::remove("PARAM.db"));
    WriteTable(QStringLiteral("PARAM.db"), GoldenParam());
    QCOMPARE(LoadFiles().para.paramGroupIndex, 12);
}

void TestWizardParaStore::failedSaveIsReportedAndRolledBack_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("trigger");
    QTest::newRow("read-only file") << "QSQLITE_OPEN_READONLY" << "";
    QTest::newRow("row refused midway")
        << ""
        << "create trigger refuse before update on sysparam when new.name = 'system5' "
           "begin select raise(abort, 'refused'); end";
}

void TestWizardParaStore::failedSaveIsReportedAndRolledBack()
{
    QFETCH(QString, options);
    QFETCH(QString, trigger);
    const Rows golden = GoldenParam();
    Loaded l = Load(golden);
    if (!trigger.isEmpty()) {
        Db d(QStringLiteral("PARAM.db"));
        QVERIFY(d.exec(trigger));
    }
    RecordingRelayLink relay;
    gpNet = &relay;
    l.para.netEnabled = 1;
    l.para.exposure[0] = 1;   // an edit of a row written before system5
    l.para.rotationAngle = 1;

    const ParamStoreResult saved = Save(l.para, QStringLiteral("PARAM.db"), options);
    QVERIFY(!saved.ok);
    QCOMPARE(saved.messageId, 160);
    QVERIFY(!saved.detail.isEmpty());
    QVERIFY(relay.calls().isEmpty());
    // Nothing of the failed save is left in the file.
    QCOMPARE(Texts(ReadTable("PARAM.db")), Texts(golden));
    // The connection is usable again afterwards.
    if (!trigger.isEmpty()) {
        Db d(QStringLiteral("PARAM.db"));
        QVERIFY(d.exec("drop trigger refuse"));
    }
    QVERIFY(Save(l.para).ok);
    QCOMPARE(ReadTable("PARAM.db").value("exposeTime").toString().split(' ').first(), QString("1"));
}

void TestWizardParaStore::relayToldAfterCommit_data()
{
    QTest::addColumn<bool>("haveLink");
    QTest::addColumn<int>("netEnabled");
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("alive");
    QTest::addColumn<bool>("told");
    QTest::newRow("all on") << true << 1 << true << true << true;
    QTest::newRow("remote off") << true << 0 << true << true << false;
    QTest::newRow("not listening") << true << 1 << false << true << false;
    QTest::newRow("relay not connected") << true << 1 << true << false << false;
    QTest::newRow("no link yet") << false << 1 << true << true << false;
}

void TestWizardParaStore::relayToldAfterCommit()
{
    QFETCH(bool, haveLink);
    QFETCH(int, netEnabled);
    QFETCH(bool, open);
    QFETCH(bool, alive);
    QFETCH(bool, told);
    Loaded l = Load(GoldenParam());
    ProbeRelay relay;
    relay.open = open;
    relay.alive = alive;
    gpNet = haveLink ? &relay : nullptr;
    l.para.netEnabled = netEnabled;
    l.para.exposure[0] = 42;
    QVERIFY(Save(l.para).ok);
    QCOMPARE(relay.calls(), told ? QStringList({"param"}) : QStringList());
    if (told)   // the relay reads what was committed
        QCOMPARE(relay.seenExposeTime.split(' ').first(), QString("42"));
}

void TestWizardParaStore::chkDBItem()
{
    Rows rows = GoldenParam();
    rows.remove("CntNet");
    WriteTable(QStringLiteral("PARAM.db"), rows);
    {
        Db d(QStringLiteral("PARAM.db"));
        QVERIFY(WizardPara::SaveChkDBItem(d.db, "CntNet"));
        QVERIFY(WizardPara::SaveChkDBItem(d.db, "system1"));
    }
    const Rows after = ReadTable("PARAM.db");
    QCOMPARE(after.value("CntNet").toString(), QString("0"));
    QCOMPARE(after.value("system1"), rows.value("system1"));
}

QTEST_GUILESS_MAIN(TestWizardParaStore)
#include "tst_wizardparastore.moc"
