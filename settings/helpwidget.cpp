#include "helpwidget.h"

#include "colorbutton.h"
#include "kitlayout.h"
#include "messages.h"
#include "mojuwizard.h"
#include "pixmaps.h"

#include <QDir>
#include <QPainter>

#include <algorithm>

QString HelpWidget::Folder(int language)
{
    return language == LanSimplifiedChinese ? QStringLiteral("./help/") : QStringLiteral("./help-en/");
}

int HelpWidget::Clamped(int index, int count)
{
    return count <= 0 ? 0 : std::clamp(index, 0, count - 1);
}

HelpWidget::HelpWidget(QWidget* parent) : QWidget(parent)
{
    setGeometry(0, 0, gShowW, gShowH);
    const bool large = gShowW > 1024;
    const int w = large ? 150 : 80;
    const int h = large ? 60 : 30;
    lastButton = new ColorButton(Msg(339), this);
    nextButton = new ColorButton(Msg(340), this);
    alarmButton = new ColorButton(Msg(146), this);
    returnButton = new ColorButton(Msg(58), this);
    int x = 10;
    for (ColorButton* b : {lastButton, nextButton, alarmButton, returnButton}) {
        b->setGeometry(x, 5, w, h);
        x += w + 5;
    }
    connect(lastButton, &QPushButton::clicked, this, &HelpWidget::SlotLast);
    connect(nextButton, &QPushButton::clicked, this, &HelpWidget::SlotNext);
    connect(alarmButton, &QPushButton::clicked, this, &HelpWidget::SlotAlarm);
    connect(returnButton, &QPushButton::clicked, this, &HelpWidget::SlotReturn);

    const QString folder = Folder(gLan);
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.png")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& file : files) {
        if (pictureCount == kMaxPictures)
            break;
        // A file that does not load as a picture is not a page.
        if (pictures[pictureCount].load(folder + file.fileName()))
            ++pictureCount;
    }
}

HelpWidget::~HelpWidget() = default;

void HelpWidget::clampChapter()
{
    gHelpC = Clamped(gHelpC, pictureCount);
}

void HelpWidget::SlotNext()
{
    if (pictureCount == 0)
        return;
    clampChapter();
    gHelpC = (gHelpC + 1) % pictureCount;
    update();
}

void HelpWidget::SlotLast()
{
    if (pictureCount == 0)
        return;
    clampChapter();
    gHelpC = gHelpC == 0 ? pictureCount - 1 : gHelpC - 1;
    update();
}

void HelpWidget::SlotAlarm()
{
    if (pictureCount == 0)
        return;
    gHelpC = Clamped(kAlarmPicture, pictureCount);
    update();
}

void HelpWidget::SlotReturn()
{
    hide();
}

void HelpWidget::showEvent(QShowEvent* event)
{
    if (pictureCount > 0)
        clampChapter();
    QWidget::showEvent(event);
}

void HelpWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (pictureCount > 0)
        p.drawPixmap(0, 0, pictures[Clamped(gHelpC, pictureCount)]);
    else
        DrawPixmap(p, rect(), gpPixmapBG);
    const bool large = gShowW > 1024;
    p.fillRect(0, 0, large ? 630 : 355, large ? 70 : 40, Qt::gray);
}
