// mm_make_demo: lays out a program directory for the demo (see demolayout.h).
#include "demolayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

namespace {

const char kUsage[] =
    "usage: mm_make_demo DIR [--cameras N] [--lang 0|1|2]\n"
    "Lays out a program directory for the monitor: PARAM.db (with the relay link\n"
    "on), the areas of each camera, SN.db, the templates, realytime.txt,\n"
    "time.txt, camsim.json and the scenes under scenes/ that mm_boardsim\n"
    "--machine swaps, and the cycle-time export program as cnt_net/xls.\n"
    "  --cameras N   simulated cameras, 1 to 8 (default 2)\n"
    "  --lang L      0 Simplified Chinese, 1 English, 2 Traditional Chinese\n"
    "                (default: the parameters' default)\n";

bool toInt(const QString& s, int lo, int hi, int* out)
{
    bool ok = false;
    const int v = s.toInt(&ok);
    if (!ok || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    demo::Options o;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == QLatin1String("--cameras")) {
            if (i + 1 >= args.size() || !toInt(args[++i], 1, demo::kMaxCameras, &o.cameras)) {
                std::fprintf(stderr, "mm_make_demo: --cameras takes 1 to %d\n", demo::kMaxCameras);
                return 2;
            }
        } else if (a == QLatin1String("--lang")) {
            if (i + 1 >= args.size() || !toInt(args[++i], 0, 2, &o.language)) {
                std::fputs("mm_make_demo: --lang takes 0, 1 or 2\n", stderr);
                return 2;
            }
        } else if (!a.startsWith(QLatin1Char('-')) && o.dir.isEmpty()) {
            o.dir = a;
        } else {
            std::fprintf(stderr, "mm_make_demo: unknown argument %s\n%s", qPrintable(a), kUsage);
            return 2;
        }
    }
    if (o.dir.isEmpty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    QString error;
    if (!demo::makeLayout(o, &error)) {
        std::fprintf(stderr, "mm_make_demo: %s\n", qPrintable(error));
        return 1;
    }
    // Ours, built beside this tool; replaced so a rebuilt program is used.
    const QString xls = QDir(o.dir).filePath(QStringLiteral("cnt_net/xls"));
    QDir().mkpath(QFileInfo(xls).absolutePath());
    QFile::remove(xls);
    if (!QFile::copy(QStringLiteral(MM_XLS_PROGRAM), xls)) {
        std::fprintf(stderr, "mm_make_demo: cannot place %s\n", qPrintable(xls));
        return 1;
    }
    std::printf("mm_make_demo: %s laid out with %d camera(s)\n", qPrintable(o.dir), o.cameras);
    return 0;
}
