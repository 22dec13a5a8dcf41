#pragma once
// An IPv4 address entry: a caption and four octet fields on the numeric
// keypad, each kept within 0..255.
#include <QColor>
#include <QWidget>

class Edit;
class QHBoxLayout;
class QLabel;

class EditIP : public QWidget {
    Q_OBJECT
public:
    EditIP(const QString& caption, QWidget* parent);
    ~EditIP() override;

    QString getTextIP();
    void setTextIP(const QString& address);
    using QWidget::setGeometry;
    void setGeometry(int x, int y, int w, int h);

    QLabel* captionLabel = nullptr;
    QLabel* dotLabels[3] = {};
    Edit* octetEdits[4] = {};
    QHBoxLayout* rowLayout = nullptr;
    QString address;

signals:
    void textchange(const QString& address);

public slots:
    void SlotTextChg_0(const QString& text);
    void SlotTextChg_1(const QString& text);
    void SlotTextChg_2(const QString& text);
    void SlotTextChg_3(const QString& text);
    void SlotPressDot_0();
    void SlotPressDot_1();
    void SlotPressDot_2();

private:
    void octetChanged(int i, const QString& text);
    void pressDot(int i);
};
