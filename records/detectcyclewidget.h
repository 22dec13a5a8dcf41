#pragma once
// The cycle-time page: the days of the cycle-time log on the left, the
// records of the chosen day on the right, and the export of a range of days
// to the USB disk through our export program "./cnt_net/xls".  Fixed Chinese
// texts in every language.  A new page at every opening, deleted when it
// closes.  Opening it first closes a finished day of the log (checkDate), so
// the first row, today, never shows yesterday's records.
//
// The page reads through the log's read-only view connection; the model
// never writes back.  1000 x 700 centred on the screen, fitted to a smaller
// one (PageFit), never above or left of its edge.
//
// Export: disk search (with the "insert a disk" question) and the copy run
// on a worker; the range dialog writes sql.txt; the program runs on while a
// progress box follows its "progress k n" lines; its report names the file,
// which is copied onto the disk under the mount lease, checked, removed
// locally, and the disk is unmounted.  One export at a time in the whole
// program (sql.txt is never rewritten under a running program).  GUI thread.
#include "pagefit.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class ColorButton;
class MountHold;
class ProgressBox;
class QListView;
class QModelIndex;
class QSqlTableModel;
class QStringListModel;
class QTableView;
class RunningCommand;

// Splits the export program's output into complete lines, however it is
// cut into pieces, and says what each line means.
class ExportOutputScanner {
public:
    struct Line {
        enum Kind { Progress, Finished, Failed, Other };
        Kind kind = Other;
        int done = 0, total = 0;   // Progress
        QString text;              // Finished: the file; Failed: the reason; Other: the line
    };
    // The lines completed by chunk.
    QList<Line> feed(const QByteArray& chunk);
    // At the program's end: a last line without a line end.
    QList<Line> finish();
    // Everything seen so far (for the log of a failed export).
    QByteArray output() const { return all_; }

    static Line parse(const QString& line);

private:
    QByteArray pending_;
    QByteArray all_;
};

class DetectCycleWidget : public QWidget {
    Q_OBJECT
public:
    static const char* const kProgram;   // "./cnt_net/xls"

    explicit DetectCycleWidget(QWidget* parent = nullptr);
    ~DetectCycleWidget() override;

    // Replaces the record model by one on file (a log file path).
    void bindSql(const QString& file);
    static QString getStyle();
    QString styleFor(const PageFit& fit) const;

    // True while an export of any page runs.
    static bool exportRunning();

    QListView* dayView = nullptr;
    QStringListModel* dayModel = nullptr;
    QTableView* recordView = nullptr;
    QSqlTableModel* recordModel = nullptr;
    ColorButton* exitButton = nullptr;
    ColorButton* exportButton = nullptr;
    ProgressBox* progressBox = nullptr;

public slots:
    void listDataChanged(const QModelIndex& index);
    void closeAction();
    void exportData();
    // A piece of the export program's output.
    void receive(const QByteArray& chunk);

signals:
    // An export ended: true when the file reached the disk.
    void exportEnded(bool ok);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void searchDisk();
    void diskFound(const QString& mountPoint, std::shared_ptr<MountHold> hold);
    void retryOrGiveUp();
    void runProgram();
    void handle(const QList<ExportOutputScanner::Line>& lines);
    void programEnded(int exitCode);
    void copyToDisk();
    void endExport(bool ok, const QString& failure = QString());

    PageFit fit_;
    // The running export's state.
    std::shared_ptr<MountHold> hold_;
    QString mountPoint_;
    QString reportedFile_;
    bool reported_ = false;
    bool copying_ = false;
    ExportOutputScanner scanner_;
    QPointer<RunningCommand> program_;
    static QPointer<DetectCycleWidget> exporter_;
};
