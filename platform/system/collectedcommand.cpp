#include "collectedcommand.h"

#include "commandrunner.h"

#include <QTimer>

#include <glog/logging.h>

CollectedCommand::CollectedCommand(QObject* parent) : QObject(parent), limit_(new QTimer(this))
{
    limit_->setSingleShot(true);
    connect(limit_, &QTimer::timeout, this, [this] {
        LOG(WARNING) << (command_ ? command_->program().toStdString() : std::string("command"))
                     << ": no end within " << limitMs_ << " ms, judging its output so far";
        finish();
    });
}

CollectedCommand::~CollectedCommand()
{
    // A program still running ends with its object (a child of ours).
    if (command_)
        command_->disconnect(this);
}

void CollectedCommand::start(const QString& program, const QStringList& args, int limitMs)
{
    cancel();
    output_.clear();
    limitMs_ = limitMs;
    RunningCommand* command = commandRunner().start(program, args, this);
    command_ = command;
    connect(command, &RunningCommand::output, this, [this, command](const QByteArray& chunk) {
        if (command == command_)
            output_ += chunk;
    });
    connect(command, &RunningCommand::finished, this, [this, command](int) {
        if (command == command_)
            finish();
    });
    limit_->start(limitMs);
}

void CollectedCommand::cancel()
{
    limit_->stop();
    if (RunningCommand* old = command_) {
        command_ = nullptr;
        old->disconnect(this);
        old->kill();   // nothing once it has ended
        old->deleteLater();
    }
}

void CollectedCommand::finish()
{
    cancel();
    // A copy: a receiver may start the next program, which empties output_.
    const QByteArray output = output_;
    emit ended(output);
}

bool CollectedCommand::running() const
{
    return command_ != nullptr;
}
