#pragma once
// The serial link to the machine's I/O board: the shared input and output
// words and the thread that polls the board every 5 ms, keeps gDataIn
// current, makes the board's outputs follow gDataOut and notices when the
// board is lost and when it answers again.  The frames are in ioframe.h, one
// pass of the exchange in iopass.h; this file adds the port and the rhythm.
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>

class QSerialPort;

extern int gDataIn;                   // board inputs, bit i = input i (bits 0..9); pMutexIO
extern int gDataOut;                  // wanted board outputs, bit i = output i (bits 0..8); pMutexIO
extern std::atomic<int> gisLostCom;   // 1 while the board is considered lost
extern int gisCOM;                    // port number n of the device template's %1

// The device template: MOULDMON_SERIAL when set (with or without %1), else
// paths().serialDevice -- but off the panel only when something replaced its
// built-in "/dev/ttyS%1", so a developer's own serial port is never written.
// Empty: no device; the link then counts as lost.
QString SerialDeviceTemplate();
// The template with %1 = port.  Empty when there is no template.
QString SerialDevicePath(int port);

// Applies the board's settings (115200 baud, 8N1, no flow control) to port
// for device and opens it read-write.  False with port.errorString() set
// when it does not open.
bool ComInit(QSerialPort& port, const QString& device);

// The board thread.  Built without starting; the logical I/O layer starts
// it after publishing its first output word.  In the program it runs until
// the process ends; requestInterruption() ends it within a pass (tests, and
// the I/O layer's destructor).
//
// The port lives inside run().  A port that does not open is logged once per
// episode and tried again every 2 s; a port error (hang-up, unplugged
// adapter) closes it and opens it again.  Either way the link reports lost
// after 1000 passes without a valid reply, as for a silent board.
class IOThread : public QThread {
    Q_OBJECT
public:
    static constexpr int kPassMs = 5;
    static constexpr int kReopenMs = 2000;

    // Takes the device from gisCOM and the templates now, on the building
    // thread: the port number is fixed for the thread's life.
    IOThread();
    ~IOThread() override;

    // Called on this thread with "IO通讯重新连接" when the board answers after
    // the link was lost.  Set before start(); none by default.
    std::function<void(const QString&)> recordSink;

protected:
    void run() override;

private:
    QString device_;
};
