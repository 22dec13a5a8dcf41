#pragma once
// A folder that refuses writes, also for a test running as root.
//
// Root writes through any permission; dropping CAP_DAC_OVERRIDE (and
// CAP_DAC_READ_SEARCH) from the effective set, while the permitted set keeps
// them, makes a read-only folder read-only again.  Both are given back, and
// the folder made writable, when the object ends.
#include <QFile>
#include <QString>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& folder) : folder_(folder)
    {
        QFile::setPermissions(folder_, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (::geteuid() != 0) {
            ok_ = true;
            return;
        }
        if (::syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        ok_ = ::syscall(SYS_capset, &header_, reduced) == 0;
        dropped_ = ok_;
    }
    ~ReadOnlyFolder()
    {
        if (dropped_)
            ::syscall(SYS_capset, &header_, saved_);
        QFile::setPermissions(folder_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    // False when the capability could not be dropped: the folder is then
    // still writable for this process.
    bool ok() const { return ok_; }

private:
    QString folder_;
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2] = {};
    bool ok_ = false;
    bool dropped_ = false;
};
