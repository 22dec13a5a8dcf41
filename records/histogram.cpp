#include "histogram.h"

#include "kitfonts.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace {
constexpr int kMinBarPx = 2;

int maxOf(const QList<int>& a, const QList<int>& b)
{
    int m = 0;
    for (int v : a)
        m = std::max(m, v);
    for (int v : b)
        m = std::max(m, v);
    return m;
}
// A value wider than its half-slot box (a fitted, narrow chart) gets a box
// as wide as its text, centred on its bar; when the two texts of an hour
// would then cover each other, the NG text moves up above the OK text.
void fitValueTexts(HistogramBar* b, const std::function<int(int)>& textWidth)
{
    const auto widen = [&](QRect* box, int value) {
        const int need = textWidth(value) + 2;
        if (need > box->width())
            *box = QRect(box->left() + box->width() / 2 - need / 2, box->top(), need, box->height());
    };
    widen(&b->okTextBox, b->okValue);
    widen(&b->ngTextBox, b->ngValue);
    if (b->okTextBox.intersects(b->ngTextBox))
        b->ngTextBox.moveBottom(b->okTextBox.top() - 1);
}

}  // namespace

HistogramLayout LayoutHistogram(const QSize& size, const QList<int>& hourLabels,
                                const QList<int>& okValues, const QList<int>& ngValues,
                                const std::function<int(int)>& textWidth)
{
    HistogramLayout l;
    const int w = size.width() - 1;
    const int h = size.height() - 1;
    const int count = int(std::min({hourLabels.size(), okValues.size(), ngValues.size()}));
    const int maxValue = maxOf(okValues, ngValues);
    const int base = h - 19;   // the x axis; bars stand on it

    l.xAxis = QLine(0, base, w + 1, base);
    l.yAxis = QLine(20, 40, 20, h + 1);
    l.scale = maxValue == 0 ? 0.0 : double(h - 59) / maxValue;
    l.slot = (w - 39) / (count + 1);
    const int p = l.slot;
    const int half = p / 2;

    for (int i = 0; i < count; ++i) {
        HistogramBar b;
        const int x = (i + 1) * p + 20;
        b.hour = hourLabels[i];
        b.okValue = okValues[i];
        b.ngValue = ngValues[i];
        b.tick = QLine(x, h - 29, x, base);
        b.labelBox = QRect(x - half, base, p, 20);
        // Heights in integers, so the largest value reaches exactly h - 59
        // (a float scale may come out one pixel short).  A count too small
        // for a pixel still gets a visible sliver: one NG among a thousand
        // OK must not look like none.
        const auto bar = [&](int left, int value, QRect* rect, QRect* text) {
            int height = maxValue == 0 ? 0 : int(qint64(value) * (h - 59) / maxValue);
            if (value > 0)
                height = std::max(height, std::min(kMinBarPx, h - 59));
            const int top = base - height;
            *rect = QRect(left, top, half, height);
            *text = QRect(left, std::min(top, h - 39), half, 20);
        };
        bar(x - half, b.okValue, &b.okBar, &b.okTextBox);
        bar(x, b.ngValue, &b.ngBar, &b.ngTextBox);
        if (textWidth)
            fitValueTexts(&b, textWidth);
        l.bars << b;
    }

    l.okLegendText = QRect(w - 139, 5, 100, 30);
    const int g = int(w - 139 - (p / 2.0 + 5));
    l.okSwatch = QRect(g, 5, half, 30);
    l.ngLegendText = QRect(g - 105, 5, 100, 30);
    l.ngSwatch = QRect(int(g - 105 - (p / 2.0 + 5)), 5, half, 30);
    return l;
}

QString ngRateText(int okCount, int ngCount)
{
    const int all = okCount + ngCount;
    if (all == 0)
        return QStringLiteral("0%");
    return QString::number(ngCount * 100.0 / all, 'g', 4) + QLatin1Char('%');
}

Histogram::Histogram(QWidget* parent, QList<int> hourLabels, QList<int> okValues, QList<int> ngValues)
    : QWidget(parent), okValues(std::move(okValues)), ngValues(std::move(ngValues)),
      hourLabels(std::move(hourLabels))
{
    textFont_ = QFont(QString::fromLatin1(kMicroHeiFamily));
    textFont_.setPixelSize(15);
    legendFont_ = QFont(QString::fromLatin1(kMicroHeiFamily));
    legendFont_.setPointSize(10);
    clcMaxY();
}

void Histogram::setFonts(const QFont& text, const QFont& legend)
{
    textFont_ = text;
    legendFont_ = legend;
    update();
}

bool Histogram::modifyDataAxisY(QList<int> ok, QList<int> ng)
{
    okValues = std::move(ok);
    ngValues = std::move(ng);
    clcMaxY();
    update();
    return true;
}

void Histogram::clcMaxY()
{
    barCount = int(std::min({hourLabels.size(), okValues.size(), ngValues.size()}));
    maxValue = maxOf(okValues, ngValues);
}

HistogramLayout Histogram::layout() const
{
    const QFontMetrics metrics(textFont_);
    return LayoutHistogram(size(), hourLabels, okValues, ngValues,
                           [&metrics](int value) { return metrics.horizontalAdvance(QString::number(value)); });
}

void Histogram::paintEvent(QPaintEvent*)
{
    const HistogramLayout l = layout();
    QPainter p(this);
    p.setPen(Qt::black);
    p.setFont(textFont_);
    p.drawLine(l.xAxis);
    p.drawLine(l.yAxis);
    for (const HistogramBar& b : l.bars) {
        p.drawLine(b.tick);
        p.drawText(b.labelBox, Qt::AlignCenter, QString::number(b.hour));
        p.fillRect(b.okBar, kHistogramOk);
        p.drawText(b.okTextBox, Qt::AlignCenter, QString::number(b.okValue));
        p.fillRect(b.ngBar, kHistogramNg);
        p.drawText(b.ngTextBox, Qt::AlignCenter, QString::number(b.ngValue));
    }
    // The legend's texts are fixed Chinese in every language.
    p.setFont(legendFont_);
    p.drawText(l.okLegendText, Qt::AlignCenter, QStringLiteral("产出次数"));
    p.fillRect(l.okSwatch, kHistogramOk);
    p.drawText(l.ngLegendText, Qt::AlignCenter, QStringLiteral("异常次数"));
    p.fillRect(l.ngSwatch, kHistogramNg);
}
