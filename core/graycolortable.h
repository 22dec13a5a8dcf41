#pragma once
// The colour table of every 8-bit QImage of the program: entry i is the
// opaque grey with red = green = blue = i.
#include <QVector>
#include <QtGui/qrgb.h>

// Built once; copies share its data.
const QVector<QRgb>& GrayColorTable();
