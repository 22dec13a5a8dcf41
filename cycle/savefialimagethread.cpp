#include "savefialimagethread.h"

SaveFialImageThread* gpSaveFialImageThread = nullptr;

SaveFialImageThread::SaveFialImageThread(Ports ports, QObject* parent) : QThread(parent), p_(std::move(ports)) {}
SaveFialImageThread::~SaveFialImageThread() = default;
int SaveFialImageThread::processOnce() { return 0; }
void SaveFialImageThread::run() {}
QStringList PruneVictims(const QStringList&, int) { return {}; }
QString RelayRelativePath(const QString& absolutePath, const QString&) { return absolutePath; }
