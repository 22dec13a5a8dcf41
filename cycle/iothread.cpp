#include "iothread.h"

#include "commandrunner.h"
#include "globals.h"
#include "iopass.h"
#include "paths.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMutex>
#include <QSerialPort>
#include <glog/logging.h>

int gDataIn = 0;
int gDataOut = 0;
std::atomic<int> gisLostCom{0};
int gisCOM = 0;

namespace {
const char kRecoveredRecord[] = "IO通讯重新连接";
// Unwritten output beyond this means nobody reads the other end; the old
// requests are worthless then.
constexpr qint64 kWriteBacklog = 1024;
constexpr int kWriteWaitMs = 20;
}

QString SerialDeviceTemplate()
{
    const QString env = qEnvironmentVariable("MOULDMON_SERIAL");
    if (!env.isEmpty())
        return env;
    const QString configured = paths().serialDevice;
    if (panelModeEnabled() || configured != Paths().serialDevice)
        return configured;
    return QString();
}

QString SerialDevicePath(int port)
{
    const QString t = SerialDeviceTemplate();
    return t.contains(QLatin1String("%1")) ? t.arg(port) : t;
}

bool ComInit(QSerialPort& port, const QString& device)
{
    // Set before opening, so that open() applies them (raw mode included)
    // and fails when the device refuses them.
    port.setPortName(device);
    port.setBaudRate(QSerialPort::Baud115200);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (!port.open(QIODevice::ReadWrite))
        return false;
    port.clear();   // nothing stale from before this open
    return true;
}

IOThread::IOThread() : device_(SerialDevicePath(gisCOM)) {}

IOThread::~IOThread()
{
    requestInterruption();
    wait();
}

namespace {

// The port side of the link: opening, retrying and giving up on a broken
// port.  A failure episode lasts from the first failure to the next valid
// reply; each kind of failure is logged once in it, so a flapping adapter
// does not flood the log.
class BoardPort {
public:
    explicit BoardPort(const QString& device) : device_(device) {}

    bool isOpen() const { return port_.isOpen(); }
    QSerialPort& port() { return port_; }

    // Opens the port when it is closed and a try is due (2 s after the
    // previous one).
    void openIfDue()
    {
        if (port_.isOpen() || (lastTry_.isValid() && lastTry_.elapsed() < IOThread::kReopenMs))
            return;
        lastTry_.start();
        if (device_.isEmpty()) {
            if (!openFailLogged_)
                LOG(WARNING) << "I/O board: no serial device is configured off the panel "
                                "(set MOULDMON_SERIAL); the board link counts as lost";
            openFailLogged_ = true;
            return;
        }
        if (ComInit(port_, device_)) {
            if (!openedOnce_ || openFailLogged_ || errorLogged_)
                LOG(INFO) << "I/O board: opened " << device_.toStdString();
            openedOnce_ = true;
            return;
        }
        if (!openFailLogged_)
            LOG(WARNING) << "I/O board: cannot open " << device_.toStdString() << ": "
                         << port_.errorString().toStdString() << "; trying again every "
                         << IOThread::kReopenMs / 1000 << " s";
        openFailLogged_ = true;
        port_.close();
    }

    // After a hang-up or an unplugged adapter: close now and open again as
    // soon as a try is due (at once when the port had been open for 2 s).
    void fail()
    {
        if (!errorLogged_)
            LOG(WARNING) << "I/O board: error on " << device_.toStdString() << ": "
                         << port_.errorString().toStdString() << "; reopening";
        errorLogged_ = true;
        port_.close();
        port_.clearError();
    }

    // A valid reply came: the failure episode is over.
    void answered()
    {
        if (openFailLogged_ || errorLogged_)
            LOG(INFO) << "I/O board: answering on " << device_.toStdString();
        openFailLogged_ = errorLogged_ = false;
    }

    bool hasError() const
    {
        const auto e = port_.error();
        return e != QSerialPort::NoError && e != QSerialPort::TimeoutError;
    }

    void write(const unsigned char* bytes, int n)
    {
        if (!port_.isOpen())
            return;
        port_.write(reinterpret_cast<const char*>(bytes), n);
        port_.waitForBytesWritten(kWriteWaitMs);
        if (hasError()) {
            fail();
            return;
        }
        if (port_.bytesToWrite() > kWriteBacklog)
            port_.clear(QSerialPort::Output);
    }

private:
    QSerialPort port_;
    QString device_;
    QElapsedTimer lastTry_;        // since the last try to open
    bool openedOnce_ = false;
    bool openFailLogged_ = false;  // in this failure episode
    bool errorLogged_ = false;
};

} // namespace

void IOThread::run()
{
    BoardPort board(device_);
    IoPassEngine engine;
    unsigned char staging[IoReplyScanner::kCapacity];
    gisLostCom.store(0);

    const auto store = [this, &board](const IoPassEngine::Received& r) {
        if (r.replies > 0)
            board.answered();
        if (r.hasInputs) {
            QMutexLocker lock(pMutexIO);
            gDataIn = r.inputs;
        }
        if (r.recovered) {
            gisLostCom.store(0);
            if (recordSink)
                recordSink(QString::fromUtf8(kRecoveredRecord));
        }
    };

    while (!isInterruptionRequested()) {
        // The pass ends 5 ms after it starts; until then whatever the board
        // sends is read and scanned at once.
        QDeadlineTimer passEnd(kPassMs, Qt::PreciseTimer);
        int word;
        {
            QMutexLocker lock(pMutexIO);
            word = gDataOut;
        }
        engine.beginPass(word);

        board.openIfDue();
        if (board.isOpen()) {
            QSerialPort& port = board.port();
            for (;;) {
                if (port.bytesAvailable() == 0) {
                    const qint64 leftNs = passEnd.remainingTimeNSecs();
                    if (leftNs <= 0 || !port.waitForReadyRead(int((leftNs + 999999) / 1000000))) {
                        if (board.hasError())
                            board.fail();
                        break;
                    }
                }
                const qint64 room = qMin<qint64>(engine.freeRoom(), sizeof staging);
                const qint64 n = port.read(reinterpret_cast<char*>(staging),
                                           qMin(port.bytesAvailable(), room));
                if (n < 0 || board.hasError()) {
                    board.fail();
                    break;
                }
                if (n == 0)
                    break;
                store(engine.receive(staging, int(n)));
            }
        }
        // Keep the rhythm also when the port is closed or a wait ended early.
        const qint64 restNs = passEnd.remainingTimeNSecs();
        if (restNs > 0)
            QThread::usleep(static_cast<unsigned long>((restNs + 999) / 1000));

        const IoPassEngine::PassEnd end = engine.endPass();
        if (end.lost)
            gisLostCom.store(1);
        board.write(end.bytes, end.length);
    }
}
