#include "iothread.h"

int gDataIn = 0;
int gDataOut = 0;
std::atomic<int> gisLostCom{0};
int gisCOM = 0;

IOThread::IOThread() = default;
IOThread::~IOThread() = default;

// The exchange loop with the board comes with the board link.
void IOThread::run() {}
