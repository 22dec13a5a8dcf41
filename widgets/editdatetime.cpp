#include "editdatetime.h"

#include "clock.h"
#include "commandrunner.h"
#include "kitlayout.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QTimeEdit>

namespace {
QString spinStyle(const QString& cls, int buttonSize)
{
    return QStringLiteral("%2::up-button{subcontrol-origin:border;subcontrol-position:right;"
                          "image: url(./images/right.png);width: %1px;height: %1px;}"
                          "%2::down-button {subcontrol-origin:border;subcontrol-position:left;"
                          "image: url(./images/left.png);width: %1px;height: %1px;}")
        .arg(buttonSize)
        .arg(cls);
}

constexpr int kClockCommandMs = 3000;
}

EditDateTime::EditDateTime(const QString& caption, QWidget* parent)
    : QWidget(parent)
{
    const bool large = IsLargeLayout();
    const QFont font = WenQuanYi(large ? 30 : 17);
    const QSize editorSize = large ? QSize(330, 60) : QSize(200, 40);
    const int button = large ? 60 : 40;
    setFixedHeight(large ? 80 : 50);
    setFont(font);

    captionLabel = new QLabel(caption, this);
    captionLabel->setFont(font);
    SetTextColor(captionLabel, Qt::yellow);
    captionLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    dateTime = appClock().now();

    dateEdit = new QDateEdit(this);
    dateEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    timeEdit = new QTimeEdit(this);
    timeEdit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    dateEdit->setStyleSheet(spinStyle(QStringLiteral("QDateEdit"), button));
    timeEdit->setStyleSheet(spinStyle(QStringLiteral("QTimeEdit"), button));
    for (QAbstractSpinBox* e : {static_cast<QAbstractSpinBox*>(dateEdit), static_cast<QAbstractSpinBox*>(timeEdit)}) {
        e->setFont(font);
        e->setFixedSize(editorSize);
        e->setAlignment(Qt::AlignCenter);
    }

    auto* grid = new QGridLayout(this);
    grid->addWidget(captionLabel, 0, 0);
    if (large) {
        grid->addWidget(dateEdit, 0, 1);
        grid->addWidget(timeEdit, 0, 2);
    } else {
        grid->addWidget(dateEdit, 1, 0);
        grid->addWidget(timeEdit, 1, 1);
    }
    grid->setHorizontalSpacing(large ? 10 : 6);
    grid->setVerticalSpacing(10);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

EditDateTime::~EditDateTime() = default;

void EditDateTime::ShowDateTime()
{
    const QDateTime now = appClock().now();
    dateEdit->setDate(now.date());
    timeEdit->setTime(now.time());
}

QDateTime EditDateTime::m_getDateTime() const
{
    return QDateTime(dateEdit->date(), timeEdit->time());
}

bool EditDateTime::setSysDateTime()
{
    dateTime = m_getDateTime();
    CommandRunner& runner = commandRunner();
    const CommandResult set = runner.run(QStringLiteral("date"),
                                         {QStringLiteral("-s"), dateTime.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))},
                                         kClockCommandMs);
    if (!set.ok())
        return false;
    // Copy the new system time into the hardware clock so a reboot keeps it.
    const CommandResult sync = runner.run(QStringLiteral("hwclock"), {QStringLiteral("--systohc")}, kClockCommandMs);
    return sync.ok();
}
