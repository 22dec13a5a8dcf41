// The message log: on/off, file per run, line format, pruning, threads.
#include "logmanager.h"
#include "paths.h"
#include "testenv.h"
#include "wizardpara.h"

#include <QProcess>
#include <QThread>
#include <QtTest>
#include <sys/resource.h>

class TestLogging : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void offWritesNothing();
    void switchedOnMidRunCreatesFileWithHeader();
    void levelLetters_data();
    void levelLetters();
    void fatalIsWrittenBeforeTheEnd();
    void deletedFileIsCreatedAgain();
    void installedAsHandlerUntilDestroyed();
    void pruneDeletesOneOldestFile_data();
    void pruneDeletesOneOldestFile();
    void unwritableFolderDropsMessages();
    void messageWhileWritingGoesToPreviousHandler();
    void threadsWriteWholeLines();

private:
    QString logDir() const { return env_->path("RECORD/LOG"); }
    QStringList logLines() const;
    std::unique_ptr<TestEnv> env_;
    std::unique_ptr<WizardPara> para_;
    Paths savedPaths_;
};

void TestLogging::init()
{
    env_ = std::make_unique<TestEnv>();
    env_->clock->set(QDateTime(QDate(2026, 1, 1), QTime(8, 0, 0)));
    savedPaths_ = paths();
    paths().qtLogDir = logDir();
    para_ = std::make_unique<WizardPara>();
    para_->logEnabled = 1;
    gpWPara = para_.get();
}

void TestLogging::cleanup()
{
    gpWPara = nullptr;
    para_.reset();
    paths() = savedPaths_;
    env_.reset();
}

QStringList TestLogging::logLines() const
{
    return QString::fromUtf8(env_->readFile("RECORD/LOG/20260101_080000_log.txt"))
        .split('\n', Qt::SkipEmptyParts);
}

void TestLogging::offWritesNothing()
{
    para_->logEnabled = 0;
    LogManager manager;
    LogManager::outputMessage(QtWarningMsg, QMessageLogContext(), "not kept");
    QVERIFY(QFileInfo(logDir()).isDir());
    QCOMPARE(QDir(logDir()).entryList(QDir::Files), QStringList{});
}

void TestLogging::switchedOnMidRunCreatesFileWithHeader()
{
    para_->logEnabled = 0;
    LogManager manager;
    QCOMPARE(LogManager::__CurName, QString("20260101_080000_log.txt"));
    QCOMPARE(LogManager::__CurTaskPath, logDir());
    LogManager::outputMessage(QtDebugMsg, QMessageLogContext(), "dropped");
    env_->clock->advanceMs(5 * 60 * 1000 + 123);
    para_->logEnabled = 1;
    LogManager::outputMessage(QtDebugMsg, QMessageLogContext(), QString::fromUtf8("相机 1 open"));
    QCOMPARE(logLines(), QStringList({"create newlog version 15.12.2.51 2026/01/01-08:05:00.123",
                                      QString::fromUtf8("[I 2026/01/01-08:05:00.123] 相机 1 open")}));
}

void TestLogging::levelLetters_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("letter");
    QTest::newRow("debug") << int(QtDebugMsg) << "I";
    QTest::newRow("info") << int(QtInfoMsg) << "I";
    QTest::newRow("warning") << int(QtWarningMsg) << "W";
    QTest::newRow("critical") << int(QtCriticalMsg) << "E";
    QTest::newRow("fatal") << int(QtFatalMsg) << "F";
}

void TestLogging::levelLetters()
{
    QFETCH(int, type);
    QFETCH(QString, letter);
    const QDateTime t(QDate(2026, 2, 3), QTime(4, 5, 6, 7));
    QCOMPARE(LogManager::FormatLine(QtMsgType(type), t, " text "),
             "[" + letter + " 2026/02/03-04:05:06.007]  text \n");
}

void TestLogging::fatalIsWrittenBeforeTheEnd()
{
    const QByteArray childDir = qgetenv("MM_FATAL_CHILD_DIR");
    if (!childDir.isEmpty()) {
        // This child ends by abort: no core file, no temporary folder left behind.
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        env_.reset();
        setAppClock(std::make_shared<FakeClock>(QDateTime(QDate(2026, 1, 1), QTime(8, 0))));
        paths().qtLogDir = QString::fromLocal8Bit(childDir);
        LogManager::__instance = new LogManager;
        qFatal("mould lost");   // ends this child process
    }
    QProcess child;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("MM_FATAL_CHILD_DIR", logDir());
    child.setProcessEnvironment(e);
    child.start(QCoreApplication::applicationFilePath(), {"fatalIsWrittenBeforeTheEnd"});
    QVERIFY(child.waitForFinished(30000));
    QVERIFY(child.exitStatus() == QProcess::CrashExit || child.exitCode() != 0);
    // The child's fake clock stands at the same time as ours.
    QCOMPARE(logLines(), QStringList({"create newlog version 15.12.2.51 2026/01/01-08:00:00.000",
                                      "[F 2026/01/01-08:00:00.000] mould lost"}));
}

void TestLogging::deletedFileIsCreatedAgain()
{
    LogManager manager;
    LogManager::outputMessage(QtDebugMsg, QMessageLogContext(), "one");
    QVERIFY(QFile::remove(logDir() + "/20260101_080000_log.txt"));
    env_->clock->advanceMs(1000);
    LogManager::outputMessage(QtDebugMsg, QMessageLogContext(), "two");
    QCOMPARE(logLines(), QStringList({"create newlog version 15.12.2.51 2026/01/01-08:00:01.000",
                                      "[I 2026/01/01-08:00:01.000] two"}));
}

void TestLogging::installedAsHandlerUntilDestroyed()
{
    {
        LogManager manager;
        qDebug("application start");
        qWarning("a %s", "warning");
    }
    QTest::ignoreMessage(QtDebugMsg, "after the manager");   // back with the test's handler
    qDebug("after the manager");
    QCOMPARE(logLines(), QStringList({"create newlog version 15.12.2.51 2026/01/01-08:00:00.000",
                                      "[I 2026/01/01-08:00:00.000] application start",
                                      "[W 2026/01/01-08:00:00.000] a warning"}));
}

void TestLogging::pruneDeletesOneOldestFile_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("left");
    QTest::newRow("55 files") << 55 << 54;
    QTest::newRow("50 files") << 50 << 49;
    QTest::newRow("49 files") << 49 << 49;
}

void TestLogging::pruneDeletesOneOldestFile()
{
    QFETCH(int, files);
    QFETCH(int, left);
    QVERIFY(QDir().mkpath(logDir()));
    const QDateTime base(QDate(2025, 5, 1), QTime(9, 0));
    // Name order runs against age, so only the time can pick the oldest.
    for (int k = 0; k < files; ++k) {
        QFile f(logDir() + QStringLiteral("/2025%1_log.txt").arg(99 - k));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.setFileTime(base.addSecs(k), QFileDevice::FileModificationTime));
    }
    env_->writeFile("RECORD/LOG/other.txt", "not a log");
    LogManager manager;
    const QStringList rest = QDir(logDir()).entryList({"*_log.txt"}, QDir::Files);
    QCOMPARE(rest.size(), left);
    QCOMPARE(rest.contains("202599_log.txt"), left == files);
    QVERIFY(QFile::exists(logDir() + "/other.txt"));
}

void TestLogging::unwritableFolderDropsMessages()
{
    env_->writeFile("RECORD/LOG", "a file where the folder belongs");
    LogManager manager;
    LogManager::outputMessage(QtWarningMsg, QMessageLogContext(), "lost");
    LogManager::outputMessage(QtWarningMsg, QMessageLogContext(), "lost again");
    QCOMPARE(env_->readFile("RECORD/LOG"), QByteArray("a file where the folder belongs"));
}

namespace {
// A clock that complains whenever it is read, as a Qt part might while the
// handler is busy writing.
class NoisyClock : public FakeClock {
public:
    using FakeClock::FakeClock;
    QDateTime now() const override
    {
        qWarning("clock read");
        return FakeClock::now();
    }
};
}

void TestLogging::messageWhileWritingGoesToPreviousHandler()
{
    LogManager manager;
    auto saved = setAppClock(std::make_shared<NoisyClock>(env_->clock->now()));
    QTest::ignoreMessage(QtWarningMsg, "clock read");
    LogManager::outputMessage(QtDebugMsg, QMessageLogContext(), "outer");
    setAppClock(saved);
    QCOMPARE(logLines(), QStringList({"create newlog version 15.12.2.51 2026/01/01-08:00:00.000",
                                      "[I 2026/01/01-08:00:00.000] outer"}));
}

void TestLogging::threadsWriteWholeLines()
{
    LogManager manager;
    constexpr int kThreads = 4, kLines = 300;
    std::vector<QThread*> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.push_back(QThread::create([t] {
            for (int k = 0; k < kLines; ++k)
                LogManager::outputMessage(QtDebugMsg, QMessageLogContext(),
                                          QStringLiteral("thread %1 line %2 ").arg(t).arg(k)
                                              + QString(40, QChar('a' + t)));
        }));
        threads.back()->start();
    }
    for (QThread* t : threads) {
        QVERIFY(t->wait(30000));
        delete t;
    }
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), kThreads * kLines + 1);
    const QRegularExpression whole(
        R"(^\[I 2026/01/01-08:00:00\.000\] thread (\d) line \d+ ([a-d])\2{39}$)");
    for (int k = 1; k < lines.size(); ++k) {
        const auto m = whole.match(lines[k]);
        QVERIFY2(m.hasMatch(), qPrintable(lines[k]));
        QCOMPARE(m.captured(2).at(0), QChar('a' + m.captured(1).toInt()));
    }
}

QTEST_GUILESS_MAIN(TestLogging)
#include "tst_logging.moc"
