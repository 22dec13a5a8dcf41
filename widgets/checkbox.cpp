#include "checkbox.h"

#include "kitlayout.h"

CheckBox::CheckBox(QWidget* parent, const QString& text)
    : QCheckBox(text, parent)
{
    QPalette pal = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setColor(group, QPalette::WindowText, Qt::yellow);
    setPalette(pal);
    const bool large = IsLargeLayout();
    setFont(MicroHei(large ? 28 : 14));
    const int side = large ? 32 : 16;
    setStyleSheet(QStringLiteral("QCheckBox::indicator {width: %1px; height: %2px;} "
                                 "QCheckBox::indicator:checked {border-image: url(images/check.png);}")
                      .arg(side)
                      .arg(side));
    installEventFilter(this);
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

bool CheckBox::eventFilter(QObject* watched, QEvent* event)
{
    return QCheckBox::eventFilter(watched, event);
}
