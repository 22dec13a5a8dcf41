#include "pingtest.h"

#include "collectedcommand.h"
#include "networkfiles.h"

#include <glog/logging.h>

ConnectionTest::ConnectionTest(QObject* parent) : QObject(parent), command_(new CollectedCommand(this))
{
    connect(command_, &CollectedCommand::ended, this, &ConnectionTest::stepEnded);
}

ConnectionTest::~ConnectionTest() = default;

bool ConnectionTest::start()
{
    if (running())
        return false;
    result_ = Result{};
    gateway_.clear();
    run(Step::Route, {QStringLiteral("route"), QStringLiteral("show")});
    return true;
}

void ConnectionTest::run(Step step, const QStringList& args)
{
    step_ = step;
    const QString program = step == Step::Route ? QStringLiteral("ip") : QStringLiteral("ping");
    command_->start(program, args, kCommandTimeoutMs);
}

void ConnectionTest::stepEnded(const QByteArray& output)
{
    const QString text = QString::fromLocal8Bit(output);
    switch (step_) {
    case Step::Route:
        gateway_ = netfiles::RouteGateway(text);
        if (gateway_.isEmpty())
            break;
        result_.gatewayFound = true;
        run(Step::Gateway, {gateway_, QStringLiteral("-w"), QStringLiteral("2")});
        return;
    case Step::Gateway:
        result_.lan = netfiles::PingReachable(text);
        run(Step::Internet, {QString::fromLatin1(kInternetProbeAddress), QStringLiteral("-w"), QStringLiteral("3")});
        return;
    case Step::Internet:
        result_.internet = netfiles::PingReachable(text);
        break;
    case Step::Idle:
        return;
    }
    step_ = Step::Idle;
    emit finished(result_);
}
