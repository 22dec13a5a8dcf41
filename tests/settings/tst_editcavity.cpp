// The cavity-name dialog on CavityDatabase.db: a new file with both tables
// and their default rows, a file with only the saved table, editing across
// cameras with Cancel and Confirm, bound values, no white space in a name,
// the default for an empty field, the lookups from memory with their
// limits, and a damaged file kept aside.
#include "cameraglobals.h"
#include "colorbutton.h"
#include "combobox.h"
#include "edit.h"
#include "editcavitywidget.h"
#include "keypadhost.h"
#include "messages.h"
#include "readonlyfolder.h"
#include "settingspage.h"
#include "testenv.h"

#include <QDir>
#include <QLabel>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

namespace {

class FakeSettingsPage : public SettingsPage {
public:
    int shows = 0;
    void showPage() override { ++shows; }
    void hidePage() override {}
    bool pageShown() const override { return false; }
    void acceptPage() override {}
    QWidget* pageWidget() override { return nullptr; }
};

QString defaultsJoined()
{
    return EditCavitywidget::DefaultNames().join(' ');
}

QString names(const QString& prefix)
{
    QStringList out;
    for (int k = 1; k <= 16; ++k)
        out << prefix + QString::number(k);
    return out.join(' ');
}

// Rows of table in a file, "CameraN=column", read on a connection of the test's own.
QStringList rows(const QString& file, const QString& table)
{
    QStringList out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "peek");
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("select Camera, CavityName from %1 order by Camera").arg(table));
            while (q.next())
                out << q.value(0).toString() + "=" + q.value(1).toString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("peek");
    return out;
}

void seed(const QString& file, const QStringList& statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "seed");
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString& s : statements)
            QVERIFY2(q.exec(s), qPrintable(s));
        db.close();
    }
    QSqlDatabase::removeDatabase("seed");
}

struct Cavity {
    TestEnv env;
    FakeSettingsPage settings;
    QStringList labels[8];
    int labelCalls = 0;
    std::unique_ptr<EditCavitywidget> w;
    int oldCameras = numCamera;

    explicit Cavity(int cameras = 2) { numCamera = cameras; }
    ~Cavity()
    {
        w.reset();
        numCamera = oldCameras;
    }
    EditCavitywidget& open()
    {
        w = std::make_unique<EditCavitywidget>(&settings, [this](int slot, const QStringList& n) {
            labels[slot] = n;
            ++labelCalls;
        });
        w->Databaseinit();
        w->init();
        return *w;
    }
    QStringList edits() const
    {
        QStringList out;
        for (Edit* e : w->nameEdit)
            out << e->text();
        return out;
    }
    QString file() const { return env.path(EditCavitywidget::kFile); }
};

} // namespace

class TestEditCavity : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void cleanup() { gLan = LanSimplifiedChinese; }

    void newFileGetsBothTablesWithDefaultsInEveryLanguage();
    void fileWithOnlyTheSavedTableKeepsItsNames();
    void editsSurviveACameraSwitchAndCancelDropsThem();
    void confirmSavesEveryEditedCamera();
    void namesAreBoundValues();
    void aNameTakesNoWhiteSpaceAndAnEmptyFieldItsDefault();
    void lookupsAnswerFromMemoryWithinTheirLimits();
    void aDamagedFileIsKeptAsideAndDefaultsStart();
    void namesNotWrittenLeaveTheSavedOnesEverywhere();
    void fitsTheScreenCentred();
};

void TestEditCavity::newFileGetsBothTablesWithDefaultsInEveryLanguage()
{
    for (int lan : {LanSimplifiedChinese, LanEnglish}) {
        gLan = lan;
        Cavity c;
        EditCavitywidget& w = c.open();
        QCOMPARE(EditCavitywidget::DefaultNames().first(), QString::fromUtf8("模腔1"));
        QCOMPARE(EditCavitywidget::DefaultNames().last(), QString::fromUtf8("模腔16"));
        QStringList expected;
        for (int k = 0; k < 8; ++k)
            expected << QStringLiteral("Camera%1=").arg(k) + defaultsJoined();
        QCOMPARE(rows(c.file(), "CavityName_table"), expected);
        QCOMPARE(rows(c.file(), "TempSave_table"), expected);
        // The views in use read the defaults; the others are left alone.
        QCOMPARE(c.labels[0], EditCavitywidget::DefaultNames());
        QCOMPARE(c.labels[1], EditCavitywidget::DefaultNames());
        QVERIFY(c.labels[2].isEmpty());
        QCOMPARE(c.edits(), EditCavitywidget::DefaultNames());
        // Labels and the camera box in the interface language.
        QCOMPARE(w.cavityLabel[0]->text(), Msg(460));
        QCOMPARE(w.cavityLabel[15]->text(), Msg(603));
        QCOMPARE(w.cameraBox->count(), 2);
        QCOMPARE(w.cameraBox->itemText(1), Msg(595).arg(2));
        if (lan == LanEnglish)
            QCOMPARE(w.cavityLabel[15]->text(), QString("16#"));
    }
}

void TestEditCavity::fileWithOnlyTheSavedTableKeepsItsNames()
{
    Cavity c;
    QStringList seedRows = {"create table CavityName_table(Camera varchar(32) primary key,CavityName varchar(32))"};
    for (int k = 0; k < 8; ++k)
        seedRows << QStringLiteral("insert into CavityName_table values('Camera%1','%2')").arg(k).arg(names(QString("S%1-").arg(k)));
    seed(c.file(), seedRows);
    c.open();
    QCOMPARE(rows(c.file(), "CavityName_table").value(1), "Camera1=" + names("S1-"));
    // The working copy was made with defaults, then the opening copied the saved names in.
    QCOMPARE(rows(c.file(), "TempSave_table").value(3), "Camera3=" + names("S3-"));
    QCOMPARE(c.edits().join(' '), names("S0-"));
    QCOMPARE(c.labels[1].join(' '), names("S1-"));
    QCOMPARE(c.w->getResult(1, 4), QString("S1-5"));
}

void TestEditCavity::editsSurviveACameraSwitchAndCancelDropsThem()
{
    Cavity c;
    EditCavitywidget& w = c.open();
    w.show();
    w.nameEdit[0]->setText("Front");
    w.cameraBox->setCurrentIndex(1);
    QCOMPARE(w.currentCamera, 1);
    QCOMPARE(c.edits(), EditCavitywidget::DefaultNames());
    w.cameraBox->setCurrentIndex(0);
    QCOMPARE(w.nameEdit[0]->text(), QString("Front"));

    // Cancel: hidden, the settings back, the keypad target let go, nothing saved.
    keypadHost().setKeypadTarget(w.nameEdit[0]);
    w.cancelButton->click();
    QVERIFY(!w.isVisible());
    QCOMPARE(c.settings.shows, 1);
    QVERIFY(!keypadHost().keypadTarget());
    QCOMPARE(w.getResult(0, 0), QString::fromUtf8("模腔1"));
    QCOMPARE(rows(c.file(), "CavityName_table").value(0), "Camera0=" + defaultsJoined());
    // The next opening starts from the saved names again.
    w.init();
    QCOMPARE(w.nameEdit[0]->text(), QString::fromUtf8("模腔1"));
}

void TestEditCavity::confirmSavesEveryEditedCamera()
{
    Cavity c(3);
    EditCavitywidget& w = c.open();
    w.show();
    w.nameEdit[0]->setText("A");
    w.cameraBox->setCurrentIndex(2);
    w.nameEdit[15]->setText("Z");
    c.labelCalls = 0;
    w.confirmButton->click();
    QVERIFY(!w.isVisible());
    QCOMPARE(c.settings.shows, 1);
    QStringList zero = EditCavitywidget::DefaultNames();
    zero[0] = "A";
    QStringList two = EditCavitywidget::DefaultNames();
    two[15] = "Z";
    QCOMPARE(rows(c.file(), "CavityName_table").value(0), "Camera0=" + zero.join(' '));
    QCOMPARE(rows(c.file(), "CavityName_table").value(1), "Camera1=" + defaultsJoined());
    QCOMPARE(rows(c.file(), "CavityName_table").value(2), "Camera2=" + two.join(' '));
    // Every view in use relabelled, and the lookups follow.
    QCOMPARE(c.labelCalls, 3);
    QCOMPARE(c.labels[0], zero);
    QCOMPARE(c.labels[2], two);
    QCOMPARE(w.getResult(0, 0), QString("A"));
    QCOMPARE(w.getResult(2, 15), QString("Z"));
    // The box keeps its camera between openings, and the edits show it.
    w.init();
    QCOMPARE(w.currentCamera, 2);
    QCOMPARE(w.nameEdit[15]->text(), QString("Z"));
}

void TestEditCavity::namesAreBoundValues()
{
    Cavity c;
    EditCavitywidget& w = c.open();
    const QString quote = "O'Brien";
    const QString crafted = "x'where(1=1)--";
    w.nameEdit[0]->setText(quote);
    w.nameEdit[1]->setText(crafted);
    w.Accept();
    QCOMPARE(w.getResult(0, 0), quote);
    QCOMPARE(w.getResult(0, 1), crafted);
    // Nothing but the edited row changed.
    QCOMPARE(rows(c.file(), "CavityName_table").value(1), "Camera1=" + defaultsJoined());
    // And they come back from the file.
    c.w.reset();
    c.open();
    QCOMPARE(c.w->getResult(0, 0), quote);
    QCOMPARE(c.w->nameEdit[1]->text(), crafted);
}

void TestEditCavity::aNameTakesNoWhiteSpaceAndAnEmptyFieldItsDefault()
{
    Cavity c;
    EditCavitywidget& w = c.open();
    struct Case {
        int field;
        QString typed;
        QString shown;
        QString stored;
    };
    const QList<Case> cases = {
        {0, "a b", "ab", "ab"},
        {1, " \tlead", "lead", "lead"},
        {2, "", "", QString::fromUtf8("模腔3")},
        {3, "   ", "", QString::fromUtf8("模腔4")},
        {4, QString::fromUtf8("前\u3000腔"), QString::fromUtf8("前腔"), QString::fromUtf8("前腔")},
    };
    for (const Case& k : cases) {
        w.nameEdit[k.field]->setText(k.typed);
        QCOMPARE(w.nameEdit[k.field]->text(), k.shown);
    }
    // Typed on a keyboard too.
    w.nameEdit[5]->clear();
    QTest::keyClicks(w.nameEdit[5], "c d");
    QCOMPARE(w.nameEdit[5]->text(), QString("cd"));
    w.Accept();
    for (const Case& k : cases)
        QCOMPARE(w.getResult(0, k.field), k.stored);
    QCOMPARE(w.getResult(0, 5), QString("cd"));
    // Every later name keeps its place.
    QCOMPARE(w.getResult(0, 6), QString::fromUtf8("模腔7"));
    QCOMPARE(w.getResult(0, 15), QString::fromUtf8("模腔16"));
}

void TestEditCavity::lookupsAnswerFromMemoryWithinTheirLimits()
{
    Cavity c(3);
    // Camera 1 has no saved row; camera 2 a short one.
    QStringList seedRows = {"create table CavityName_table(Camera varchar(32) primary key,CavityName varchar(32))",
                            "create table TempSave_table(Camera varchar(32) primary key,CavityName varchar(32))",
                            "insert into CavityName_table values('Camera0','" + names("N") + "')",
                            "insert into CavityName_table values('Camera2','P Q')"};
    seed(c.file(), seedRows);
    EditCavitywidget& w = c.open();
    struct Case {
        int camera, index;
        QString expected;
    };
    const QList<Case> cases = {
        {0, 0, "N1"}, {0, 15, "N16"}, {2, 1, "Q"}, {2, 2, ""},   // missing words read empty
        {1, 0, ""},                                             // no row: not another camera's names
        {3, 0, ""}, {8, 0, ""}, {-1, 0, ""},                    // not a camera in use
        {0, 16, ""}, {0, -1, ""},                               // no such cavity
    };
    auto check = [&] {
        for (const Case& k : cases)
            QVERIFY2(w.getResult(k.camera, k.index) == k.expected,
                     qPrintable(QStringLiteral("%1 %2").arg(k.camera).arg(k.index)));
    };
    check();
    QCOMPARE(w.cavityName(0, 3), QString("N4"));
    // The lookups never touch the file.
    QSqlDatabase::database(EditCavitywidget::kConnection, false).close();
    check();
}

void TestEditCavity::aDamagedFileIsKeptAsideAndDefaultsStart()
{
    Cavity c;
    c.env.writeFile(EditCavitywidget::kFile, QByteArray(4096, '\x5a'));
    EditCavitywidget& w = c.open();
    const QStringList aside = QDir(c.env.dir()).entryList({"CavityDatabase.db.broken_*"});
    QCOMPARE(aside.size(), 1);
    QCOMPARE(QFileInfo(c.env.path(aside.first())).size(), qint64(4096));
    QCOMPARE(rows(c.file(), "CavityName_table").size(), 8);
    QCOMPARE(w.getResult(1, 0), QString::fromUtf8("模腔1"));
    w.nameEdit[0]->setText("K");
    w.Accept();
    QCOMPARE(w.getResult(0, 0), QString("K"));
}

void TestEditCavity::namesNotWrittenLeaveTheSavedOnesEverywhere()
{
    Cavity c;
    EditCavitywidget& w = c.open();
    // The working copy takes the edits, the saved table refuses them.
    seed(c.file(), {"create trigger locked before update on CavityName_table "
                    "begin select raise(abort, 'locked'); end"});
    w.show();
    w.nameEdit[0]->setText("New");
    w.confirmButton->click();
    QVERIFY(!w.isVisible());
    QCOMPARE(rows(c.file(), "TempSave_table").value(0).section('=', 1).section(' ', 0, 0), QString("New"));
    // The views and the lookups keep what the file holds.
    QCOMPARE(rows(c.file(), "CavityName_table").value(0), "Camera0=" + defaultsJoined());
    QCOMPARE(w.getResult(0, 0), QString::fromUtf8("模腔1"));
    QCOMPARE(c.labels[0].value(0), QString::fromUtf8("模腔1"));
    // With the folder read-only nothing is written at all, and nothing breaks.
    w.nameEdit[0]->setText("Other");
    {
        ReadOnlyFolder readOnly(c.env.dir());
        if (!readOnly.ok())
            QSKIP("the folder cannot be made read-only here");
        w.Accept();
    }
    QCOMPARE(w.getResult(0, 0), QString::fromUtf8("模腔1"));
}

void TestEditCavity::fitsTheScreenCentred()
{
    const int oldW = gShowW, oldH = gShowH;
    for (QSize screen : {QSize(1920, 1080), QSize(1280, 800), QSize(1024, 600)}) {
        gShowW = screen.width();
        gShowH = screen.height();
        Cavity c;
        EditCavitywidget& w = c.open();
        w.show();
        QVERIFY(QRect(0, 0, gShowW, gShowH).contains(w.geometry()));
        QVERIFY(qAbs(w.geometry().center().x() - gShowW / 2) <= 1);
        for (Edit* e : w.nameEdit)
            QVERIFY(w.rect().contains(e->geometry()));
        QVERIFY(w.rect().contains(w.confirmButton->geometry()));
        if (screen.height() >= 800)
            QCOMPARE(w.nameEdit[0]->size(), QSize(180, 60));
    }
    gShowW = oldW;
    gShowH = oldH;
}

QTEST_MAIN(TestEditCavity)
#include "tst_editcavity.moc"
