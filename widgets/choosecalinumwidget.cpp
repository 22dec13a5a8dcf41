#include "choosecalinumwidget.h"

#include "combobox.h"
#include "kitlayout.h"
#include "warnbox.h"

ChooseCaliNumWidget::ChooseCaliNumWidget(QWidget* parent)
    : ChooseBox(parent)
{
    pointsCombo = new ComboBox(this);
    pointsCombo->setFont(MicroHei(IsLargeLayout() ? 33 : 16));
    // The small box is too narrow for the large combo: it gets one that ends
    // inside the box.
    const QSize comboSize = IsLargeLayout() ? QSize(200, 50) : QSize(100, 40);
    pointsCombo->setGeometry(QRect(QPoint(width() / 2 + 100, height() / 4 - 30), comboSize));
    pointsCombo->addItems({QStringLiteral(" 4 "), QStringLiteral(" 9 "), QStringLiteral(" 25 ")});
    pointsCombo->setFixedSize(comboSize);
    pointsCombo->setItemHeight(50);
}

ChooseCaliNumWidget::~ChooseCaliNumWidget() = default;

void ChooseCaliNumWidget::paintEvent(QPaintEvent*)
{
    // The question stands left of the combo and must not run under it.
    const int right = pointsCombo->x() - 10;
    PaintBox(this, message, QRect(50, 0, right - 50, height() / 2), Qt::AlignLeft | Qt::AlignVCenter, true);
}
