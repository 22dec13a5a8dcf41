#pragma once
// A combo box that never takes the focus (so touching it never closes a
// keypad) and reports every press.
#include <QComboBox>

class QListView;

class ComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit ComboBox(QWidget* parent);
    ~ComboBox() override;

    void setItemHeight(int h);

    QListView* listView = nullptr;

signals:
    void clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
