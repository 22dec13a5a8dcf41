#include "modifytimewidget.h"

#include "colorbutton.h"
#include "editdatetime.h"
#include "kitlayout.h"
#include "messages.h"
#include "warnbox.h"

ModifyTimeWidget::ModifyTimeWidget(QWidget* parent)
    : ChooseBox(parent)
{
    dateTimeEdit = new EditDateTime(QString(), this);
    if (IsLargeLayout())
        dateTimeEdit->setGeometry(0, 50, 280, 60);
    else
        dateTimeEdit->setGeometry(0, 0, 150, 40);
    yesButton->setText(Msg(121));
    noButton->setText(Msg(124));
}

ModifyTimeWidget::~ModifyTimeWidget() = default;

void ModifyTimeWidget::paintEvent(QPaintEvent*)
{
    PaintBox(this, QString(), rect(), 0, false);
}
