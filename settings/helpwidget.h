#pragma once
// The help pages: the PNG pictures of the start-up language's help folder
// ("./help/" for Simplified Chinese, "./help-en/" otherwise), at most 50 in
// name order, shown one at a time over the whole screen with Last, Next,
// Alarm and Return.  The picture shown is gHelpC, kept between openings and
// set by the area page's help; it is kept within the pictures loaded before
// every use.  Without pictures the buttons but Return do nothing.  A child
// of the main window, built once and hidden.  GUI thread only.
#include <QPixmap>
#include <QWidget>

class ColorButton;

class HelpWidget : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxPictures = 50;
    static constexpr int kAlarmPicture = 6;

    explicit HelpWidget(QWidget* parent);
    ~HelpWidget() override;

    // The help folder of a language.
    static QString Folder(int language);
    // index kept within count pictures (0 when there are none).
    static int Clamped(int index, int count);

    QPixmap pictures[kMaxPictures];
    ColorButton* returnButton = nullptr;
    ColorButton* nextButton = nullptr;
    ColorButton* lastButton = nullptr;
    ColorButton* alarmButton = nullptr;
    int pictureCount = 0;

public slots:
    void SlotLast();
    void SlotNext();
    void SlotAlarm();
    void SlotReturn();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // gHelpC brought within the pictures loaded.
    void clampChapter();
};
