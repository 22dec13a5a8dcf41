#include "paneldevice.h"

#include "commandrunner.h"
#include "paths.h"

#include <QByteArray>
#include <QFile>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

LinuxPanelDevice::LinuxPanelDevice(const QString& path)
{
    if (!panelModeEnabled() || !QFile::exists(path))
        return;
    const QByteArray p = QFile::encodeName(path);
    fd_ = ::open(p.constData(), O_RDWR | O_CLOEXEC);
}

LinuxPanelDevice::~LinuxPanelDevice()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool LinuxPanelDevice::control(unsigned long request, unsigned long value)
{
    if (fd_ < 0)
        return false;
    return ::ioctl(fd_, request, value) >= 0;
}

bool RecordingPanelDevice::control(unsigned long request, unsigned long value)
{
    QMutexLocker lock(&mutex_);
    requests_.push_back({request, value});
    return open_;
}

std::vector<RecordingPanelDevice::Request> RecordingPanelDevice::requests() const
{
    QMutexLocker lock(&mutex_);
    return requests_;
}

namespace {
QMutex gPanelMutex;
std::shared_ptr<PanelDevice>& panelSlot()
{
    static std::shared_ptr<PanelDevice> device;
    return device;
}
}

PanelDevice& panelDevice()
{
    QMutexLocker lock(&gPanelMutex);
    auto& slot = panelSlot();
    if (!slot)
        slot = std::make_shared<LinuxPanelDevice>(paths().ledDevice);
    return *slot;
}

std::shared_ptr<PanelDevice> setPanelDevice(std::shared_ptr<PanelDevice> device)
{
    QMutexLocker lock(&gPanelMutex);
    auto previous = panelSlot();
    panelSlot() = std::move(device);
    return previous;
}
