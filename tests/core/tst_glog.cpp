// glog set-up.  glog starts only once per process, so this program has one
// GLog for all its cases.
#include "glog.h"
#include "testenv.h"

#include <QtTest>
#include <glog/logging.h>

class TestGLog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void startKeepsNewest49Files();
    void flagsAsConfigured();
    void linesReachTheFileAtOnce();
    void failureWriterWritesExactBytes();
    void pruneIgnoresFolders();

private:
    QByteArray readAllLogs() const;
    std::unique_ptr<TestEnv> env_;
    QString dir_;
    QStringList expectedKept_;
};

namespace {
void touch(const QString& path, const QDateTime& time)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.flush();   // a write at close would set the time again
    QVERIFY(f.setFileTime(time, QFileDevice::FileModificationTime));
}
}

void TestGLog::initTestCase()
{
    env_ = std::make_unique<TestEnv>();
    dir_ = env_->path("cnt_net/cnt_log_app");
    QVERIFY(QDir().mkpath(dir_));
    // 60 files from old to new, named so that name order differs from age.
    const QDateTime base(QDate(2025, 3, 1), QTime(12, 0));
    for (int k = 0; k < 60; ++k) {
        const QString name = QStringLiteral("f%1.log").arg(59 - k, 2, 10, QLatin1Char('0'));
        touch(QDir(dir_).filePath(name), base.addSecs(60 * k));
        if (k >= 11)
            expectedKept_ << name;
    }
    // glog keeps a pointer to the program name, as main's argv lives on.
    static QByteArray prog = QCoreApplication::applicationFilePath().toLocal8Bit();
    static char* argv[] = {prog.data(), nullptr};
    gGlog = new GLog((dir_ + "/").toStdString(), argv);
}

void TestGLog::cleanupTestCase()
{
    env_.reset();
}

void TestGLog::startKeepsNewest49Files()
{
    QStringList kept = QDir(dir_).entryList(QDir::Files, QDir::Name);
    expectedKept_.sort();
    QCOMPARE(kept, expectedKept_);
}

void TestGLog::flagsAsConfigured()
{
    QVERIFY(google::IsGoogleLoggingInitialized());
    QCOMPARE(QString::fromStdString(FLAGS_log_dir), dir_ + "/");
    QCOMPARE(FLAGS_logbufsecs, 0);
    QCOMPARE(FLAGS_max_log_size, 100u);
    QVERIFY(FLAGS_stop_logging_if_full_disk);
    QVERIFY(!FLAGS_logtostderr);
}

QByteArray TestGLog::readAllLogs() const
{
    QByteArray all;
    for (const QFileInfo& fi : QDir(dir_).entryInfoList(QDir::Files | QDir::NoSymLinks)) {
        QFile f(fi.absoluteFilePath());
        if (f.open(QIODevice::ReadOnly))
            all += f.readAll();
    }
    return all;
}

void TestGLog::linesReachTheFileAtOnce()
{
    LOG(INFO) << "2.5.0" << " release";
    QVERIFY(readAllLogs().contains("] 2.5.0 release\n"));
    // The file name carries the configured extension.
    const QStringList info = QDir(dir_).entryList({"*.INFO.*"}, QDir::Files | QDir::NoSymLinks);
    QCOMPARE(info.size(), 1);
    QVERIFY(info.first().endsWith("log"));
}

void TestGLog::failureWriterWritesExactBytes()
{
    const char dump[] = "*** SIGSEGV received *** trailing";
    SignalHandle(dump, 24);
    const QByteArray logs = readAllLogs();
    QVERIFY(logs.contains("] *** SIGSEGV received ***\n"));
    QVERIFY(!logs.contains("trailing"));
}

void TestGLog::pruneIgnoresFolders()
{
    const QString d = env_->path("prune");
    QVERIFY(QDir().mkpath(d + "/sub"));
    const QDateTime base(QDate(2025, 3, 1), QTime(12, 0));
    for (int k = 0; k < 5; ++k)
        touch(QDir(d).filePath(QString::number(k)), base.addSecs(k));
    QCOMPARE(GLog::PruneFolder(d, 3), 2);
    QCOMPARE(QDir(d).entryList(QDir::Files, QDir::Name), QStringList({"2", "3", "4"}));
    QVERIFY(QFileInfo(d + "/sub").isDir());
    QCOMPARE(GLog::PruneFolder(d, 3), 0);
}

QTEST_GUILESS_MAIN(TestGLog)
#include "tst_glog.moc"
