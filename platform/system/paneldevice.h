#pragma once
// The panel device "/dev/led": backlight and LED bits, set by ioctl.
// Opened only on a real panel; everywhere else the requests are dropped.
#include <QMutex>
#include <QString>
#include <memory>
#include <vector>

class PanelDevice {
public:
    // Backlight requests of the panel driver.
    static constexpr unsigned long RequestBacklightOn = 0x5A018B00UL;
    static constexpr unsigned long RequestBacklightOff = 0x5A018A00UL;
    // The LED byte travels in the lowest 8 bits of this request.
    static constexpr unsigned long RequestLedByte = 0x5A018000UL;

    virtual ~PanelDevice() = default;
    virtual bool isOpen() const = 0;
    // Sends one request; false when the device is not open or refused it.
    virtual bool control(unsigned long request, unsigned long value) = 0;
};

// Opens the node read-write when it exists and panel mode is on; a closed
// device silently ignores every request, as the panel does without its driver.
class LinuxPanelDevice : public PanelDevice {
public:
    explicit LinuxPanelDevice(const QString& path);
    ~LinuxPanelDevice() override;
    bool isOpen() const override { return fd_ >= 0; }
    bool control(unsigned long request, unsigned long value) override;
    int fd() const { return fd_; }
private:
    int fd_ = -1;
};

class RecordingPanelDevice : public PanelDevice {
public:
    struct Request { unsigned long request; unsigned long value; };
    bool isOpen() const override { return open_; }
    bool control(unsigned long request, unsigned long value) override;
    std::vector<Request> requests() const;
    void setOpen(bool open) { open_ = open; }
private:
    mutable QMutex mutex_;
    std::vector<Request> requests_;
    bool open_ = true;
};

PanelDevice& panelDevice();
std::shared_ptr<PanelDevice> setPanelDevice(std::shared_ptr<PanelDevice> device);
