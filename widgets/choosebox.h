#pragma once
// The Yes/No box: a red question, YES (exec() returns 1) and NO (0).
// gpChooseBox is the shared instance.
#include <QDialog>

class ColorButton;

class ChooseBox : public QDialog {
    Q_OBJECT
public:
    explicit ChooseBox(QWidget* parent = nullptr);
    ~ChooseBox() override;

    void setText(const QString& text, int messageId = -1);
    // Asks the modal hook first; otherwise runs modally until YES or NO.
    int exec() override;

    ColorButton* yesButton = nullptr;
    ColorButton* noButton = nullptr;
    QString message;
    int messageId = -1;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};

extern ChooseBox* gpChooseBox;
