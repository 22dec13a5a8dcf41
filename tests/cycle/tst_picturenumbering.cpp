// The start-up repair of the picture numbering: the plan over tables of
// names, and one run on disk.
#include "picturenumbering.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using Folders = QList<QPair<QString, QStringList>>;
Q_DECLARE_METATYPE(Folders)

namespace {
// "folder:from>to" per rename, in the plan's order.
QStringList Describe(const NumberingPlan& plan)
{
    QStringList out;
    for (const PictureRename& r : plan.renames)
        out << QStringLiteral("%1:%2>%3").arg(r.folder, r.from, r.to);
    return out;
}
}

class TestPictureNumbering : public QObject {
    Q_OBJECT
private slots:
    void plan_data()
    {
        QTest::addColumn<Folders>("folders");
        QTest::addColumn<qint64>("serialStart");
        QTest::addColumn<QStringList>("renames");
        QTest::addColumn<qint64>("serial");

        QTest::newRow("two time-stamped pictures: the later one first")
                << Folders{{"a", {"2024-03-01_08.00.00.000.jpg", "2024-03-01_09.30.00.000.jpg"}}} << qint64(100000)
                << QStringList{"a:2024-03-01_09.30.00.000.jpg>99999_2024-03-01_09.30.00.000.jpg",
                               "a:2024-03-01_08.00.00.000.jpg>99998_2024-03-01_08.00.00.000.jpg"}
                << qint64(100100);
        QTest::newRow("numbering runs on over the folders")
                << Folders{{"a", {"2024-03-01_08.00.00.000.jpg"}},
                           {"b", {}},
                           {"c", {"2023-01-01_00.00.00.000.jpg", "2025-01-01_00.00.00.000.jpg"}}}
                << qint64(100000)
                << QStringList{"a:2024-03-01_08.00.00.000.jpg>99999_2024-03-01_08.00.00.000.jpg",
                               "c:2025-01-01_00.00.00.000.jpg>99998_2025-01-01_00.00.00.000.jpg",
                               "c:2023-01-01_00.00.00.000.jpg>99997_2023-01-01_00.00.00.000.jpg"}
                << qint64(100100);
        QTest::newRow("serial-prefixed names raise the serial to the largest + 100")
                << Folders{{"a", {"100005_2024-03-01_08.00.00.000.jpg", "250000_2024-03-01_09.00.00.000.jpg"}},
                           {"b", {"170000_2024-03-02_08.00.00.000.jpg"}}}
                << qint64(100000) << QStringList{} << qint64(250100);
        QTest::newRow("numbers below the start leave it")
                << Folders{{"a", {"99999_2024-03-01_08.00.00.000.jpg", "500_2024-03-01_09.00.00.000.jpg"}}}
                << qint64(100000) << QStringList{} << qint64(100100);
        QTest::newRow("fewer than three parts or a short first part are legacy")
                << Folders{{"a", {"12_2024-03-01_08.00.00.000.jpg", "old.jpg", "x_y.jpg", "123_a_b.jpg"}}}
                << qint64(0)
                << QStringList{"a:x_y.jpg>99999_x_y.jpg", "a:old.jpg>99998_old.jpg",
                               "a:12_2024-03-01_08.00.00.000.jpg>99997_12_2024-03-01_08.00.00.000.jpg"}
                << qint64(223);
        QTest::newRow("a prefixed name with a first part of letters raises nothing")
                << Folders{{"a", {"abc_2024-03-01_08.00.00.000.jpg"}}} << qint64(100000) << QStringList{}
                << qint64(100100);
    }
    void plan()
    {
        QFETCH(Folders, folders);
        QFETCH(qint64, serialStart);
        QFETCH(QStringList, renames);
        QFETCH(qint64, serial);
        const NumberingPlan p = PlanPictureNumbering(folders, serialStart);
        QCOMPARE(Describe(p), renames);
        QCOMPARE(p.serial, serial);
    }

    // 99999 down to 100 are 99900 numbers; the pictures after them all get 100.
    void numbersNeverGoBelow100()
    {
        QStringList names;
        for (int i = 0; i < 99905; ++i)
            names << QStringLiteral("t%1.jpg").arg(i, 6, 10, QLatin1Char('0'));
        const NumberingPlan p = PlanPictureNumbering({{"a", names}, {"b", {"late.jpg"}}}, 100000);
        QCOMPARE(p.renames.size(), 99906);
        QCOMPARE(p.renames.first().to, QStringLiteral("99999_t099904.jpg"));
        QCOMPARE(p.renames.at(99899).to, QStringLiteral("100_t000005.jpg"));
        QCOMPARE(p.renames.at(99904).to, QStringLiteral("100_t000000.jpg"));
        QCOMPARE(p.renames.last().to, QStringLiteral("100_late.jpg"));
        QCOMPARE(p.serial, qint64(100100));
    }

    void onDisk()
    {
        TestEnv env;
        env.writeFile("alarmimage/camera1/detect1/NG/2024-03-01_08.00.00.000.jpg", "early");
        env.writeFile("alarmimage/camera1/detect1/NG/2024-03-01_09.00.00.000.jpg", "late");
        env.writeFile("alarmimage/camera1/detect1/NG/notes.txt", "not a picture");
        env.writeFile("alarmimage/camera1/detect1/OK/120000_2024-03-01_10.00.00.000.jpg", "new");
        const QString ng = "./alarmimage//camera1//detect1//NG";
        const QString ok = "./alarmimage//camera1//detect1//OK";
        const QString missing = "./alarmimage//camera1//detect2//NG";

        QCOMPARE(RenumberPictures({ng, missing, ok}, 100000), qint64(120100));
        QCOMPARE(QDir(env.path("alarmimage/camera1/detect1/NG")).entryList(QDir::Files, QDir::Name),
                 QStringList({"99998_2024-03-01_08.00.00.000.jpg", "99999_2024-03-01_09.00.00.000.jpg",
                              "notes.txt"}));
        QCOMPARE(env.readFile("alarmimage/camera1/detect1/NG/99999_2024-03-01_09.00.00.000.jpg"), QByteArray("late"));
        QCOMPARE(QDir(env.path("alarmimage/camera1/detect1/OK")).entryList(QDir::Files),
                 QStringList({"120000_2024-03-01_10.00.00.000.jpg"}));

        // A second start finds nothing left to rename.
        QCOMPARE(RenumberPictures({ng, missing, ok}, 100000), qint64(120100));
        QCOMPARE(QDir(env.path("alarmimage/camera1/detect1/NG")).entryList({"*.jpg"}, QDir::Files, QDir::Name),
                 QStringList({"99998_2024-03-01_08.00.00.000.jpg", "99999_2024-03-01_09.00.00.000.jpg"}));
    }
};

QTEST_GUILESS_MAIN(TestPictureNumbering)
#include "tst_picturenumbering.moc"
