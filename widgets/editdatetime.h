#pragma once
// A caption with a date editor and a time editor; can set the system and
// hardware clocks to the edited value.
#include <QDateTime>
#include <QWidget>

class QDateEdit;
class QLabel;
class QTimeEdit;

class EditDateTime : public QWidget {
    Q_OBJECT
public:
    EditDateTime(const QString& caption, QWidget* parent);
    ~EditDateTime() override;

    void ShowDateTime();
    QDateTime m_getDateTime() const;
    // Keeps the edited value in dateTime and sets the clocks; false when
    // either clock command failed (the clock is then not to be trusted).
    bool setSysDateTime();

    QLabel* captionLabel = nullptr;
    QDateEdit* dateEdit = nullptr;
    QTimeEdit* timeEdit = nullptr;
    QDateTime dateTime;
};
