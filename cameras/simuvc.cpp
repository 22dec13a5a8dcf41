#include "simuvc.h"

#include "cameraservices.h"
#include "simcamerabus.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString kNodePrefix = QStringLiteral("camsim:uvc/");

std::vector<std::shared_ptr<camsim::Device>> uvcDevices()
{
    return camsim::bus().devices(camsim::Family::Uvc);   // plugged ones, in order
}

// A bus device read through UvcCapture; what the node names decides which.
class SimulatedUvcSource : public UvcSource {
public:
    bool open(const QString& node) override
    {
        close();
        if (!node.startsWith(kNodePrefix))
            return false;
        const std::shared_ptr<camsim::Device> device = camsim::bus().find(node.mid(kNodePrefix.size()));
        if (!device || !device->plugged() || device->config().family != camsim::Family::Uvc)
            return false;
        UvcInput input;
        QString url, error;
        if (!parseSimulatedUvc(device->config().uvcJson, &input, &url, &error)) {
            qWarning().noquote() << "camera simulation: UVC device" << device->serial() << error;
            return false;
        }
        capture_ = std::make_unique<UvcCapture>(input);
        if (!description_.empty())
            capture_->setFilters(description_);
        if (!capture_->open(url)) {
            capture_.reset();
            return false;
        }
        return true;
    }
    int readGrey(uint8_t* dst, int width, int height) override
    {
        return capture_ ? capture_->readGrey(dst, width, height) : -1;
    }
    int setFilters(const std::string& description) override
    {
        description_ = description;
        return capture_ ? capture_->setFilters(description) : 0;
    }
    void close() override
    {
        if (capture_)
            capture_->close();
    }
    void interrupt() override
    {
        if (capture_)
            capture_->interrupt();
    }
    void resume() override
    {
        if (capture_)
            capture_->resume();
    }

private:
    // Made and replaced only by open() on the GUI thread, before the grab
    // thread starts reading it.
    std::unique_ptr<UvcCapture> capture_;
    std::string description_;
};

} // namespace

bool parseSimulatedUvc(const QByteArray& json, UvcInput* input, QString* url, QString* error)
{
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (!doc.isObject()) {
        *error = QStringLiteral("has no \"uvc\" object");
        return false;
    }
    const QJsonObject o = doc.object();
    const QJsonValue u = o.value(QStringLiteral("url"));
    if (!u.isString() || u.toString().isEmpty()) {
        *error = QStringLiteral("\"uvc\": \"url\" must be a non-empty text");
        return false;
    }
    *url = u.toString();
    UvcInput in;
    in.format = QStringLiteral("lavfi");
    in.options.clear();
    if (o.contains(QStringLiteral("format"))) {
        if (!o.value(QStringLiteral("format")).isString()) {
            *error = QStringLiteral("\"uvc\": \"format\" must be a text");
            return false;
        }
        in.format = o.value(QStringLiteral("format")).toString();
    }
    const QJsonValue options = o.value(QStringLiteral("options"));
    if (!options.isUndefined()) {
        if (!options.isObject()) {
            *error = QStringLiteral("\"uvc\": \"options\" must be an object of texts");
            return false;
        }
        const QJsonObject opts = options.toObject();
        for (auto it = opts.begin(); it != opts.end(); ++it) {
            if (!it.value().isString()) {
                *error = QStringLiteral("\"uvc\": option \"%1\" must be a text").arg(it.key());
                return false;
            }
            in.options.insert(it.key(), it.value().toString());
        }
    }
    in.rewindAtEof = o.value(QStringLiteral("rewind")).toBool(false);
    const QJsonValue timeout = o.value(QStringLiteral("readTimeoutMs"));
    if (!timeout.isUndefined()) {
        const double ms = timeout.toDouble(-1);
        if (!timeout.isDouble() || ms < 1 || ms > 60000) {
            *error = QStringLiteral("\"uvc\": \"readTimeoutMs\" must be 1..60000");
            return false;
        }
        in.readTimeoutMs = static_cast<int>(ms);
    }
    *input = in;
    return true;
}

bool installSimulatedUvc()
{
    if (uvcDevices().empty())
        return false;
    setUvcSourceFactory([] { return std::make_unique<SimulatedUvcSource>(); });
    UvcDeviceList list;
    list.count = [] { return static_cast<int>(uvcDevices().size()); };
    list.node = [](int n) {
        const auto devices = uvcDevices();
        if (n < 0 || n >= static_cast<int>(devices.size()))
            return kNodePrefix + QStringLiteral("#%1").arg(n);   // opens nothing
        return kNodePrefix + devices[static_cast<size_t>(n)]->serial();
    };
    setUvcDeviceList(std::move(list));
    return true;
}
