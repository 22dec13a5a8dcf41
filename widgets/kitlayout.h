#pragma once
// Every widget of the kit has a large and a small layout; screens wider than
// 1024 px take the large one.
#include "globals.h"
#include "kitfonts.h"

#include <QFont>
#include <QPalette>
#include <QWidget>
#include <QString>

inline bool IsLargeLayout()
{
    return gShowW > 1024;
}

// Row size of a field widget (EditBox, CheckBox).  Layout follows the screen
// as every widget of the kit does; Medium lies between the small and the
// large rows, for a page fitted to a screen on which the large rows do not fit.
enum class KitRowSize { Layout, Small, Medium, Large };

inline KitRowSize ResolveRowSize(KitRowSize size)
{
    if (size != KitRowSize::Layout)
        return size;
    return IsLargeLayout() ? KitRowSize::Large : KitRowSize::Small;
}

// The kit's fonts are requested by family and pixel size.
inline QFont KitFont(const QString& family, int pixelSize)
{
    QFont f(family);
    f.setPixelSize(pixelSize);
    return f;
}

// Text colour of a label or check box in every state (the kit's captions are yellow).
inline void SetTextColor(QWidget* widget, const QColor& color)
{
    QPalette pal = widget->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setColor(group, QPalette::WindowText, color);
    widget->setPalette(pal);
}

inline QFont MicroHei(int pixelSize) { return KitFont(QString::fromLatin1(kMicroHeiFamily), pixelSize); }
inline QFont WenQuanYi(int pixelSize) { return KitFont(QString::fromLatin1(kWenQuanYiFamily), pixelSize); }
