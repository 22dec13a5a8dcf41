#include "combobox.h"

#include <QEvent>
#include <QListView>

ComboBox::ComboBox(QWidget* parent)
    : QComboBox(parent)
{
    installEventFilter(this);
    setFocusPolicy(Qt::NoFocus);
    listView = new QListView(this);
    setView(listView);
}

ComboBox::~ComboBox() = default;

void ComboBox::setItemHeight(int h)
{
    setStyleSheet(QStringLiteral("QComboBox QAbstractItemView::item{height:%1px;}").arg(h)
                  + QStringLiteral("QComboBox::tab-bar{border-width:0px;}"));
}

bool ComboBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && event->type() == QEvent::MouseButtonPress)
        emit clicked();
    return QComboBox::eventFilter(watched, event);
}
