#pragma once
// The system-settings dialog: pages of fields over the edit copy gpWParaBak,
// a row of page buttons and Confirm.  Nothing reaches the live record but
// through Confirm; the camera page's image values are applied to the
// cameras as they are typed, and the cameras run them only while the dialog
// is shown.
//
// The pages are built with layouts in columns (numbers on the left, check
// boxes in the middle and right, actions at the right edge); the section
// headers and the drawn labels are painted from the geometry of the rows
// they head.  Every field is one SettingsControl: its widget, its page, the
// parameter it loads and writes back, and its visibility rule.
#include "confirmplan.h"
#include "onekeyexposure.h"
#include "paramfields.h"
#include "settingspage.h"
#include "wizardpara.h"

#include <QSqlDatabase>
#include <QString>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class CheckBox;
class DataExport;
class QListWidget;
class QListWidgetItem;
class QSqlTableModel;
class QTableView;
class ColorButton;
class ComboBox;
class Edit;
class EditBox;
class QBoxLayout;
class QVBoxLayout;
class SettingsHost;
class WizardPara;

enum SettingsPageIndex {
    SettingsPageCommon = 0,
    SettingsPageCamera = 1,
    SettingsPageNetwork = 2,
    SettingsPageIO = 3,
    SettingsPageAdvanced = 4,
    SettingsPageRecord = 5,
};

// What Confirm ended with.
enum class ConfirmOutcome { Refused, Unchanged, Discarded, Saved, SaveFailed };

struct SettingsControl {
    enum Kind { Number, Box, Combo, Button, Other };
    Kind kind = Other;
    int page = SettingsPageCommon;
    QWidget* row = nullptr;        // what shows and hides (the widget or its row)
    EditBox* edit = nullptr;
    CheckBox* check = nullptr;
    ComboBox* combo = nullptr;
    ColorButton* button = nullptr;
    // The field the control loads and writes back; null: a control of code.
    const paramfields::ParamField* field = nullptr;
    std::function<bool()> shown;   // controls of code: null = always on its page
};

// A text the dialog paints: a section header above its anchor row (with the
// separator line) or a label left of its row.
struct PaintedText {
    int page = SettingsPageCommon;
    QWidget* anchor = nullptr;
    QString text;
    QString note;                  // unit note right of a header
    bool header = true;
    int width = 0;                 // a label's width
    std::function<bool()> shown;
};

class WizardParaWidget : public QWidget, public SettingsPage {
    Q_OBJECT
public:
    // host: the window's services (owned when ownHost).  parent: the window.
    WizardParaWidget(SettingsHost* host, bool ownHost, QWidget* parent);
    ~WizardParaWidget() override;

    // SettingsPage.
    void showPage() override;
    void hidePage() override;
    bool pageShown() const override { return shown_; }
    void acceptPage() override { accept(); }
    QWidget* pageWidget() override { return this; }

    // Confirm with its outcome (the slot accept() only runs it).
    ConfirmOutcome confirm();
    // Writes the widgets back into the edit copy (Confirm's reading step,
    // without the forcing rules).
    void ReadPages();

    // The large or small layout the dialog was built in, and its fitted
    // size class for the field widgets.
    bool large() const { return large_; }

    int currentPage = SettingsPageCommon;
    int tunedCamera = 0;
    bool simpleDisplay = false;
    bool keepPage = false;
    QString titleText;
    bool multiDetectBuilt = false;  // the live mode was 4 at construction

    // The controls, in page order.
    std::vector<SettingsControl> controls;
    std::vector<PaintedText> texts;

    // Page buttons: common, camera, network, I/O, advanced, Confirm.
    ColorButton* pageButtons[6] = {};

    // Fields the slots and the rules name.
    EditBox* delayBoxes[8] = {};
    EditBox* recheckBox = nullptr;
    EditBox* filterSizeBox = nullptr;
    EditBox* filterAreaBox = nullptr;
    CheckBox* motionBox = nullptr;
    ComboBox* languageCombo = nullptr;
    ColorButton* resetCountButton = nullptr;
    ColorButton* shutDownButton = nullptr;

    EditBox* exposureBox = nullptr;
    EditBox* gainBox = nullptr;
    EditBox* sharpBox = nullptr;
    EditBox* contrastBox = nullptr;
    EditBox* gammaBox = nullptr;
    EditBox* speedBox = nullptr;
    CheckBox* shadingBox = nullptr;
    CheckBox* showDetailsBox = nullptr;
    CheckBox* hMirrorBox = nullptr;
    CheckBox* vMirrorBox = nullptr;
    ColorButton* simpleDisplayButton = nullptr;
    ColorButton* switchCameraButton = nullptr;
    ColorButton* autoExposeButton = nullptr;
    ColorButton* restoreButton = nullptr;
    ColorButton* reorderButton = nullptr;

    ComboBox* outputCombos[9] = {};
    int outputCombosBuilt = 4;
    ComboBox* sysFunCombo = nullptr;
    ComboBox* moldSelectCombo = nullptr;
    ColorButton* customIoButton = nullptr;
    ColorButton* ioNameButton = nullptr;

    EditBox* offsetBox = nullptr;
    EditBox* screenOffBox = nullptr;
    CheckBox* factoryBox = nullptr;
    CheckBox* saveRawBox = nullptr;
    Edit* groupNameEdit = nullptr;
    ComboBox* groupCombo = nullptr;
    Edit* passwordEdits[2] = {};
    ColorButton* detectCycleButton = nullptr;
    std::vector<ColorButton*> pendingButtons;   // built, not connected yet
    // Action buttons by the message id of their caption (group buttons 182-184,
    // change password 171, shut down 209, simple display 300, reordering 396,
    // the maintenance entries 551, 568, 594, 206, 210, 401, 458, 325, 326).
    std::map<int, ColorButton*> textButtons;
    ColorButton* buttonByText(int textId) const;

    // <NETWORK members> network page
    // What the network files of a Confirm came to: the change bits (1 the
    // interfaces' addresses, 2 the link switch, 4 the host name, 8 the
    // link's interface or video settings) and which files were written.
    struct NetSaveResult {
        unsigned bits = 0;
        bool netplanWritten = false;
        bool hostFilesWritten = false;   // ls_hostname and ls_hosts, both
        QStringList failed;              // files that could not be written
    };
    // Confirm's network step, before the commit: the bits from the edit
    // copies against the live ones, and the files they call for written
    // into "./cnt_net".  With the link off the edited host name goes back
    // to the running one (its files are written all the same).
    NetSaveResult SaveNetParam();
    // Confirm's step after the commit: the MAC register brought up to date;
    // false when it could not be written.
    bool UpdateMacRegisterFile();

    // Result line of the connection test (kept after the dialog hid), MAC of
    // the interface shown, the link box ticked, the operator pressed the
    // box "Connecting with this network card".
    QString pingStatus;
    QString cardMac;
    bool netBoxOn = false;
    bool cardBoxPressed = false;
    // Interfaces on USB adapters ("./cnt_net/u2rj45name.txt"), marked green.
    QStringList adapterCardNames;
    // The connection test in progress, if any.
    class ConnectionTest* pingProcess = nullptr;

    CheckBox* netBox = nullptr;          // 358 "Connecting large data system"
    ComboBox* cardCombo = nullptr;
    class EditIP* ipEdit = nullptr;
    class EditIP* maskEdit = nullptr;
    class EditIP* gatewayEdit = nullptr;
    Edit* hostNameEdit = nullptr;
    CheckBox* cardBox = nullptr;         // 410 "Connecting with this network card"
    ColorButton* pingButton = nullptr;   // 411 "Test connection"
    ComboBox* videoTypeCombo = nullptr;
    ComboBox* fpsCombo = nullptr;
    ColorButton* otherNetButton = nullptr;   // 424
    ComboBox* serialCombo = nullptr;
    // </NETWORK members>

    // <MULTIDETECT members> multi-detection page and I/O names
    // The multi-detection I/O page, built hidden with the dialog.
    class IOWidget* ioPage = nullptr;
    // </MULTIDETECT members>

    // <RECORD members> record page and data export
    // Page 5: the days (today first, then the archives newest first) and
    // the chosen day's records.
    QListWidget* recordDayList = nullptr;
    QTableView* recordTable = nullptr;
    // The table's model (owned), or none before the first day is shown.
    QSqlTableModel* recordModel = nullptr;
    // "dbList": the archived day shown, opened read-only.
    QSqlDatabase recordDb;
    // The running or last export; made at the first press.
    DataExport* dataExport = nullptr;
    // </RECORD members>

    // <GROUPS members> parameter groups
    // "./paraGroup", one folder per group (made at construction).
    QString paraGroupDir;
    // The group operation on its worker (one at a time), made at the first.
    class ParamGroupRun* groupRun = nullptr;
    bool groupWorkRunning() const;
    // Handed to every group operation: true for a step ("copy <path>",
    // "move <path>") makes it fail there; tests break an operation half way.
    std::function<bool(const QString& step)> groupFault;
    // </GROUPS members>

    // <MAINTENANCE members> maintenance
    // The set-clock and calibration dialogs (built hidden, children of the
    // window).
    class ModifyTimeWidget* timeDialog = nullptr;
    class ChooseCaliNumWidget* calibrationDialog = nullptr;
    // The checked copy of an update or factory archive in progress, if any.
    class PackageCopy* packageCopy = nullptr;
    class ProgressBox* packageProgress = nullptr;
    // Longest parameter password; the login compares the whole typed text.
    static constexpr int kPasswordMaxChars = 32;
    // </MAINTENANCE members>

    // <DIALOGS members> cavity names, configuration viewer, help, renumbering
    // The main window's side dialogs these pages open (null: none).
    class EditCavitywidget* cavityDialog = nullptr;
    class HardwareConfigurationWidget* configurationViewer = nullptr;
    class WidgetChangeCamera* renumberDialog = nullptr;
    // What the renumbering's OK runs once the new binding is stored: the
    // shutdown question (SlotShutDown, set by WireMaintenance).
    std::function<void()> shutDownAsked;
    // </DIALOGS members>


    // One-key exposure: the camera of the run in progress, -1 none.
    int autoExposeCamera = -1;

    // Repaints of the retraining progress box (k / n), for tests.
    std::function<void(int done, int total)> progressShown;

public slots:
    void accept();
    void WizardParaInit();
    void DoChangePage();
    void SetEnable(bool on);
    void SlotToCommon();
    void SlotToCamera();
    void SlotToNetwork();
    void SlotToIO();
    void SlotToAdvance();

    // Common page.
    void ResetTotal();
    void ResetEBoxTrigDelayPos(int count);
    void ResetReCheck1Text(const QString& text);

    // Camera page.
    void SetExposeTime(int v);
    void SetAdjust(int v);
    void SetSharp(int v);
    void SetContrast(int v);
    void SetGamma(int v);
    void SetHMirror();
    void SetVMirror();
    void SetAutoWDR(int state);
    void SlotChangeCamera();
    void SlotRestoreDefaultSettings();
    void SlotAutoExposeTime();
    void SlotAutoExposeTimeTimeout(const OneKeyExposureResult& result);

    // I/O page.
    void SlotChangeSysFun(int index);

    // Advanced page.
    void SlotShowDetectCycle();

    // <NETWORK slots> network page
    void InitCntNetWidget();
    void SlotCmbCard(int index);
    void SlotClickCmbCard();
    void SlotIpTimelyModify(const QString& text);
    void SlotMaskTimelyModify(const QString& text);
    void SlotWayTimelyModify(const QString& text);
    void SlotCBoxIsUseCntNet(int state);
    void SlotCntClick();
    void SlotCntName(int state);
    void SlotCheckPing();
    void SlotNetOthers();
    // </NETWORK slots>

    // <MULTIDETECT slots> multi-detection page and I/O names
    // "Custom IO": the page over the still visible dialog.
    void SlotShowIOWidget();
    // "IO name": the dialog hides and the window's I/O-name dialog shows.
    void SlotShowCustomIONameWidget();
    // </MULTIDETECT slots>

    // <RECORD slots> record page and data export
    void SlotToRecord();
    void UpdateRecord(QListWidgetItem* item);
    void SlotExportData();
    // </RECORD slots>

    // <GROUPS slots> parameter groups
    // Refills the group combo from the folders (signals blocked, so the
    // name field stays) and hands the list to the status strip.
    void ParaGroupUpdateList();
    void SlotParaGroupChange(int index);
    // The questions here; the copies on a worker behind the progress box.
    void SlotParaGroupBackup();
    void SlotParaGroupRestore();
    void SlotParaGroupDelete();
    // </GROUPS slots>

    // <MAINTENANCE slots> maintenance
    void SlotUpdateApp();
    void SlotRestoreFactorySet();
    void SlotCalibration();
    void SlotChangeLan(int index);
    void SlotModifyTime();
    // Also the camera renumbering dialog's last step.
    void SlotShutDown();
    void SlotExit();
    void ChangePwd();
    void SlotChangeShowMode();
    // </MAINTENANCE slots>

    // <DIALOGS slots> cavity names, configuration viewer, help, renumbering
    void SlotShowEditcavityWidget();
    void SlotShowHardwareConfigurationWidget();
    void SlotTuneCamera();
    // </DIALOGS slots>


protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Construction, page by page (settings/*page.cpp).
    void BuildCommonPage();
    void BuildCameraPage();
    void BuildIOPage();
    void BuildAdvancedPage();
    void BuildButtonRow();

    // Building blocks in the dialog's size class.  The fields of a page
    // come from the field table; place says which column takes each.
    void AddFields(paramfields::Page page, int pageIndex, const std::function<QBoxLayout*(const paramfields::ParamField&)>& place,
                   int boxWidth, int labelWidth);
    QWidget* AddField(QBoxLayout* column, int pageIndex, const paramfields::ParamField& f, int boxWidth, int labelWidth);
    ComboBox* AddCombo(QBoxLayout* column, int page, const QStringList& items, const QString& label, int labelWidth);
    ColorButton* AddButton(QBoxLayout* column, int page, const QString& text);
    void AddHeader(QBoxLayout* column, int page, int textId, const QString& note = QString());
    paramfields::VisibilityContext Visibility() const;
    paramfields::CaptionContext Captions() const;
    // The control of a field by member name and element.
    SettingsControl* Control(const char* name, int index = 0);
    // The header pending for the next row added to column.
    struct PendingHeader {
        QBoxLayout* column;
        size_t text;
    };
    std::vector<PendingHeader> pendingHeaders_;
    void AnchorHeaders(QBoxLayout* column, QWidget* row);
    SettingsControl& AddControl(SettingsControl c);
    SettingsControl* ControlOf(QWidget* w);

    QWidget* pageArea(int page) const;

    // The parts built in their own files: each builds what it needs and
    // connects its controls at the end of construction.
    void BuildNetworkPage();          // networkpage.cpp
    void WireNetworkPage();
    void WireMultiDetect();           // wizardparawidget_multidetect.cpp
    void BuildRecordPage();           // recordpage.cpp
    void WireRecordPage();
    void WireGroups();                // wizardparawidget_groups.cpp
    void WireMaintenance();           // wizardparawidget_maintenance.cpp
    void WireWindowDialogs();         // windowdialogs.cpp

    // <NETWORK private> network page
    // The host-name field and the link's switches into the edit copies
    // (Confirm's reading step).
    void ReadNetworkPage();
    // The system's interfaces and host name read again (the page opened).
    void RefreshSystemNetCard();
    // One entry (0 address, 1 netmask, 2 gateway) of the interface shown.
    void StoreAddress(int entry, const QString& text);
    void ShowPingResult(bool gatewayFound, bool lan, bool internet);
    // The link's widgets follow the box at once, on the network page.
    void ShowLinkWidgets(bool on);
    std::vector<QWidget*> linkWidgets_;
    bool loadingCard_ = false;      // the fields show another interface
    bool netPageLoaded_ = false;    // InitCntNetWidget ran: the page holds the edit copy
    // </NETWORK private>

    // <MULTIDETECT private> multi-detection page and I/O names
    // </MULTIDETECT private>

    // <RECORD private> record page and data export
    void FitRecordColumns();
    // </RECORD private>

    // <GROUPS private> parameter groups
    // </GROUPS private>

    // <MAINTENANCE private> maintenance
    // The update file chosen below mountPoint; empty when none was.
    QString ChooseUpdateFile(const QString& mountPoint);
    // The checked copy of source onto targetName ("newupdate.tar.gz" ...)
    // in the program directory on the worker, under a progress box with
    // message captionId; then (on success) StopWTD, the record, FLushAll,
    // "sync", reboot.  A failure shows the refusal and changes nothing
    // else.  hold (may be null) keeps the USB disk mounted to the end.
    void InstallPackage(const QString& source, const QString& targetName, int captionId,
                        const QString& recordText, std::shared_ptr<class MountHold> hold);
    // Reboots (powerOff: "init 0"), the databases already closed; opens
    // them again when the panel did not go down.
    void GoDown(bool powerOff);
    // The live record into PARAM.db (it also stores gLan); false when it
    // was not saved.
    bool SaveLiveParameters();
    // The camera page's controls and the page buttons as the simple display
    // state asks; DoChangePage ends with it.
    void ShowSimpleDisplay();
    // </MAINTENANCE private>

    // <DIALOGS private> cavity names, configuration viewer, help, renumbering
    // </DIALOGS private>


    // Loading and writing back one control.
    void LoadControl(SettingsControl& c, const WizardPara& from);
    void StoreControl(const SettingsControl& c, WizardPara& to) const;
    // The five per-camera values and the mirrors of tunedCamera.
    void LoadCameraFields();
    void CancelAutoExpose();
    // Cameras whose values differ between the records get from's values.
    void ReapplyCameras(const WizardPara& running, const WizardPara& other, bool all);

    ConfirmOutcome commitEdits();
    // Retraining with its progress box.
    void RunTraining(const confirmplan::RetrainPlan& plan);

    SettingsHost* host_;
    std::unique_ptr<SettingsHost> ownedHost_;
    bool large_ = false;
    int rowHeight_ = 28;
    int fontPx_ = 16;
    int headerHeight_ = 26;
    int titleHeight_ = 30;
    bool shown_ = false;
    QWidget* pages_[6] = {};
    QVBoxLayout* outer_ = nullptr;
};

// Message text with the Simplified Chinese one where the run's language has
// none.
QString SettingsCaption(int id);
