#pragma once
// The serial link to the machine's I/O board: the shared input and output
// words and the thread that polls the board every 5 ms, keeps gDataIn
// current, makes the board's outputs follow gDataOut and notices when the
// board is lost and when it answers again.
#include <QThread>

#include <atomic>

extern int gDataIn;                   // board inputs, bit i = input i (bits 0..9); pMutexIO
extern int gDataOut;                  // wanted board outputs, bit i = output i (bits 0..8); pMutexIO
extern std::atomic<int> gisLostCom;   // 1 while the board is considered lost
extern int gisCOM;                    // port number n of the device template's %1

// The board thread.  Built without starting; the logical I/O layer starts
// it after publishing its first output word.  It runs until the process ends.
class IOThread : public QThread {
    Q_OBJECT
public:
    IOThread();
    ~IOThread() override;

protected:
    void run() override;
};
