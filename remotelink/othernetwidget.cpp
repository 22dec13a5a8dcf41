#include "othernetwidget.h"

#include "checkbox.h"
#include "cnt_net.h"
#include "colorbutton.h"
#include "combobox.h"
#include "commandrunner.h"
#include "edit.h"
#include "editip.h"
#include "globals.h"
#include "kitlayout.h"
#include "messages.h"
#include "othernetfiles.h"
#include "paths.h"
#include "pixmaps.h"
#include "portstate.h"
#include "projectmessages.h"
#include "warnbox.h"
#include "wizardpara.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QSaveFile>
#include <QStandardItemModel>
#include <QTableView>

#include <glog/logging.h>

// ------------------------------------------------------------- geometry

OtherNetGeometry OtherNetGeometry::forScreen(int screenW, int screenH)
{
    OtherNetGeometry g;
    g.large = screenW > 1024;
    const int w = g.large ? 1800 : 700, h = g.large ? 950 : 500;
    g.fit = PageFit::forScreen(screenW, screenH, w, h);
    g.dialogSize = g.fit.size(w, h);
    return g;
}

QRect OtherNetGeometry::labelRect(int row) const
{
    return QRect(px(300, 150), px(50 + 90 * (row - 1), 10 + 50 * (row - 1)), px(300, 200), px(50, 40));
}

QRect OtherNetGeometry::fieldRect(int row) const
{
    const QRect l = labelRect(row);
    return QRect(px(550, 300), l.y(), px(300, 200), l.height());
}

QRect OtherNetGeometry::pageButton(int index) const
{
    return QRect(px(40, 10), px(40 + 100 * index, 10 + 55 * index), px(200, 100), px(80, 50));
}

QRect OtherNetGeometry::returnButton() const
{
    return large ? QRect(px(1250, 0), px(800, 0), px(220, 0), px(100, 0))
                 : QRect(px(0, 350), px(0, 430), px(0, 140), px(0, 60));
}

QRect OtherNetGeometry::confirmButton() const
{
    return large ? QRect(px(1520, 0), px(800, 0), px(220, 0), px(100, 0))
                 : QRect(px(0, 505), px(0, 430), px(0, 140), px(0, 60));
}

QRect OtherNetGeometry::productButton() const
{
    const QRect l = labelRect(1);
    return QRect(px(900, 550), l.y(), px(300, 150), l.height());
}

QRect OtherNetGeometry::addressField(int row) const
{
    const QRect l = labelRect(row);
    return QRect(l.x(), l.y(), px(750, 375), l.height());
}

QRect OtherNetGeometry::portLabel(int row) const
{
    const QRect l = labelRect(row);
    return QRect(px(1080, 540), l.y(), px(120, 60), l.height());
}

QRect OtherNetGeometry::portField(int row) const
{
    const QRect l = labelRect(row);
    return QRect(px(1200, 600), l.y(), px(150, 75), l.height());
}

QRect OtherNetGeometry::memoTable() const
{
    return QRect(QPoint(px(300, 150), px(50, 10)), QPoint(px(1699, 649), px(749, 409)));
}

QRect OtherNetGeometry::portCircle(int row) const
{
    const QRect l = labelRect(row);
    const int side = fit.px(20);
    return QRect(px(500, 250), l.y() + fit.px(10), side, side);
}

QRect OtherNetGeometry::portRate(int row) const
{
    const QRect l = labelRect(row);
    return QRect(px(600, 350), l.y(), px(300, 200), l.height());
}

// ------------------------------------------------------------- building

namespace {

constexpr int kPageMessages[7] = {425, 426, 431, 443, 449, 456, 525};

// A label drawn in its rectangle, smaller when it does not fit (never under
// the readable minimum; what is still too wide is elided).
void drawLabel(QPainter& p, const QRect& r, const QString& text, int fontPx, const QColor& color)
{
    QFont f = MicroHei(fontPx);
    while (f.pixelSize() > PageFit::kMinFontPx && QFontMetrics(f).horizontalAdvance(text) > r.width())
        f.setPixelSize(f.pixelSize() - 1);
    p.setFont(f);
    p.setPen(color);
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, QFontMetrics(f).elidedText(text, Qt::ElideRight, r.width()));
}

// The kit's address entry sized to its row: caption and four octets.
void fitAddress(EditIP* ip, const QRect& r, int fontPx)
{
    const QFont font = WenQuanYi(fontPx);
    ip->setFont(font);
    ip->rowLayout->setContentsMargins(0, 0, 0, 0);
    ip->rowLayout->setSpacing(2);
    ip->setFixedSize(r.size());
    const int octetW = std::max(fontPx * 2, (r.width() * 2 / 15));
    ip->captionLabel->setFont(font);
    ip->captionLabel->setFixedWidth(r.width() - 4 * octetW - 3 * (fontPx / 2 + 2) - 16);
    for (QLabel* dot : ip->dotLabels) {
        dot->setFont(font);
        dot->setFixedWidth(fontPx / 2);
    }
    for (Edit* e : ip->octetEdits) {
        e->setFont(font);
        e->setFixedSize(octetW, r.height());
    }
    ip->move(r.topLeft());
}

}  // namespace

OtherNetWidget::OtherNetWidget(QWidget* parent, CNT_Net* link)
    : ChooseBox(parent), geo_(OtherNetGeometry::forScreen(gShowW, gShowH)), link_(link)
{
    setObjectName(QStringLiteral("OtherNetWidget"));
    build();
    if (link) {
        connect(link, &CNT_Net::relayAnswer, this, [this](int session, const QByteArray& body) {
            if (session == SendTypeGetProduct)
                cnt_reset_product(QString::fromUtf8(body));
            else if (session == SendTypeGetRemindList)
                cnt_reset_remind(QString::fromUtf8(body));
        });
    }
    hide();
}

OtherNetWidget::~OtherNetWidget() = default;

QString OtherNetWidget::wifiFilePath()
{
    return QStringLiteral("./cnt_net/wlanpwd.conf");
}

QString OtherNetWidget::sysconfPath()
{
    return QStringLiteral("./cnt_net/sysconf.db");
}

void OtherNetWidget::build()
{
    const OtherNetGeometry& g = geo_;
    setGeometry(g.fit.centred(g.large ? 1800 : 700, g.large ? 950 : 500, gShowW, gShowH));
    const QFont font = MicroHei(g.fontPx());

    yesButton->setText(Msg(121));
    noButton->setText(Msg(58));
    yesButton->setGeometry(g.confirmButton());
    noButton->setGeometry(g.returnButton());

    for (int i = 0; i < 7; ++i) {
        pageButtons[i] = new ColorButton(Msg(kPageMessages[i]), this, ColorButtonSizeNormal);
        pageButtons[i]->setGeometry(g.pageButton(i));
    }
    connect(pageButtons[0], &QPushButton::clicked, this, &OtherNetWidget::SlotTel);
    connect(pageButtons[1], &QPushButton::clicked, this, &OtherNetWidget::SlotNgVideo);
    connect(pageButtons[2], &QPushButton::clicked, this, &OtherNetWidget::SlotStatistics);
    connect(pageButtons[3], &QPushButton::clicked, this, &OtherNetWidget::SlotWifi);
    connect(pageButtons[4], &QPushButton::clicked, this, &OtherNetWidget::SlotServer);
    connect(pageButtons[5], &QPushButton::clicked, this, &OtherNetWidget::SlotRemind);
    connect(pageButtons[6], &QPushButton::clicked, this, &OtherNetWidget::SlotStartChk);

    auto textField = [&](int flags, const QRect& r) {
        auto* e = new Edit(flags, this);
        e->setFont(font);
        e->setGeometry(r);
        return e;
    };
    auto checkBox = [&](int message, int row) {
        auto* b = new CheckBox(this, Msg(message));
        b->setFont(font);
        const QRect l = g.labelRect(row);
        b->setGeometry(l.x(), l.y(), g.fieldRect(row).right() - l.x() + 1, l.height());
        return b;
    };
    auto actionButton = [&](int message, const QRect& r) {
        auto* b = new ColorButton(Msg(message), this, ColorButtonSizeNormal);
        b->setGeometry(r);
        return b;
    };
    // Text fields on the character keyboard, numbers on the numeric keypad.
    const int textFlags = 6, numberFlags = 5;

    smsBox = checkBox(429, 1);
    techNameEdit = textField(textFlags, g.fieldRect(2));
    phoneEdit = textField(numberFlags, g.fieldRect(3));
    ngVideoBox = checkBox(430, 1);

    productCombo = new ComboBox(this);
    productCombo->setFont(font);
    productCombo->setGeometry(g.fieldRect(1));
    productCombo->setItemHeight(g.px(50, 40));
    productCombo->view()->setMinimumWidth(g.px(400, 300));
    getProductButton = actionButton(433, g.productButton());
    operatorEdit = textField(textFlags, g.fieldRect(2));
    cavityEdit = textField(numberFlags, g.fieldRect(3));
    capacityEdit = textField(numberFlags, g.fieldRect(4));
    batchEdit = textField(numberFlags, g.fieldRect(5));
    resetStatisticsButton = actionButton(438, g.labelRect(6));

    wifiNameEdit = textField(textFlags, g.fieldRect(1));
    wifiPassEdit = textField(textFlags, g.fieldRect(2));
    updateWifiButton = actionButton(444, g.labelRect(3));

    infoServerIP = new EditIP(Msg(450), this);
    fitAddress(infoServerIP, g.addressField(1), g.fontPx());
    fileServerIP = new EditIP(Msg(451), this);
    fitAddress(fileServerIP, g.addressField(2), g.fontPx());
    infoPortEdit = textField(numberFlags, g.portField(1));
    filePortEdit = textField(numberFlags, g.portField(2));
    updateServerButton = actionButton(453, g.labelRect(3));

    memoModel = new QStandardItemModel(0, 5, this);
    memoModel->setHorizontalHeaderLabels({QStringLiteral("操作者"), QStringLiteral("创建时间"),
                                          QStringLiteral("提醒时间"), QStringLiteral("持续时间(min)"),
                                          QStringLiteral("提醒事项名称")});
    memoTable = new QTableView(this);
    memoTable->setModel(memoModel);
    memoTable->setGeometry(g.memoTable());
    memoTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    memoTable->horizontalHeader()->setFont(MicroHei(g.fit.fontPx(g.large ? 20 : 15)));
    const int widths[5] = {150, 200, 200, 150, 400};
    for (int c = 0; c < 5; ++c)
        memoTable->setColumnWidth(c, g.fit.px(widths[c]));

    connect(getProductButton, &QPushButton::clicked, this, &OtherNetWidget::SlotGetProductName);
    connect(resetStatisticsButton, &QPushButton::clicked, this, &OtherNetWidget::SlotResetStatistics);
    connect(updateWifiButton, &QPushButton::clicked, this, &OtherNetWidget::SlotUpdateWifi);
    connect(updateServerButton, &QPushButton::clicked, this, &OtherNetWidget::SlotUpdateServer);

    portState_ = new PortStateMonitor(this);
    connect(portState_, &PortStateMonitor::updated, this, qOverload<>(&QWidget::update));

    for (int p = 1; p <= 6; ++p)
        for (QWidget* w : pageWidgets(p))
            w->hide();
}

QList<QWidget*> OtherNetWidget::pageWidgets(int p) const
{
    switch (p) {
    case OtherNetPageSms:
        return {smsBox, techNameEdit, phoneEdit};
    case OtherNetPageNgVideo:
        return {ngVideoBox};
    case OtherNetPageProduct:
        return {productCombo, getProductButton, operatorEdit, cavityEdit, capacityEdit, batchEdit,
                resetStatisticsButton};
    case OtherNetPageWifi:
        return {wifiNameEdit, wifiPassEdit, updateWifiButton};
    case OtherNetPageServer:
        return {infoServerIP, fileServerIP, infoPortEdit, filePortEdit, updateServerButton};
    case OtherNetPageRemind:
        return {memoTable};
    default:
        return {};
    }
}

void OtherNetWidget::hideshow(int p)
{
    for (int page = OtherNetPageSms; page <= OtherNetPageRemind; ++page)
        for (QWidget* w : pageWidgets(page))
            w->hide();
    if (p >= OtherNetPageNone && p <= OtherNetPagePortState) {
        for (QWidget* w : pageWidgets(p))
            w->show();
        type = p;
    }
    update();
}

// ------------------------------------------------------------- the opener's side

void OtherNetWidget::loadFields(const OtherNetFields& f)
{
    smsBox->setChecked(f.smsAlarm);
    techNameEdit->setText(f.techName);
    phoneEdit->setText(f.techPhone);
    ngVideoBox->setChecked(f.ngVideo);
    productCombo->clear();
    productCombo->addItem(f.productName);
    operatorEdit->setText(f.operatorName);
    cavityEdit->setText(f.moldCavity);
    capacityEdit->setText(f.productNum);
    batchEdit->setText(f.productSerial);
    hideshow(OtherNetPageSms);
}

int OtherNetWidget::runModal()
{
    return exec();
}

OtherNetFields OtherNetWidget::readFields() const
{
    OtherNetFields f;
    f.smsAlarm = smsBox->isChecked();
    f.techName = techNameEdit->text();
    f.techPhone = phoneEdit->text();
    f.ngVideo = ngVideoBox->isChecked();
    f.productName = productCombo->currentText();
    f.operatorName = operatorEdit->text();
    f.moldCavity = cavityEdit->text();
    f.productNum = capacityEdit->text();
    f.productSerial = batchEdit->text();
    return f;
}

void OtherNetWidget::SlotCloseWgt()
{
    portState_->stop();
}

// ------------------------------------------------------------- pages

void OtherNetWidget::SlotTel()
{
    hideshow(OtherNetPageSms);
}

void OtherNetWidget::SlotNgVideo()
{
    hideshow(OtherNetPageNgVideo);
}

void OtherNetWidget::SlotStatistics()
{
    SlotGetProductName();
    hideshow(OtherNetPageProduct);
}

bool OtherNetWidget::relayAsked() const
{
    return gpWPara && gpWPara->netEnabled != 0 && link_ && link_->serverOpen() && link_->linkAlive();
}

void OtherNetWidget::SlotGetProductName()
{
    if (relayAsked())
        link_->CNT_SendGetProduct();
}

void OtherNetWidget::SlotRemind()
{
    SlotGetRemindList();
    hideshow(OtherNetPageRemind);
}

void OtherNetWidget::SlotGetRemindList()
{
    if (relayAsked())
        link_->CNT_SendGetRemindList();
}

void OtherNetWidget::cnt_reset_product(const QString& body)
{
    const QJsonDocument doc = QJsonDocument::fromJson(body.toUtf8());
    const QJsonValue result = doc.object().value(QStringLiteral("result"));
    if (!doc.isObject() || !result.isArray())
        return;
    QStringList names;
    for (const QJsonValue& element : result.toArray()) {
        const QJsonValue name = element.toObject().value(QStringLiteral("product_name"));
        if (!name.isString()) {
            LOG(INFO) << "product list ignored: an element has no product_name";
            return;
        }
        names << name.toString();
    }
    if (productCombo->count() > 0) {
        const QString current = productCombo->currentText();
        names.removeAll(current);
        productCombo->clear();
        productCombo->addItem(current);
    }
    productCombo->addItems(names);
    if (productCombo->count() > 0)
        productCombo->setCurrentIndex(0);
    update();
}

void OtherNetWidget::cnt_reset_remind(const QString& body)
{
    const QJsonDocument doc = QJsonDocument::fromJson(body.toUtf8());
    const QJsonValue result = doc.object().value(QStringLiteral("result"));
    if (!doc.isObject() || !result.isArray())
        return;
    const QJsonArray entries = result.toArray();
    auto showing = [this] { return isVisible() && type == OtherNetPageRemind; };
    if (entries.isEmpty() || !showing())
        return;
    memoModel->setRowCount(0);
    const QFont cellFont = MicroHei(geo_.fit.fontPx(15));
    static const char* const kKeys[5] = {"operator", "create_utc", "notify_utc", "duration", "reminder_name"};
    for (int i = 0; i < entries.size() && showing(); ++i) {
        const QJsonObject entry = entries.at(i).toObject();
        memoModel->insertRow(i);
        bool complete = true;
        for (int c = 0; c < 5 && complete; ++c) {
            const QJsonValue v = entry.value(QLatin1String(kKeys[c]));
            if (v.isUndefined()) {
                complete = false;
                break;
            }
            QString text;
            if (c == 1 || c == 2)
                text = QDateTime::fromMSecsSinceEpoch(qint64(v.toDouble()))
                           .toString(QStringLiteral("yy-MM-dd hh:mm:ss"));
            else if (c == 3)
                text = QString::number(qint64(v.toDouble()));
            else
                text = v.isString() ? v.toString() : v.toVariant().toString();
            auto* item = new QStandardItem(text);
            item->setFont(cellFont);
            item->setTextAlignment(Qt::AlignCenter);
            memoModel->setItem(i, c, item);
        }
        if (!complete) {
            LOG(INFO) << "memo list: entry " << i << " lacks a key, the rest is not shown";
            break;
        }
    }
    memoTable->viewport()->update();
}

// ------------------------------------------------------------- Wi-Fi

void OtherNetWidget::SlotWifi()
{
    QFile f(QDir(paths().etcDir).filePath(QStringLiteral("wpa_supplicant/wlanpwd.conf")));
    if (f.open(QIODevice::ReadOnly)) {
        const othernet::WifiSettings found = othernet::ReadWifiText(QString::fromUtf8(f.readAll()));
        if (!found.name.isEmpty())
            wifiNameEdit->setText(found.name);
        if (!found.passPhrase.isEmpty())
            wifiPassEdit->setText(found.passPhrase);
    }
    hideshow(OtherNetPageWifi);
}

void OtherNetWidget::SlotUpdateWifi()
{
    const QString name = wifiNameEdit->text();
    const QString pass = wifiPassEdit->text();
    const QString refusal = othernet::WifiRefusal(name, pass);
    if (!refusal.isEmpty()) {
        LOG(INFO) << "Wi-Fi settings refused: " << refusal.toStdString();
        WarnMessage(kMsgWifiRefused);
        return;
    }
    if (!AskYes(448))
        return;
    QDir().mkpath(QFileInfo(wifiFilePath()).path());
    QSaveFile out(wifiFilePath());
    if (!out.open(QIODevice::WriteOnly) || out.write(othernet::WifiFileText(name, pass)) < 0 || !out.commit()) {
        LOG(WARNING) << "Wi-Fi settings not written to " << wifiFilePath().toStdString() << ": "
                     << out.errorString().toStdString();
        WarnMessage(kMsgNetworkFilesNotWritten);
        return;
    }
    const CommandResult cp = commandRunner().run(
        QStringLiteral("cp"),
        {QStringLiteral("-f"), wifiFilePath(), QDir(paths().etcDir).filePath(QStringLiteral("wpa_supplicant")) + '/'});
    if (!cp.ok())
        LOG(WARNING) << "Wi-Fi settings not copied to the system: exit code " << cp.exitCode;
}

// ------------------------------------------------------------- servers

void OtherNetWidget::SlotServer()
{
    hideshow(OtherNetPageServer);
    if (!QFile::exists(sysconfPath()))
        return;
    QString error;
    const othernet::ServerValues v = othernet::ReadServerValues(sysconfPath(), &error);
    if (!error.isEmpty())
        LOG(INFO) << "Error: " << error.toStdString();
    if (v.infoAddress)
        infoServerIP->setTextIP(*v.infoAddress);
    if (v.fileAddress)
        fileServerIP->setTextIP(*v.fileAddress);
    if (v.infoPort)
        infoPortEdit->setText(*v.infoPort);
    if (v.filePort)
        filePortEdit->setText(*v.filePort);
}

void OtherNetWidget::SlotUpdateServer()
{
    if (!AskYes(454))
        return;
    othernet::ServerSettings values;
    values.infoAddress = infoServerIP->getTextIP();
    values.fileAddress = fileServerIP->getTextIP();
    values.infoPort = infoPortEdit->text();
    values.filePort = filePortEdit->text();
    const othernet::ServerUpdate done = othernet::UpdateServerValues(sysconfPath(), values);
    if (done.rowsUpdated == 0) {
        // The relay keeps its old servers: no restart for them.
        LOG(INFO) << "server settings not saved: " << done.error.toStdString();
        WarnMessage(kMsgServerNotSaved);
        return;
    }
    if (link_)
        link_->serverConfigChanged = true;
}

// ------------------------------------------------------------- statistics reset

void OtherNetWidget::SlotResetStatistics()
{
    if (!AskYes(447))
        return;
    // Anchored in the program directory: nothing outside it is removed, and
    // a folder that is a link loses the link, not what it points to.
    const QDir program = QDir::current();
    for (const char* file : {"cnt_net/data/Statistics", "cnt_net/data/ManualStop"}) {
        const QString path = program.absoluteFilePath(QLatin1String(file));
        if (QFileInfo::exists(path) && !QFile::remove(path))
            LOG(WARNING) << "statistics reset: cannot remove " << path.toStdString();
    }
    for (const char* folder : {"cnt_net/cnt_alarmimage", "cnt_net/cnt_tempimage", "cnt_net/cnt_fail"}) {
        const QString path = program.absoluteFilePath(QLatin1String(folder));
        const QFileInfo info(path);
        bool removed = true;
        if (info.isSymLink())
            removed = QFile::remove(path);
        else if (info.isDir())
            removed = QDir(path).removeRecursively();
        if (!removed)
            LOG(WARNING) << "statistics reset: cannot remove all of " << path.toStdString();
    }
    if (link_)
        link_->ResetRecords();
}

// ------------------------------------------------------------- port state

void OtherNetWidget::SlotStartChk()
{
    portState_->start();
    hideshow(OtherNetPagePortState);
}

void OtherNetWidget::SlotTimerChk()
{
    portState_->tick();
}

// ------------------------------------------------------------- painting

void OtherNetWidget::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
}

void OtherNetWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    DrawPixmap(p, rect(), gpPixmapBG);
    const OtherNetGeometry& g = geo_;
    const int fontPx = g.fontPx();
    // A label ends where its field starts.
    auto fieldLabel = [&](int message, int row) {
        QRect r = g.labelRect(row);
        r.setRight(std::min(r.right(), g.fieldRect(row).left() - 4));
        drawLabel(p, r, Msg(message), fontPx, Qt::yellow);
    };
    switch (type) {
    case OtherNetPageSms:
        fieldLabel(427, 2);
        fieldLabel(428, 3);
        break;
    case OtherNetPageProduct: {
        const int labels[5] = {432, 434, 435, 436, 437};
        for (int i = 0; i < 5; ++i)
            fieldLabel(labels[i], i + 1);
        break;
    }
    case OtherNetPageWifi:
        fieldLabel(445, 1);
        fieldLabel(446, 2);
        break;
    case OtherNetPageServer:
        for (int row = 1; row <= 2; ++row) {
            QRect r = g.portLabel(row);
            r.setRight(g.portField(row).left() - 4);
            drawLabel(p, r, Msg(452), fontPx, Qt::yellow);
        }
        break;
    case OtherNetPagePortState:
        paintPortList(p);
        break;
    default:
        break;
    }
}

void OtherNetWidget::paintPortList(QPainter& p) const
{
    const OtherNetGeometry& g = geo_;
    const QVector<PortRow> rows = portState_->readings().rows();
    const QColor grey(Qt::gray);
    for (int i = 0; i < rows.size(); ++i) {
        const PortRow& r = rows[i];
        QRect nameRect = g.labelRect(i + 1);
        nameRect.setRight(g.portCircle(i + 1).left() - 4);
        drawLabel(p, nameRect, r.name, g.fontPx(), Qt::yellow);
        const QColor dot = r.running ? QColor(Qt::green) : grey;
        p.setPen(QPen(dot, std::max(1, g.fit.px(4))));
        p.setBrush(dot);
        p.drawEllipse(g.portCircle(i + 1));
        p.setBrush(Qt::NoBrush);
        if (r.running)
            drawLabel(p, g.portRate(i + 1),
                      r.hasRate ? QStringLiteral("%1 bytes/s").arg(r.bytesPerSecond) : QString(), g.fontPx(),
                      Qt::green);
    }
}
