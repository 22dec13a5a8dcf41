#pragma once
// The bar chart of one shift: an OK bar (green) and an NG bar (red) per
// clock hour, each with its value, the hour below, and a legend.
//
// The geometry is a pure function of the widget's size and the series
// (LayoutHistogram), so the drawing rules are tested as tables; paintEvent
// only draws the precomputed layout.
#include <QColor>
#include <QFont>
#include <QLine>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>

// One hour's slot of the chart.
struct HistogramBar {
    int hour = 0;
    int okValue = 0, ngValue = 0;
    QLine tick;
    QRect labelBox;        // the hour, centred
    QRect okBar, ngBar;    // empty (height 0) for a zero value
    QRect okTextBox, ngTextBox;
};

struct HistogramLayout {
    QLine xAxis, yAxis;
    double scale = 0;   // pixels per count; 0 when every value is 0
    int slot = 0;       // width of one hour's slot
    QList<HistogramBar> bars;
    QRect okLegendText, okSwatch, ngLegendText, ngSwatch;
};

inline const QColor kHistogramOk{0, 255, 0, 200};
inline const QColor kHistogramNg{255, 0, 0, 200};

// Bars for min(sizes of the three lists) hours; maxValue the largest OK or
// NG value (0 for empty lists).  With textWidth (pixels of a value's text),
// a value wider than its box gets a box as wide as its text, centred on its
// bar, and the NG text moves above the OK text when they would cover each
// other; a full-size chart's boxes are wide enough for five digits.
HistogramLayout LayoutHistogram(const QSize& size, const QList<int>& hourLabels,
                                const QList<int>& okValues, const QList<int>& ngValues,
                                const std::function<int(int)>& textWidth = {});

// NG share of a day as shown beside the charts: NG x 100 / (OK + NG) with up
// to 4 significant digits in the shortest form, then "%"; a day without any
// result reads "0%".
QString ngRateText(int okCount, int ngCount);

class Histogram : public QWidget {
    Q_OBJECT
public:
    Histogram(QWidget* parent, QList<int> hourLabels, QList<int> okValues, QList<int> ngValues);

    // Replaces both series and schedules a repaint; always true.
    bool modifyDataAxisY(QList<int> okValues, QList<int> ngValues);
    // Values and hours (15 px on a full-size page), legend (10 pt).
    void setFonts(const QFont& text, const QFont& legend);

    // The layout paintEvent draws, at the current size and fonts.
    HistogramLayout layout() const;

    QList<int> okValues, ngValues, hourLabels;
    int barCount = 0;
    int maxValue = 0;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void clcMaxY();
    QFont textFont_, legendFont_;
};
