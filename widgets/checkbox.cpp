#include "checkbox.h"

#include "kitlayout.h"

CheckBox::CheckBox(QWidget* parent, const QString& text)
    : QCheckBox(text, parent)
{
    SetTextColor(this, Qt::yellow);
    const bool large = IsLargeLayout();
    setFont(MicroHei(large ? 28 : 14));
    const int side = large ? 32 : 16;
    setStyleSheet(QStringLiteral("QCheckBox::indicator {width: %1px; height: %2px;} "
                                 "QCheckBox::indicator:checked {border-image: url(images/check.png);}")
                      .arg(side)
                      .arg(side));
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
