#include "templatedeletion.h"

#include "relaylink.h"

#include <QDebug>
#include <QDir>
#include <QFile>

#include <algorithm>

int DeleteTemplatesButBase(CameraSlotState& slot, int camIndex, int detections, bool netEnabled)
{
    int removed = 0;
    detections = std::clamp(detections, 0, kDetections);
    for (int d = 0; d < detections; ++d) {
        std::vector<std::vector<uchar>>& buffers = slot.templates[d];
        for (size_t t = 1; t < buffers.size(); ++t)
            std::vector<uchar>().swap(buffers[t]);
        std::vector<int>& valid = slot.templateValid[d];
        for (size_t t = 1; t < valid.size(); ++t)
            valid[t] = 0;
        slot.templateCount[d] = !valid.empty() && valid[0] ? 1 : 0;

        const QDir folder(QStringLiteral("./cammer%1%2").arg(camIndex + 1).arg(d + 1));
        const QStringList names = folder.entryList({QStringLiteral("template*")}, QDir::Files, QDir::Name);
        for (const QString& name : names) {
            if (name == QLatin1String("template0.bmp"))
                continue;
            QFile file(folder.filePath(name));
            if (!file.remove()) {
                qWarning().noquote() << "cannot remove template" << file.fileName() << ":" << file.errorString();
                continue;
            }
            ++removed;
            if (netEnabled && RelayReady(true))
                gpNet->CNT_SendDelTempPic(camIndex + 1, d + 1, name);
        }
    }
    slot.tempShown = 0;
    return removed;
}
