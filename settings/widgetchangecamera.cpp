#include "widgetchangecamera.h"

#include "cameraglobals.h"
#include "cameraprobe.h"
#include "colorbutton.h"
#include "combobox.h"
#include "kitlayout.h"
#include "messages.h"
#include "pixmaps.h"
#include "warnbox.h"

#include <QPainter>

#include <glog/logging.h>

namespace {
constexpr int kNotSavedMessage = 3010;   // "Camera order not saved"
}

WidgetChangeCamera::Metrics WidgetChangeCamera::metrics()
{
    if (gShowW > 1024)
        return {50, 10, 20, 400, 360, 160, 32, 32, QSize(550, 560)};
    return {30, 5, 55, 260, 245, 100, 20, 16, QSize(400, 330)};
}

int WidgetChangeCamera::RepeatedSlot(const int* chosen, int count)
{
    for (int i = 0; i < count; ++i)
        for (int j = i + 1; j < count; ++j)
            if (chosen[i] == chosen[j])
                return chosen[i];
    return -1;
}

WidgetChangeCamera::WidgetChangeCamera(QWidget* parent) : QWidget(parent)
{
    const Metrics m = metrics();
    setGeometry(gShowW / 2 - m.size.width() / 2, gShowH / 2 - m.size.height() / 2, m.size.width(), m.size.height());
    QFont boxFont(QStringLiteral("times"));
    boxFont.setWeight(QFont::Thin);
    boxFont.setPixelSize(m.boxPx);
    rows = std::clamp(numCamera, 0, 8);
    for (int i = 0; i < rows; ++i) {
        gCamNO[i] = i;
        slotBox[i] = new ComboBox(this);
        slotBox[i]->setGeometry(m.boxX, 10 + i * (m.rowHeight + m.gap), m.boxW, m.rowHeight);
        slotBox[i]->setItemHeight(m.rowHeight);
        slotBox[i]->setFont(boxFont);
        for (int n = 1; n <= rows; ++n)
            slotBox[i]->addItem(Msg(394).arg(n));
        slotBox[i]->setCurrentIndex(i);
        connect(slotBox[i], qOverload<int>(&QComboBox::currentIndexChanged), this,
                [this, i](int index) { SetCameraNO(i, index); });
    }
    okButton = new ColorButton(Msg(121), this);
    // Where a ninth row would start, whatever the number of cameras.
    okButton->setGeometry(30, 10 + 8 * (m.rowHeight + m.gap), m.size.width() - 60, m.rowHeight);
    connect(okButton, &QPushButton::clicked, this, &WidgetChangeCamera::SlotOK);
}

WidgetChangeCamera::~WidgetChangeCamera() = default;

void WidgetChangeCamera::SetCameraNO(int camera, int index)
{
    if (camera >= 0 && camera < 8 && index >= 0 && index < 8)
        gCamNO[camera] = index;
}

void WidgetChangeCamera::SetCameraNO0(int index) { SetCameraNO(0, index); }
void WidgetChangeCamera::SetCameraNO1(int index) { SetCameraNO(1, index); }
void WidgetChangeCamera::SetCameraNO2(int index) { SetCameraNO(2, index); }
void WidgetChangeCamera::SetCameraNO3(int index) { SetCameraNO(3, index); }
void WidgetChangeCamera::SetCameraNO4(int index) { SetCameraNO(4, index); }
void WidgetChangeCamera::SetCameraNO5(int index) { SetCameraNO(5, index); }
void WidgetChangeCamera::SetCameraNO6(int index) { SetCameraNO(6, index); }
void WidgetChangeCamera::SetCameraNO7(int index) { SetCameraNO(7, index); }

void WidgetChangeCamera::SlotOK()
{
    const int repeated = RepeatedSlot(gCamNO, std::min(rows, numCamera));
    if (repeated >= 0) {
        if (gpWarnBox) {
            gpWarnBox->setText(Msg(361).arg(repeated + 1), 361);
            gpWarnBox->exec();
        }
        return;
    }
    // The binding first: only a stored one is worth a restart.
    if (!SaveSN(0)) {
        if (gpWarnBox) {
            gpWarnBox->setText(Msg(kNotSavedMessage), kNotSavedMessage);
            gpWarnBox->exec();
        }
        return;
    }
    hide();
    if (shutDownAsked)
        shutDownAsked();
}

void WidgetChangeCamera::paintEvent(QPaintEvent*)
{
    const Metrics m = metrics();
    QPainter p(this);
    DrawPixmap(p, rect(), gpPixmapBG);
    QFont font(QStringLiteral("times"));
    font.setWeight(QFont::Thin);
    font.setPixelSize(m.textPx);
    p.setFont(font);
    p.setPen(Qt::yellow);
    for (int i = 0; i < rows; ++i)
        p.drawText(QRect(m.textX, 10 + i * (m.rowHeight + m.gap), m.textW, m.rowHeight),
                   Qt::AlignLeft | Qt::AlignVCenter, Msg(395).arg(i + 1));
}
