#include "fakegige.h"

#include <QFile>
#include <QMutexLocker>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void be16(QByteArray& b, int at, quint16 v)
{
    b[at] = char(v >> 8);
    b[at + 1] = char(v);
}

void be32(QByteArray& b, int at, quint32 v)
{
    b[at] = char(v >> 24);
    b[at + 1] = char(v >> 16);
    b[at + 2] = char(v >> 8);
    b[at + 3] = char(v);
}

quint16 rd16(const QByteArray& b, int at)
{
    return quint16((quint8(b[at]) << 8) | quint8(b[at + 1]));
}

quint32 rd32(const QByteArray& b, int at)
{
    return (quint32(quint8(b[at])) << 24) | (quint32(quint8(b[at + 1])) << 16)
        | (quint32(quint8(b[at + 2])) << 8) | quint32(quint8(b[at + 3]));
}

} // namespace

FakeGigeCamera::FakeGigeCamera(Options options) : options_(std::move(options)), reply_(int(options_.reply)) {}

FakeGigeCamera::~FakeGigeCamera()
{
    stop();
}

QByteArray FakeGigeCamera::discoveryAck(const FakeGigeDevice& d, quint16 requestId)
{
    QByteArray b(256, '\0');
    be16(b, 0, 0);          // status
    be16(b, 2, 0x0003);     // discovery ack
    be16(b, 4, 248);
    be16(b, 6, requestId);
    be16(b, 8, 1);          // version 1.2
    be16(b, 10, 2);
    for (int i = 0; i < 6; ++i)
        b[18 + i] = char(d.mac[size_t(i)]);
    be32(b, 44, d.ip);
    be32(b, 60, d.mask);
    std::memcpy(b.data() + 80, "Fake", 4);
    std::memcpy(b.data() + 176, d.manufacturerInfo.constData(), size_t(qMin(48, int(d.manufacturerInfo.size()))));
    return b;
}

QByteArray FakeGigeCamera::forceIpAck(quint16 requestId, quint16 status)
{
    QByteArray b(8, '\0');
    be16(b, 0, status);
    be16(b, 2, 0xF009);
    be16(b, 4, 0);
    be16(b, 6, requestId);
    return b;
}

void FakeGigeCamera::addDevice(const FakeGigeDevice& d)
{
    QMutexLocker lock(&mutex_);
    devices_.push_back(d);
}

void FakeGigeCamera::setDevices(const std::vector<FakeGigeDevice>& d)
{
    QMutexLocker lock(&mutex_);
    devices_ = d;
}

std::vector<FakeGigeDevice> FakeGigeCamera::devices() const
{
    QMutexLocker lock(&mutex_);
    return devices_;
}

void FakeGigeCamera::setOnForceIp(std::function<void(const FakeGigeDevice&, quint32, quint32)> f)
{
    QMutexLocker lock(&mutex_);
    onForceIp_ = std::move(f);
}

QString FakeGigeCamera::error() const
{
    QMutexLocker lock(&mutex_);
    return error_;
}

bool FakeGigeCamera::start()
{
    std::atomic<int> ready{0};   // 1 bound, -1 failed
    stop_ = false;
    thread_ = std::thread([this, &ready] {
        auto fail = [&](const QString& what) {
            {
                QMutexLocker lock(&mutex_);
                error_ = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
            }
            ready = -1;
        };
        if (!options_.netnsPath.isEmpty()) {
            // Only this thread moves into the camera's namespace.
            const int ns = ::open(QFile::encodeName(options_.netnsPath).constData(), O_RDONLY | O_CLOEXEC);
            if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0) {
                fail(QStringLiteral("setns"));
                if (ns >= 0)
                    ::close(ns);
                return;
            }
            ::close(ns);
        }
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        if (fd_ < 0) {
            fail(QStringLiteral("socket"));
            return;
        }
        ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (!options_.bindDevice.isEmpty()) {
            const QByteArray dev = options_.bindDevice.toLocal8Bit();
            if (::setsockopt(fd_, SOL_SOCKET, SO_BINDTODEVICE, dev.constData(), socklen_t(dev.size())) != 0) {
                fail(QStringLiteral("SO_BINDTODEVICE"));
                return;
            }
        }
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(options_.bindIp);
        a.sin_port = htons(options_.port);
        socklen_t len = sizeof a;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0
            || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            fail(QStringLiteral("bind"));
            return;
        }
        port_ = ntohs(a.sin_port);
        ready = 1;
        run();
    });
    while (ready.load() == 0)
        std::this_thread::yield();
    if (ready.load() < 0) {
        thread_.join();
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

void FakeGigeCamera::stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void FakeGigeCamera::run()
{
    while (!stop_.load()) {
        pollfd p {fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        char buf[1500];
        sockaddr_in from {};
        socklen_t len = sizeof from;
        const ssize_t n = ::recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n > 0)
            answer(QByteArray(buf, int(n)), ntohl(from.sin_addr.s_addr), ntohs(from.sin_port));
    }
}

void FakeGigeCamera::sendTo(const QByteArray& bytes, quint32 ip, quint16 port)
{
    const Reply r = Reply(reply_.load());
    if (r == Reply::None)
        return;
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(r == Reply::Broadcast ? 0xFFFFFFFFu : ip);
    to.sin_port = htons(port);
    ::sendto(fd_, bytes.constData(), size_t(bytes.size()), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

void FakeGigeCamera::answer(const QByteArray& d, quint32 fromIp, quint16 fromPort)
{
    if (d.size() < 8 || quint8(d[0]) != 0x42)
        return;
    const quint16 command = rd16(d, 2);
    const quint16 id = rd16(d, 6);
    if (command == 0x0002) {
        ++discoveries_;
        for (const FakeGigeDevice& dev : devices())
            sendTo(discoveryAck(dev, id), fromIp, fromPort);
    } else if (command == 0xF008 && d.size() >= 64) {
        ++forceIps_;
        std::array<quint8, 6> mac{};
        for (int i = 0; i < 6; ++i)
            mac[size_t(i)] = quint8(d[8 + i]);
        const quint32 ip = rd32(d, 14);
        const quint32 mask = rd32(d, 18);
        std::function<void(const FakeGigeDevice&, quint32, quint32)> hook;
        FakeGigeDevice before;
        bool found = false;
        {
            QMutexLocker lock(&mutex_);
            for (FakeGigeDevice& dev : devices_)
                if (dev.mac == mac) {
                    before = dev;
                    found = true;
                    if (forceIpStatus_.load() == 0) {
                        dev.ip = ip;
                        dev.mask = mask;
                    }
                }
            hook = onForceIp_;
        }
        if (!found)
            return;
        if (hook && forceIpStatus_.load() == 0)
            hook(before, ip, mask);
        sendTo(forceIpAck(id, forceIpStatus_.load()), fromIp, fromPort);
    }
}
