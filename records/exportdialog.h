#pragma once
// The range dialog of the cycle-time export: a start and an end, OK writes
// the queries for the range into sql.txt for the export program.  Fixed
// Chinese texts in every language; 1000 x 500 centred on the screen, fitted
// to a smaller one.
#include "pagefit.h"

#include <QDateTime>
#include <QDialog>
#include <QStringList>

class ColorButton;
class EditDateTime;

// The lines of sql.txt for a range (without line ends): one per calendar
// day, the first from start to 23:59:59.999, whole days in between, the last
// from 00:00:00.000 to end.  An end before the start is swapped with it.
QStringList buildSqlLines(QDateTime start, QDateTime end);

class ExportDialog : public QDialog {
    Q_OBJECT
public:
    static const char* const kSqlFile;   // "sql.txt"

    explicit ExportDialog(QWidget* parent = nullptr);

    EditDateTime* startEdit = nullptr;
    EditDateTime* endEdit = nullptr;
    ColorButton* okButton = nullptr;
    ColorButton* cancelButton = nullptr;

    // After acceptance: the lines written, and whether sql.txt was written.
    QStringList lines;
    bool written = false;

    // Asks the modal hook first (tests answer through it; an answer of 1
    // accepts with the editors as they are); otherwise runs modally.
    int exec() override;

public slots:
    // Writes sql.txt for the editors' range and accepts.
    void acceptedDialog();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PageFit fit_;
};
