// mm_make_images <dir>: draws the interface pictures into dir.
#include "imagemaker.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QStringList failed = MakeInterfaceImages(QString::fromLocal8Bit(argv[1]));
    for (const QString& f : failed)
        std::fprintf(stderr, "cannot write %s\n", qPrintable(f));
    return failed.isEmpty() ? 0 : 1;
}
