// Entry point of the mould monitor.
#include "globals.h"
#include "messages.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    CreateSharedLocks();
    FillMessageTable();
    QLabel placeholder(QStringLiteral("Mould monitor: the main window is not built yet."));
    placeholder.showMaximized();
    return app.exec();
}
