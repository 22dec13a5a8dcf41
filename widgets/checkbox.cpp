#include "checkbox.h"

#include "kitlayout.h"

CheckBox::CheckBox(QWidget* parent, const QString& text, KitRowSize size)
    : QCheckBox(text, parent), rowSize(ResolveRowSize(size))
{
    SetTextColor(this, Qt::yellow);
    // Text pixel size and indicator side of the small, medium and large rows.
    const int fontPx = rowSize == KitRowSize::Large ? 28 : rowSize == KitRowSize::Medium ? 20 : 14;
    indicatorSide = rowSize == KitRowSize::Large ? 32 : rowSize == KitRowSize::Medium ? 24 : 16;
    setFont(MicroHei(fontPx));
    setStyleSheet(QStringLiteral("QCheckBox::indicator {width: %1px; height: %2px;} "
                                 "QCheckBox::indicator:checked {border-image: url(images/check.png);}")
                      .arg(indicatorSide)
                      .arg(indicatorSide));
}

CheckBox::~CheckBox() = default;

int CheckBox::value() const
{
    return checkState() == Qt::Checked ? 1 : 0;
}

void CheckBox::setValue(int v)
{
    setChecked(v != 0);
}
