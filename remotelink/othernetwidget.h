#pragma once
// The other-network settings dialog: what the plant data system needs
// beyond the network card.  Seven pages chosen by a column of page buttons:
// alarm SMS notice, NG video, device and product data, Wi-Fi, the relay's
// servers, the memo list and the network ports.
//
// Built once, hidden, by the main window (otherNetDialog); the network page
// reaches it through OtherNetDialog (load pages 1 to 3, run modally, read
// back, SlotCloseWgt).  The Wi-Fi update, the server update and the
// statistics reset act at once, each after its own question.  The product
// and memo lists are asked of the relay; its answers come back through the
// link's relayAnswer (sessions 14 and 17).  GUI thread only.
#include "choosebox.h"
#include "othernetdialog.h"
#include "pagefit.h"

#include <QPointer>
#include <QRect>

class CheckBox;
class CNT_Net;
class ColorButton;
class ComboBox;
class Edit;
class EditIP;
class PortStateMonitor;
class QStandardItemModel;
class QTableView;

// Where everything lies: the design's places in the large (1800 x 950) or
// small (700 x 500) layout, scaled to the screen when the design does not
// fit it (fonts not under 12 px).
struct OtherNetGeometry {
    bool large = true;
    PageFit fit;
    QSize dialogSize;

    static OtherNetGeometry forScreen(int screenW, int screenH);
    int px(int largePx, int smallPx) const { return fit.px(large ? largePx : smallPx); }
    int fontPx() const { return fit.fontPx(large ? 30 : 20); }
    // Label column, row 1..n: the painted labels and the widgets placed in it.
    QRect labelRect(int row) const;
    // The field of a row.
    QRect fieldRect(int row) const;
    QRect pageButton(int index) const;
    QRect returnButton() const;
    QRect confirmButton() const;
    QRect productButton() const;
    QRect addressField(int row) const;
    QRect portLabel(int row) const;
    QRect portField(int row) const;
    QRect memoTable() const;
    // The port list's row: circle and rate text.
    QRect portCircle(int row) const;
    QRect portRate(int row) const;
};

class OtherNetWidget : public ChooseBox, public OtherNetDialog {
    Q_OBJECT
public:
    enum OtherNetPage {
        OtherNetPageNone = 0,
        OtherNetPageSms = 1,
        OtherNetPageNgVideo = 2,
        OtherNetPageProduct = 3,
        OtherNetPageWifi = 4,
        OtherNetPageServer = 5,
        OtherNetPageRemind = 6,
        OtherNetPagePortState = 7,
    };

    // link: the relay link the dialog asks and resets (null: none).
    OtherNetWidget(QWidget* parent, CNT_Net* link);
    ~OtherNetWidget() override;

    // Hides pages 1 to 6 and shows page p's widgets; remembers p for 0..7.
    // Any other value hides everything and keeps the remembered page.
    void hideshow(int p);

    // OtherNetDialog: the opener's side.
    void loadFields(const OtherNetFields& fields) override;
    int runModal() override;
    OtherNetFields readFields() const override;

    // The relay's answers (bodies in UTF-8).
    void cnt_reset_product(const QString& body);
    void cnt_reset_remind(const QString& body);

    // "./cnt_net/wlanpwd.conf" and "./cnt_net/sysconf.db".
    static QString wifiFilePath();
    static QString sysconfPath();

    const OtherNetGeometry& geometryOfPages() const { return geo_; }
    PortStateMonitor* portState() const { return portState_; }

    // The remembered page.
    int type = OtherNetPageNone;

    CheckBox* smsBox = nullptr;              // 429
    Edit* techNameEdit = nullptr;            // 427
    Edit* phoneEdit = nullptr;               // 428
    CheckBox* ngVideoBox = nullptr;          // 430
    ComboBox* productCombo = nullptr;        // 432
    ColorButton* getProductButton = nullptr; // 433
    Edit* operatorEdit = nullptr;            // 434
    Edit* cavityEdit = nullptr;              // 435
    Edit* capacityEdit = nullptr;            // 436
    Edit* batchEdit = nullptr;               // 437
    ColorButton* resetStatisticsButton = nullptr;   // 438
    Edit* wifiNameEdit = nullptr;            // 445
    Edit* wifiPassEdit = nullptr;            // 446
    ColorButton* updateWifiButton = nullptr; // 444
    EditIP* infoServerIP = nullptr;          // 450
    EditIP* fileServerIP = nullptr;          // 451
    Edit* infoPortEdit = nullptr;
    Edit* filePortEdit = nullptr;
    ColorButton* updateServerButton = nullptr;   // 453
    QTableView* memoTable = nullptr;
    QStandardItemModel* memoModel = nullptr;
    // 425, 426, 431, 443, 449, 456, 525
    ColorButton* pageButtons[7] = {};

public slots:
    void SlotTel();
    void SlotNgVideo();
    void SlotStatistics();
    void SlotWifi();
    void SlotServer();
    void SlotRemind();
    void SlotStartChk();
    void SlotGetProductName();
    void SlotResetStatistics();
    void SlotUpdateWifi();
    void SlotUpdateServer();
    void SlotGetRemindList();
    void SlotTimerChk();
    void SlotCloseWgt() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    // The plain dialog's show handling: the box's own re-centres it at the
    // box size.
    void showEvent(QShowEvent* event) override;

private:
    void build();
    QList<QWidget*> pageWidgets(int p) const;
    // Net on, relay listening and alive: the lists may be asked for.
    bool relayAsked() const;
    void paintPortList(class QPainter& p) const;

    OtherNetGeometry geo_;
    QPointer<CNT_Net> link_;
    PortStateMonitor* portState_ = nullptr;
};
