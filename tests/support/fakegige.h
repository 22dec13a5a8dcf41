#pragma once
// A fake GigE camera for tests: answers GVCP discovery with a 256-byte
// acknowledge per simulated device and the vendor force-IP command with an
// acknowledge carrying the request id.  The byte layouts are written out
// here on their own, so the product's codec is checked against them.
//
// It listens on a UDP port of its own choosing (loopback tests) or on the
// GVCP port bound to one interface inside a network namespace the test made.
#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QtGlobal>
#include <array>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

struct FakeGigeDevice {
    std::array<quint8, 6> mac{};
    quint32 ip = 0;       // host byte order
    quint32 mask = 0;
    QByteArray manufacturerInfo = QByteArrayLiteral("F622 fake camera");
};

class FakeGigeCamera {
public:
    enum class Reply { Broadcast, Unicast, None };

    struct Options {
        quint32 bindIp = 0;           // 0: any address
        quint16 port = 0;             // 0: a free port
        QString bindDevice;           // SO_BINDTODEVICE, empty: none
        QString netnsPath;            // the receive thread enters this namespace first
        Reply reply = Reply::Unicast;
    };

    explicit FakeGigeCamera(Options options);
    ~FakeGigeCamera();
    FakeGigeCamera(const FakeGigeCamera&) = delete;
    FakeGigeCamera& operator=(const FakeGigeCamera&) = delete;

    // Binds and starts answering; false (with error()) when that failed.
    bool start();
    void stop();
    QString error() const;
    quint16 port() const { return port_.load(); }

    void addDevice(const FakeGigeDevice& d);
    void setDevices(const std::vector<FakeGigeDevice>& d);
    std::vector<FakeGigeDevice> devices() const;
    void setReply(Reply r) { reply_ = int(r); }
    // Status of the force-IP acknowledges (0 success).
    void setForceIpStatus(quint16 status) { forceIpStatus_ = status; }
    // Called on the camera's thread when a force-IP command names one of its
    // devices, before the acknowledge is sent.
    void setOnForceIp(std::function<void(const FakeGigeDevice& before, quint32 ip, quint32 mask)> f);

    int discoveries() const { return discoveries_.load(); }
    int forceIps() const { return forceIps_.load(); }

    // The acknowledge bytes, for codec tests.
    static QByteArray discoveryAck(const FakeGigeDevice& d, quint16 requestId);
    static QByteArray forceIpAck(quint16 requestId, quint16 status);

private:
    void run();
    void answer(const QByteArray& datagram, quint32 fromIp, quint16 fromPort);
    void sendTo(const QByteArray& bytes, quint32 ip, quint16 port);

    Options options_;
    int fd_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<quint16> port_{0};
    std::atomic<int> reply_;
    std::atomic<quint16> forceIpStatus_{0};
    std::atomic<int> discoveries_{0};
    std::atomic<int> forceIps_{0};
    mutable QMutex mutex_;
    std::vector<FakeGigeDevice> devices_;
    std::function<void(const FakeGigeDevice&, quint32, quint32)> onForceIp_;
    QString error_;
};
