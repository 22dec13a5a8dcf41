#include "kitfonts.h"

#include <QDebug>
#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace {
struct KitFontName {
    const char* name;
    QStringList families;   // installed families, first choice first
};
}

void RegisterKitFonts()
{
    const KitFontName table[] = {
        {kMicroHeiFamily, {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei")}},
        {kWenQuanYiFamily, {QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("WenQuanYi Micro Hei")}},
    };
    const QStringList installed = QFontDatabase::families();
    for (const KitFontName& row : table) {
        QFont::insertSubstitutions(QString::fromLatin1(row.name), row.families);
        bool found = false;
        for (const QString& family : row.families)
            found = found || installed.contains(family);
        if (!found)
            qWarning().noquote() << "font" << row.name << "has none of its families installed:"
                                 << row.families.join(QLatin1String(", "));
    }
}
