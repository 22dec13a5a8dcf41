#pragma once
// The common run of the window screenshot tools: the real program on the
// demo machine, one state driven after the window settled, the screen
// saved.  Usage of every such tool: --state S --lang L --out FILE.
#include <QString>
#include <QStringList>

#include <functional>

namespace demo {

struct WindowShot {
    const char* program;   // the tool's name, for its messages
    QStringList states;
    // Lays out what the state needs before the program starts (PARAM.db in
    // the language, files); false: the tool stops.
    std::function<bool(const QString& state, int language)> prepare;
    // Brings the running window into the state.
    std::function<void(const QString& state)> drive;
};

int RunWindowShot(int argc, char** argv, const WindowShot& shot);

}  // namespace demo
