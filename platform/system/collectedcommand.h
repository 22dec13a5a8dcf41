#pragma once
// One program started through the command runner whose whole output is
// wanted, without the GUI thread waiting for it: the output is collected
// and reported once, when the program ends or when the time limit passes
// (the program is then killed and what it printed so far is reported).
// GUI thread only.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QStringList>

class QTimer;
class RunningCommand;

class CollectedCommand : public QObject {
    Q_OBJECT
public:
    explicit CollectedCommand(QObject* parent = nullptr);
    ~CollectedCommand() override;

    // Starts program; one still running is cancelled first.
    void start(const QString& program, const QStringList& args, int limitMs);
    // Kills a running program without reporting it.
    void cancel();
    bool running() const;

signals:
    void ended(const QByteArray& output);

private:
    void finish();

    QPointer<RunningCommand> command_;
    QByteArray output_;
    QTimer* limit_ = nullptr;
    int limitMs_ = 0;
};
