// Entry point of the mould monitor.  The working directory is the program
// directory; the arguments go to Qt and glog.
#include "mapplication.h"
#include "startup.h"

#include <QWidget>

int main(int argc, char** argv)
{
    Startup::OpenPanelDevice();
    MApplication app(argc, argv);
    Startup startup(Startup::ProgramParts());
    startup.BeforeMainWindow(argv);
    QWidget* window = startup.MakeMainWindow();
    window->showMaximized();
    return app.exec();
}
