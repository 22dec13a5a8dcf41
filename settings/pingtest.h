#pragma once
// The network page's connection test: the default gateway from the route
// table, a ping to it, a ping to a public address.  The three commands run
// one after the other as programs of the command runner started without
// waiting; the GUI thread only receives their output through its event
// loop, so the detection cycle keeps running while the pings wait for
// their answers.  GUI thread only.
#include <QObject>
#include <QStringList>

class CollectedCommand;

// Pinged to judge the internet: a public DNS server that answers pings.
inline const char* const kInternetProbeAddress = "114.114.114.114";

class ConnectionTest : public QObject {
    Q_OBJECT
public:
    struct Result {
        bool gatewayFound = false;   // false: nothing was pinged
        bool lan = false;
        bool internet = false;
    };

    // Longest wait for each command; then what it printed so far is judged.
    static constexpr int kCommandTimeoutMs = 30000;

    explicit ConnectionTest(QObject* parent = nullptr);
    ~ConnectionTest() override;

    // Starts a test; false (and nothing happens) while one is running.
    bool start();
    bool running() const { return step_ != Step::Idle; }

signals:
    void finished(const ConnectionTest::Result& result);

private:
    enum class Step { Idle, Route, Gateway, Internet };
    void run(Step step, const QStringList& args);
    void stepEnded(const QByteArray& output);

    Step step_ = Step::Idle;
    CollectedCommand* command_ = nullptr;
    Result result_;
    QString gateway_;
};
