// The network page: the interfaces' addresses, the host name, the switch of
// the relay link with its interface and live-video settings, the
// connection test, the other-network dialog, and the network files a
// Confirm hands to the system.  Edits go into the edit copies (gpWParaBak
// and the link's netCardEdit); only Confirm writes files, and /etc is
// reached only through Confirm's two copies.
#include "wizardparawidget.h"

#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "edit.h"
#include "editip.h"
#include "kitlayout.h"
#include "messages.h"
#include "networkfiles.h"
#include "othernetdialog.h"
#include "paths.h"
#include "pingtest.h"
#include "relaylink.h"
#include "settingshost.h"
#include "settingslayout.h"
#include "wizardpara.h"

#include <QFile>
#include <QSignalBlocker>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <glog/logging.h>

#include <cstring>

namespace {

// A text of the page that changes while it shows (the MAC, the test's
// result), read when painted; set smaller rather than cut when long.
class LiveText : public QWidget {
public:
    LiveText(std::function<QString()> text, int px, QWidget* parent)
        : QWidget(parent), text_(std::move(text)), px_(px)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QString text = text_();
        const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;
        p.setPen(Qt::yellow);
        p.setFont(FitFont(MicroHei(px_), text, size(), flags));
        p.drawText(rect(), flags, text);
    }

private:
    std::function<QString()> text_;
    int px_;
};

// The green mark of an interface on a USB adapter.
class AdapterDot : public QWidget {
public:
    AdapterDot(std::function<bool()> on, int side, QWidget* parent) : QWidget(parent), on_(std::move(on))
    {
        setFixedSize(side, side);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!on_())
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::green, 4));
        p.setBrush(Qt::green);
        p.drawEllipse(rect().adjusted(2, 2, -2, -2));
    }

private:
    std::function<bool()> on_;
};

// An address field sized to the dialog's form: packed into half of the
// small dialog, between the kit's two sizes in the fitted one.
void FitEditIP(EditIP* e, const SettingsMetrics& m)
{
    if (m.form == SettingsMetrics::Large)
        return;
    e->rowLayout->setContentsMargins(0, 0, 0, 0);
    e->rowLayout->setSpacing(2);
    if (m.form == SettingsMetrics::Small) {
        e->setFixedHeight(m.rowHeight + 6);
        e->captionLabel->setFixedWidth(90);
        for (Edit* octet : e->octetEdits)
            octet->setFixedSize(46, m.rowHeight);
        return;
    }
    const QFont font = WenQuanYi(m.fontPx + 4);
    e->setFont(font);
    e->setFixedHeight(m.rowHeight + 2 * m.rowSpacing);
    e->captionLabel->setFont(font);
    e->captionLabel->setFixedWidth(m.labelWidth - 40);
    for (QLabel* dot : e->dotLabels)
        dot->setFont(font);
    for (Edit* octet : e->octetEdits) {
        octet->setFont(font);
        octet->setFixedSize(80, m.rowHeight);
    }
}

QStringList ReadAdapterNames()
{
    QFile f(QStringLiteral("./cnt_net/u2rj45name.txt"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList names;
    for (const QString& part : QString::fromUtf8(f.readAll()).split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!part.trimmed().isEmpty())
            names << part.trimmed();
    return names;
}

}  // namespace

void WizardParaWidget::BuildNetworkPage()
{
    const SettingsMetrics& m = settingsMetrics();
    const int P = SettingsPageNetwork;
    QWidget* page = pageArea(P);
    adapterCardNames = ReadAdapterNames();
    pingProcess = new ConnectionTest(this);

    auto* columns = new QHBoxLayout(page);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(2 * m.margin);
    auto* left = new QVBoxLayout;
    left->setSpacing(m.rowSpacing);
    auto* right = new QVBoxLayout;
    right->setSpacing(m.rowSpacing);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    const int columnWidth = (m.dialogSize.width() - 4 * m.margin) / 2;

    auto addRow = [&](QBoxLayout* column, QWidget* row, bool link) {
        column->addWidget(row);
        SettingsControl c;
        c.kind = SettingsControl::Other;
        c.page = P;
        c.row = row;
        if (link) {
            c.shown = [this] { return gpWParaBak && gpWParaBak->netEnabled != 0; };
            linkWidgets_.push_back(row);
        }
        AddControl(c);
    };
    auto rowWidget = [&](QHBoxLayout** h) {
        auto* row = new QWidget(page);
        *h = new QHBoxLayout(row);
        (*h)->setContentsMargins(0, 0, 0, 0);
        (*h)->setSpacing(m.margin / 2);
        return row;
    };
    auto label = [&](QWidget* anchor, int textId, int width, bool link) {
        PaintedText t;
        t.page = P;
        t.anchor = anchor;
        t.text = SettingsCaption(textId);
        t.header = false;
        t.width = width;
        if (link)
            t.shown = [this] { return netBoxOn; };
        texts.push_back(t);
    };

    // Left: the link switch, the interface with its mark and MAC, its three
    // addresses, and the I/O board's port among the factory fields.
    netBox = new CheckBox(page, SettingsCaption(358), m.rowSize);
    FitCheckBox(netBox, columnWidth);
    addRow(left, netBox, false);

    QHBoxLayout* h = nullptr;
    QWidget* cardRow = rowWidget(&h);
    auto* dot = new AdapterDot([this] { return cardCombo && adapterCardNames.contains(cardCombo->currentText()); },
                               qMax(20, m.rowHeight / 2 + 6), cardRow);
    cardCombo = new ComboBox(cardRow);
    cardCombo->setFont(MicroHei(m.fontPx));
    cardCombo->setFixedSize(m.comboWidth + m.comboWidth / 2, m.rowHeight);
    cardCombo->setItemHeight(m.rowHeight);
    auto* mac = new LiveText([this] { return QStringLiteral("MAC:         %1").arg(cardMac); }, m.labelPx, cardRow);
    mac->setMinimumWidth(m.comboWidth);
    mac->setFixedHeight(m.rowHeight);
    h->addWidget(dot);
    h->addWidget(cardCombo);
    h->addWidget(mac, 1);
    addRow(left, cardRow, false);

    ipEdit = new EditIP(SettingsCaption(329), page);
    maskEdit = new EditIP(SettingsCaption(330), page);
    gatewayEdit = new EditIP(SettingsCaption(331), page);
    for (EditIP* e : {ipEdit, maskEdit, gatewayEdit}) {
        FitEditIP(e, m);
        addRow(left, e, false);
    }

    QStringList ports;
    for (int i = 1; i <= 8; ++i)
        ports << QStringLiteral("  COM%1").arg(i);
    serialCombo = AddCombo(left, P, ports, SettingsCaption(269), m.labelWidth);
    controls.back().shown = [this] { return factoryBox && factoryBox->value(); };
    left->addStretch();

    // Right: what the link uses, shown while it is switched on.
    QWidget* hostRow = rowWidget(&h);
    h->addSpacing(m.labelWidth);
    hostNameEdit = new Edit(EditFlagCharPad, hostRow);
    hostNameEdit->setFont(MicroHei(m.fontPx));
    hostNameEdit->setFixedSize(qMax(m.comboWidth, columnWidth - m.labelWidth - m.margin), m.rowHeight);
    hostNameEdit->setMaxLength(253);
    h->addWidget(hostNameEdit);
    h->addStretch();
    addRow(right, hostRow, true);
    label(hostRow, 363, m.labelWidth, true);

    cardBox = new CheckBox(page, SettingsCaption(410), m.rowSize);
    FitCheckBox(cardBox, columnWidth);
    addRow(right, cardBox, true);

    QWidget* pingRow = rowWidget(&h);
    pingButton = new ColorButton(SettingsCaption(411), pingRow, ColorButtonSizeNormal);
    pingButton->setFixedSize(m.actionButton);
    auto* status = new LiveText([this] { return netBoxOn ? pingStatus : QString(); }, m.labelPx, pingRow);
    status->setFixedHeight(m.actionButton.height());
    h->addWidget(pingButton);
    h->addWidget(status, 1);
    addRow(right, pingRow, true);

    const QStringList videoTypes{SettingsCaption(412), SettingsCaption(413), SettingsCaption(414)};
    videoTypeCombo = AddCombo(right, P, videoTypes, SettingsCaption(416), m.labelWidth);
    videoTypeCombo->setFixedWidth(m.comboWidth + m.comboWidth / 2);
    controls.back().shown = [this] { return gpWParaBak && gpWParaBak->netEnabled != 0; };
    linkWidgets_.push_back(controls.back().row);
    texts.back().shown = [this] { return netBoxOn; };
    fpsCombo = AddCombo(right, P, {QStringLiteral("5"), QStringLiteral("10"), QStringLiteral("15"),
                                   QStringLiteral("20"), QStringLiteral("25")},
                        SettingsCaption(417), m.labelWidth);
    controls.back().shown = [this] { return gpWParaBak && gpWParaBak->netEnabled != 0; };
    linkWidgets_.push_back(controls.back().row);
    texts.back().shown = [this] { return netBoxOn; };
    // Shown with the stored rate, never changed here: the combo itself stays
    // disabled while its row is enabled with the page.
    fpsCombo->setEnabled(false);

    otherNetButton = new ColorButton(SettingsCaption(424), page, ColorButtonSizeNormal);
    otherNetButton->setFixedSize(m.actionButton.width() + m.actionButton.width() / 2, m.actionButton.height());
    addRow(right, otherNetButton, true);
    textButtons[424] = otherNetButton;
    right->addStretch();
}

void WizardParaWidget::WireNetworkPage()
{
    connect(cardCombo, qOverload<int>(&QComboBox::currentIndexChanged), this, &WizardParaWidget::SlotCmbCard);
    connect(cardCombo, &ComboBox::clicked, this, &WizardParaWidget::SlotClickCmbCard);
    connect(ipEdit, &EditIP::textchange, this, &WizardParaWidget::SlotIpTimelyModify);
    connect(maskEdit, &EditIP::textchange, this, &WizardParaWidget::SlotMaskTimelyModify);
    connect(gatewayEdit, &EditIP::textchange, this, &WizardParaWidget::SlotWayTimelyModify);
    connect(netBox, &QCheckBox::stateChanged, this, &WizardParaWidget::SlotCBoxIsUseCntNet);
    connect(cardBox, &QAbstractButton::pressed, this, &WizardParaWidget::SlotCntClick);
    connect(cardBox, &QCheckBox::stateChanged, this, &WizardParaWidget::SlotCntName);
    connect(pingButton, &QAbstractButton::clicked, this, &WizardParaWidget::SlotCheckPing);
    connect(otherNetButton, &QAbstractButton::clicked, this, &WizardParaWidget::SlotNetOthers);
    connect(pingProcess, &ConnectionTest::finished, this,
            [this](const ConnectionTest::Result& r) { ShowPingResult(r.gatewayFound, r.lan, r.internet); });
}

// ------------------------------------------------------------- loading

void WizardParaWidget::InitCntNetWidget()
{
    if (!gpWParaBak)
        return;
    const WizardPara& edit = *gpWParaBak;
    {
        const QSignalBlocker quiet(cardCombo);
        cardCombo->clear();
        if (gpNet)
            cardCombo->addItems(gpNet->netCardEdit.cardInfo.keys());
    }
    cardBoxPressed = false;
    SlotCmbCard(cardCombo->currentIndex());
    hostNameEdit->setText(gpNet ? gpNet->netCardEdit.hostName : QString());
    videoTypeCombo->setCurrentIndex(qBound(0, edit.videoShareMode, videoTypeCombo->count() - 1));
    fpsCombo->setCurrentIndex(qBound(0, edit.videoShareFps, fpsCombo->count() - 1));
    serialCombo->setCurrentIndex(qBound(0, edit.serialPort, serialCombo->count() - 1));
    netBox->setValue(edit.netEnabled);
    netBoxOn = edit.netEnabled != 0;
    netPageLoaded_ = true;
}

void WizardParaWidget::ReadNetworkPage()
{
    if (!gpWParaBak || !netPageLoaded_)
        return;
    WizardPara& edit = *gpWParaBak;
    edit.netEnabled = netBox->value();
    edit.videoShareMode = videoTypeCombo->currentIndex();
    edit.videoShareFps = fpsCombo->currentIndex();
    edit.serialPort = serialCombo->currentIndex();
    if (gpNet)
        gpNet->netCardEdit.hostName = hostNameEdit->text();
}

void WizardParaWidget::RefreshSystemNetCard()
{
    // Only the running data: interfaces that changed since the dialog
    // opened count as an edit at Confirm.
    if (gpNet && !host_->readSystemNetCard(gpNet->netCard))
        LOG(WARNING) << "network page: no reader of the system's interfaces";
}

// ------------------------------------------------------------- the slots

void WizardParaWidget::SlotCmbCard(int index)
{
    const QString name = cardCombo->itemText(index);
    cardMac.clear();
    if (gpNet)
        cardMac = gpNet->netCardEdit.macAddr.value(name);
    update();
    const QStringList addresses = gpNet ? gpNet->netCardEdit.cardInfo.value(name) : QStringList();
    if (addresses.size() == 3) {
        loadingCard_ = true;
        ipEdit->setTextIP(addresses.at(0));
        maskEdit->setTextIP(addresses.at(1));
        gatewayEdit->setTextIP(addresses.at(2));
        loadingCard_ = false;
        // A press that never became a state change must not make this
        // programmatic tick count as the operator's choice.
        cardBoxPressed = false;
        const bool linkCard = gpWParaBak && name == WizardPara::Text(gpWParaBak->netCardName);
        cardBox->setValue(linkCard ? 1 : 0);
    }
    update();
}

void WizardParaWidget::SlotClickCmbCard() {}

void WizardParaWidget::StoreAddress(int entry, const QString& text)
{
    if (loadingCard_ || !gpNet)
        return;
    const QString name = cardCombo->currentText();
    if (name.contains(QLatin1String("wlan")))
        return;
    auto it = gpNet->netCardEdit.cardInfo.find(name);
    if (it == gpNet->netCardEdit.cardInfo.end() || it->size() != 3)
        return;
    (*it)[entry] = text;
}

void WizardParaWidget::SlotIpTimelyModify(const QString& text) { StoreAddress(0, text); }
void WizardParaWidget::SlotMaskTimelyModify(const QString& text) { StoreAddress(1, text); }
void WizardParaWidget::SlotWayTimelyModify(const QString& text) { StoreAddress(2, text); }

void WizardParaWidget::ShowLinkWidgets(bool on)
{
    for (QWidget* w : linkWidgets_)
        w->setVisible(on);
}

void WizardParaWidget::SlotCBoxIsUseCntNet(int state)
{
    netBoxOn = state != 0;
    if (!netBoxOn)
        ShowLinkWidgets(false);
    else if (currentPage == SettingsPageNetwork)
        ShowLinkWidgets(true);
    update();
}

void WizardParaWidget::SlotCntClick() { cardBoxPressed = true; }

void WizardParaWidget::SlotCntName(int state)
{
    if (!cardBoxPressed || !gpWParaBak)
        return;
    const QByteArray name = state == 0 ? QByteArrayLiteral("null") : cardCombo->currentText().toLatin1();
    WizardPara::SetText(gpWParaBak->netCardName, name);
    cardBoxPressed = false;
}

void WizardParaWidget::SlotCheckPing()
{
    // A test in progress keeps running; a second press changes nothing.
    if (pingProcess->running())
        return;
    pingStatus += QLatin1Char('*');
    update();
    pingProcess->start();
}

void WizardParaWidget::ShowPingResult(bool gatewayFound, bool lan, bool internet)
{
    if (!gatewayFound) {
        pingStatus = Msg(419);
    } else {
        const bool server = gpNet && gpNet->linkAlive();
        pingStatus = Msg(lan ? 420 : 421) + QLatin1Char(',') + Msg(internet ? 422 : 423) + QLatin1Char(',') +
                     Msg(server ? 439 : 440);
    }
    LOG(INFO) << "connection test: " << pingStatus.toStdString();
    update();
}

void WizardParaWidget::SlotNetOthers()
{
    OtherNetDialog* dialog = host_->otherNetDialog();
    if (!dialog || !gpWParaBak)
        return;
    WizardPara& edit = *gpWParaBak;
    OtherNetFields f;
    f.smsAlarm = edit.smsAlarmEnabled != 0;
    f.techName = WizardPara::Text(edit.techName);
    f.techPhone = WizardPara::Text(edit.techPhone);
    f.ngVideo = edit.ngVideoEnabled != 0;
    f.productName = WizardPara::Text(edit.productName);
    f.operatorName = WizardPara::Text(edit.operatorName);
    f.moldCavity = QStringLiteral("%1").arg(edit.productMoldCavity);
    f.productNum = QStringLiteral("%1").arg(edit.productNum);
    f.productSerial = QStringLiteral("%1").arg(edit.productSerial);
    dialog->loadFields(f);
    if (dialog->runModal() == 1) {
        const OtherNetFields back = dialog->readFields();
        edit.smsAlarmEnabled = back.smsAlarm ? 1 : 0;
        edit.ngVideoEnabled = back.ngVideo ? 1 : 0;
        // UTF-8, cut at a whole character within the buffer: Chinese names
        // reach PARAM.db and the relay's notices as typed.
        WizardPara::SetText(edit.techName, back.techName);
        WizardPara::SetText(edit.techPhone, back.techPhone);
        WizardPara::SetText(edit.productName, back.productName);
        WizardPara::SetText(edit.operatorName, back.operatorName);
        edit.productMoldCavity = back.moldCavity.trimmed().toInt(nullptr, 10);
        edit.productNum = back.productNum.trimmed().toInt(nullptr, 10);
        edit.productSerial = back.productSerial.trimmed().toInt(nullptr, 10);
    }
    dialog->SlotCloseWgt();
}

// ------------------------------------------------------------- Confirm

WizardParaWidget::NetSaveResult WizardParaWidget::SaveNetParam()
{
    NetSaveResult r;
    if (!gpWPara || !gpWParaBak)
        return r;
    const WizardPara& live = *gpWPara;
    const WizardPara& edit = *gpWParaBak;
    RelayLink* net = gpNet;

    if (net && net->netCardEdit.cardInfo != net->netCard.cardInfo) {
        r.bits |= 1;
        r.netplanWritten = netfiles::WriteFile(netfiles::kNetplanFile,
                                               netfiles::NetplanJson(net->netCardEdit, net->netCard.macAddr));
        if (!r.netplanWritten)
            r.failed << QString::fromLatin1(netfiles::kNetplanFile);
    }
    if (edit.netEnabled != live.netEnabled)
        r.bits |= 2;
    if (net && net->netCardEdit.hostName != net->netCard.hostName) {
        r.bits |= 4;
        // The system's hosts file, whole; one that exists but cannot be read
        // is not replaced by a file of two lines.
        const QString hostsPath = paths().etcDir + QStringLiteral("/hosts");
        std::optional<QByteArray> hosts = netfiles::ReadFile(hostsPath);
        if (!hosts && !QFile::exists(hostsPath))
            hosts = QByteArray();
        const bool nameWritten =
            netfiles::WriteFile(netfiles::kHostnameFile, netfiles::HostnameFile(net->netCardEdit.hostName));
        bool hostsWritten = false;
        if (!hosts)
            LOG(ERROR) << "network settings: " << hostsPath.toStdString() << " cannot be read";
        else
            hostsWritten = netfiles::WriteFile(
                netfiles::kHostsFile, netfiles::HostsFile(*hosts, net->netCard.hostName, net->netCardEdit.hostName));
        if (!nameWritten)
            r.failed << QString::fromLatin1(netfiles::kHostnameFile);
        if (!hostsWritten)
            r.failed << QString::fromLatin1(netfiles::kHostsFile);
        r.hostFilesWritten = nameWritten && hostsWritten;
    }
    if (edit.netEnabled == 0) {
        if (net)
            net->netCardEdit.hostName = net->netCard.hostName;
    } else if (std::strcmp(edit.netCardName, live.netCardName) != 0 || edit.videoShareMode != live.videoShareMode ||
               edit.videoShareFps != live.videoShareFps || edit.ngVideoEnabled != live.ngVideoEnabled) {
        r.bits |= 8;
    }
    return r;
}

bool WizardParaWidget::UpdateMacRegisterFile()
{
    if (!gpNet)
        return true;
    const std::optional<QByteArray> text = netfiles::UpdateMacRegister(
        netfiles::ReadFile(netfiles::FilePath(netfiles::kMacRegisterFile)), gpNet->netCardEdit,
        netfiles::SysfsAddressReader());
    if (!text)
        return true;   // no entry: the file stays as it was
    return netfiles::WriteFile(netfiles::kMacRegisterFile, *text);
}
