#pragma once
// The character keyboard: 37 character keys on three pages (upper case,
// lower case, symbols), always appending to the keypad target.  One
// instance, gpNumCharPad, made by the main window.
#include <QWidget>

class ColorButton;
class QButtonGroup;

class NumCharInput : public QWidget {
    Q_OBJECT
public:
    enum Page { PageUpper, PageLower, PageSymbols };

    explicit NumCharInput(QWidget* parent = nullptr);
    ~NumCharInput() override;

    Page page() const { return page_; }

    QButtonGroup* keyGroup = nullptr;
    ColorButton* charKeys[37] = {};
    ColorButton* symbolKey = nullptr;
    ColorButton* capsKey = nullptr;
    ColorButton* backspaceKey = nullptr;
    ColorButton* confirmKey = nullptr;

public slots:
    void SlotChgChar_Punc();
    void setContent(int id);
    void eraseContent();
    void HideUpdate();
    void SlotCap();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void showPage(Page page);
    Page page_ = PageUpper;
};

extern NumCharInput* gpNumCharPad;
