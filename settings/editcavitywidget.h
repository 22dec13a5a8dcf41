#pragma once
// The cavity-name dialog: a name for each of the 16 cavities of every camera
// slot, kept in CavityDatabase.db, shown on the camera views' cavity boxes
// and looked up by the views' paint (getResult).
//
// The file holds two tables of one row per slot ("Camera0" .. "Camera7"),
// the 16 names joined by single spaces: CavityName_table (saved) and
// TempSave_table (the working copy while the dialog is open).  A name is one
// word, so the edits take no white space, and an empty field is stored as
// that cavity's default name; every value is bound, never pasted into a
// statement.  The saved names are also kept in memory, which answers the
// lookups (one per ticked box per paint).  A window of its own, built once
// by the main window and hidden.  GUI thread only.
#include "cavitynamesource.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class ColorButton;
class ComboBox;
class Edit;
class QLabel;
class SettingsPage;

constexpr int kCavities = 16;

class EditCavitywidget : public QWidget, public CavityNameSource {
    Q_OBJECT
public:
    // Gives camera view slot's 16 cavity boxes their names.
    using LabelView = std::function<void(int slot, const QStringList& names)>;

    // settingsDialog: shown again after Confirm and Cancel (may be null).
    EditCavitywidget(SettingsPage* settingsDialog, LabelView labelView);
    ~EditCavitywidget() override;

    static const char* const kConnection;   // "sql_CavityDatabase_connection"
    static const char* const kFile;         // "CavityDatabase.db"
    static const char* const kSavedTable;   // "CavityName_table"
    static const char* const kWorkTable;    // "TempSave_table"

    // The 16 default names ("模腔1" .. "模腔16") in every language.
    static QStringList DefaultNames();
    // A stored column read back: 16 names, missing ones empty.
    static QStringList SplitNames(const QString& column);

    // Opens the file (a damaged one is kept aside and a new one made) and
    // makes the tables with their default rows when either is missing;
    // false when the names cannot be stored.
    bool Databaseinit();
    // Saved names into the working copy, views labelled, edits loaded.
    void init();
    // Every slot's row of table source copied into table target; the views
    // in use take the copied names.
    void Initialize(const QString& source, const QString& target);
    // The working-copy row of currentCamera into the edits.
    void changeCamera();
    // Saved name of cavity index (0..15) of camera slot camera; empty for a
    // slot not in use, an index out of range or a slot without a row.
    QString getResult(int camera, int index) const;
    QString cavityName(int camera, int k) const override { return getResult(camera, k); }

    SettingsPage* settingsDialog = nullptr;
    Edit* nameEdit[kCavities] = {};
    QLabel* cavityLabel[kCavities] = {};
    ColorButton* confirmButton = nullptr;
    ColorButton* cancelButton = nullptr;
    ComboBox* cameraBox = nullptr;
    int currentCamera = 0;

public slots:
    void SlotChangeCam(int index);
    void Accept();
    void Reject();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // The edits of the camera shown, as the column they are stored as.
    QString editedColumn() const;
    // The edits of the camera shown into the working copy.
    bool writeEdits();
    // The saved rows into memory.
    void loadSaved();
    bool selectRow(const QString& table, int slot, QString* column) const;
    void backToSettings();

    LabelView labelView_;
    QSqlDatabase db_;
    QString saved_[8][kCavities];
    bool savedRow_[8] = {};
};
