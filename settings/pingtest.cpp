#include "pingtest.h"

#include "commandrunner.h"
#include "networkfiles.h"

#include <QTimer>

#include <glog/logging.h>

ConnectionTest::ConnectionTest(QObject* parent) : QObject(parent), timeout_(new QTimer(this))
{
    timeout_->setSingleShot(true);
    connect(timeout_, &QTimer::timeout, this, [this] {
        LOG(WARNING) << "connection test: no end within " << kCommandTimeoutMs << " ms, judging the output so far";
        stepEnded();
    });
}

ConnectionTest::~ConnectionTest()
{
    // A program still running is ended with its object (a child of ours).
    if (command_)
        command_->disconnect(this);
}

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
    output_.clear();
    const QString program = step == Step::Route ? QStringLiteral("ip") : QStringLiteral("ping");
    RunningCommand* command = commandRunner().start(program, args, this);
    command_ = command;
    connect(command, &RunningCommand::output, this, [this, command](const QByteArray& chunk) {
        if (command == command_)
            output_ += chunk;
    });
    connect(command, &RunningCommand::finished, this, [this, command](int) {
        if (command == command_)
            stepEnded();
    });
    timeout_->start(kCommandTimeoutMs);
}

void ConnectionTest::stepEnded()
{
    timeout_->stop();
    if (RunningCommand* old = command_) {
        command_ = nullptr;
        old->disconnect(this);
        old->kill();   // nothing once it has ended
        old->deleteLater();
    }
    const QString text = QString::fromLocal8Bit(output_);
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
