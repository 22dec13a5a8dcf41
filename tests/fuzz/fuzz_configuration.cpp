// conf.txt and confnext.txt as the viewer reads them: any bytes decoded as
// UTF-8.  Every entry must be one line of plain text (no TAB, line break,
// other control character or '_' left in a name or value), and there are
// never more entries than lines.
#include "hardwareconfigurationwidget.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const ConfigurationEntries entries = ParseConfiguration(text);
    if (entries.size() > text.count(QLatin1Char('\n')) + 1)
        std::abort();
    for (const auto& [name, value] : entries)
        for (const QString& field : {name, value})
            for (const QChar c : field)
                if (c == QLatin1Char('_') || c.category() == QChar::Other_Control)
                    std::abort();
    return 0;
}
