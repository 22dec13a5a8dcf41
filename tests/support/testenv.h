#pragma once
// Every test runs in its own temporary program directory with the seams
// replaced: commands are recorded (never run), the panel device records, the
// clock is fake, modal boxes answer from a script, and the log folders and
// device paths point into the temporary directory.
#include "clock.h"
#include "commandrunner.h"
#include "modalhook.h"
#include "paneldevice.h"
#include "paths.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <vector>

class TestEnv {
public:
    TestEnv();
    ~TestEnv();
    TestEnv(const TestEnv&) = delete;
    TestEnv& operator=(const TestEnv&) = delete;

    QString dir() const { return tmp_.path(); }
    QString path(const QString& relative) const { return QDir(dir()).filePath(relative); }
    // Writes a text file below the program directory (folders are made).
    void writeFile(const QString& relative, const QByteArray& content) const;
    QByteArray readFile(const QString& relative) const;

    std::shared_ptr<RecordingCommandRunner> runner;
    std::shared_ptr<RecordingPanelDevice> panel;
    std::shared_ptr<FakeClock> clock;

    // Modal boxes: every request is kept; the answer is the next scripted one,
    // or defaultAnswer when the script is used up.
    std::vector<ModalRequest> modalRequests;
    std::vector<int> modalAnswers;
    size_t modalAnswersUsed = 0;
    int defaultAnswer = 0;
    // Text prompts (password prompts): their requests go to modalRequests
    // too; the answers are taken in order, nullopt meaning Cancel, and once
    // the script is used up every prompt is cancelled.
    std::vector<std::optional<QString>> modalTexts;
    size_t modalTextsUsed = 0;

private:
    QTemporaryDir tmp_;
    QString oldDir_;
    std::shared_ptr<CommandRunner> oldRunner_;
    std::shared_ptr<PanelDevice> oldPanel_;
    std::shared_ptr<Clock> oldClock_;
    Paths oldPaths_;
};
