#include "wizardparawidget.h"

#include "cameraglobals.h"
#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "edit.h"
#include "editbox.h"
#include "kitlayout.h"
#include "messages.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "pixmaps.h"
#include "settingshost.h"
#include "settingslayout.h"
#include "wizardpara.h"

#include <QFile>
#include <cstring>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTextStream>
#include <QVBoxLayout>

QString SettingsCaption(int id) { return paramfields::CaptionText(id, gLan); }

WizardParaWidget::WizardParaWidget(SettingsHost* host, bool ownHost, QWidget* parent)
    : QWidget(parent), host_(host)
{
    if (ownHost)
        ownedHost_.reset(host);
    // 1. Size class by the screen; never larger than the screen.
    large_ = IsLargeLayout();
    const SettingsMetrics& m = settingsMetrics();
    rowHeight_ = m.rowHeight;
    fontPx_ = m.fontPx;
    headerHeight_ = m.headerHeight;
    titleHeight_ = m.titleHeight;
    setFixedSize(m.dialogSize);
    move((gShowW - width()) / 2, (gShowH - height()) / 2);
    setAutoFillBackground(false);
    hide();

    multiDetectBuilt = gpWPara && gpWPara->systemMode == SystemModeMultiDetect;

    outer_ = new QVBoxLayout(this);
    outer_->setContentsMargins(m.margin, titleHeight_ + m.margin / 2, m.margin, m.margin / 2);
    outer_->setSpacing(m.margin / 2);
    for (int p = 0; p < 6; ++p) {
        pages_[p] = new QWidget(this);
        pages_[p]->hide();
        outer_->addWidget(pages_[p], 1);
    }

    // 3. The pages, then the bottom row.
    BuildCommonPage();
    BuildCameraPage();
    BuildIOPage();
    BuildAdvancedPage();
    BuildNetworkPage();
    BuildRecordPage();
    BuildButtonRow();


    // 5.
    currentPage = SettingsPageCommon;
    simpleDisplay = false;
    keepPage = false;

    // 6. The panel's serial number as the title.
    QFile serial(QStringLiteral("serialNB.txt"));
    if (serial.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream in(&serial);
        in >> titleText;
    }

    WireNetworkPage();
    WireMultiDetect();
    WireRecordPage();
    WireGroups();
    WireMaintenance();
    WireWindowDialogs();
}

ColorButton* WizardParaWidget::buttonByText(int textId) const
{
    const auto it = textButtons.find(textId);
    return it == textButtons.end() ? nullptr : it->second;
}

WizardParaWidget::~WizardParaWidget()
{
    // The cameras go back to the live values if the dialog is open still.
    if (shown_ && gpWPara && gpWParaBak)
        ReapplyCameras(*gpWPara, *gpWParaBak, false);
    shown_ = false;
}

void WizardParaWidget::showPage()
{
    show();
    raise();
}

void WizardParaWidget::hidePage() { hide(); }

void WizardParaWidget::BuildButtonRow()
{
    const SettingsMetrics& m = settingsMetrics();
    auto* row = new QHBoxLayout;
    row->setSpacing(m.margin / 2);
    const int ids[6] = {267, 128, 262, 266, 205, 121};
    for (int i = 0; i < 6; ++i) {
        pageButtons[i] = new ColorButton(SettingsCaption(ids[i]), this, ColorButtonSizeNormal);
        pageButtons[i]->setFixedSize(m.pageButton);
        row->addWidget(pageButtons[i]);
    }
    row->addStretch();
    outer_->addLayout(row);
    connect(pageButtons[0], &QPushButton::clicked, this, &WizardParaWidget::SlotToCommon);
    connect(pageButtons[1], &QPushButton::clicked, this, &WizardParaWidget::SlotToCamera);
    connect(pageButtons[2], &QPushButton::clicked, this, &WizardParaWidget::SlotToNetwork);
    connect(pageButtons[3], &QPushButton::clicked, this, &WizardParaWidget::SlotToIO);
    connect(pageButtons[4], &QPushButton::clicked, this, &WizardParaWidget::SlotToAdvance);
    connect(pageButtons[5], &QPushButton::clicked, this, &WizardParaWidget::accept);
}

QWidget* WizardParaWidget::pageArea(int page) const
{
    return page >= 0 && page < 6 ? pages_[page] : nullptr;
}

SettingsControl& WizardParaWidget::AddControl(SettingsControl c)
{
    controls.push_back(std::move(c));
    return controls.back();
}

SettingsControl* WizardParaWidget::ControlOf(QWidget* w)
{
    for (SettingsControl& c : controls)
        if (c.row == w || c.edit == w || c.check == w || c.combo == w || c.button == w)
            return &c;
    return nullptr;
}

void WizardParaWidget::AddHeader(QBoxLayout* column, int page, int textId, const QString& note)
{
    column->addSpacing(headerHeight_);
    PaintedText t;
    t.page = page;
    t.text = SettingsCaption(textId);
    t.note = note;
    texts.push_back(t);
    pendingHeaders_.push_back({column, texts.size() - 1});
}

void WizardParaWidget::AnchorHeaders(QBoxLayout* column, QWidget* row)
{
    for (auto it = pendingHeaders_.begin(); it != pendingHeaders_.end();) {
        if (it->column == column) {
            texts[it->text].anchor = row;
            it = pendingHeaders_.erase(it);
        } else {
            ++it;
        }
    }
}

paramfields::CaptionContext WizardParaWidget::Captions() const
{
    paramfields::CaptionContext c;
    c.builtMode = multiDetectBuilt ? SystemModeMultiDetect : SystemModeStandard;
    c.multiDetectCount = gpWPara ? gpWPara->multiDetectCount : 2;
    c.language = gLan;
    return c;
}

paramfields::VisibilityContext WizardParaWidget::Visibility() const
{
    paramfields::VisibilityContext v;
    v.factory = factoryBox && factoryBox->value();
    v.details = showDetailsBox && showDetailsBox->value();
    v.builtMode = multiDetectBuilt ? SystemModeMultiDetect : SystemModeStandard;
    v.multiDetectCount = gpWParaBak ? gpWParaBak->multiDetectCount : 2;
    v.functionShown = sysFunCombo ? sysFunCombo->currentIndex() : 0;
    v.largeLayout = gShowW > 1024;
    return v;
}

SettingsControl* WizardParaWidget::Control(const char* name, int index)
{
    for (SettingsControl& c : controls)
        if (c.field && c.field->index == index && std::strcmp(c.field->name, name) == 0)
            return &c;
    return nullptr;
}

void WizardParaWidget::AddFields(paramfields::Page page, int pageIndex,
                                 const std::function<QBoxLayout*(const paramfields::ParamField&)>& place,
                                 int boxWidth, int labelWidth)
{
    const int built = multiDetectBuilt ? SystemModeMultiDetect : SystemModeStandard;
    for (const paramfields::ParamField* f : paramfields::PageFields(page))
        if (paramfields::FieldBuilt(*f, built))
            if (QBoxLayout* column = place(*f))
                AddField(column, pageIndex, *f, boxWidth, labelWidth);
}

QWidget* WizardParaWidget::AddField(QBoxLayout* column, int pageIndex, const paramfields::ParamField& f, int boxWidth,
                                    int labelWidth)
{
    using namespace paramfields;
    const SettingsMetrics& m = settingsMetrics();
    const QString caption = f.caption == 496 ? Msg(496).arg(f.index + 1) : FieldCaption(f, Captions());
    SettingsControl c;
    c.page = pageIndex;
    c.field = &f;
    switch (f.widget) {
    case Widget::Number: {
        auto* box = new EditBox(f.minimum, f.maximum, pageArea(pageIndex), caption,
                                f.unit >= 0 ? SettingsCaption(f.unit) : QString(),
                                f.scaled ? EditBoxTypeScaled : EditBoxTypeInt, f.scale, m.rowSize);
        box->setUse0(f.use0);
        FitEditBox(box);
        c.kind = SettingsControl::Number;
        c.row = box;
        c.edit = box;
        break;
    }
    case Widget::Check: {
        auto* box = new CheckBox(pageArea(pageIndex), caption, m.rowSize);
        FitCheckBox(box, boxWidth);
        c.kind = SettingsControl::Box;
        c.row = box;
        c.check = box;
        break;
    }
    case Widget::Combo: {
        AddCombo(column, pageIndex, ItemTexts(f, gLan), f.caption >= 0 ? caption : QString(),
                 f.caption >= 0 ? labelWidth : 0);
        SettingsControl& added = controls.back();
        added.field = &f;
        return added.row;
    }
    }
    column->addWidget(c.row);
    AnchorHeaders(column, c.row);
    AddControl(c);
    return c.row;
}

ComboBox* WizardParaWidget::AddCombo(QBoxLayout* column, int page, const QStringList& items, const QString& label,
                                     int labelWidth)
{
    const SettingsMetrics& m = settingsMetrics();
    auto* row = new QWidget(pageArea(page));
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(0);
    if (labelWidth > 0)
        h->addSpacing(labelWidth);
    auto* combo = new ComboBox(row);
    combo->setFont(MicroHei(m.fontPx));
    combo->setFixedSize(m.comboWidth, m.rowHeight);
    combo->setItemHeight(m.rowHeight);
    combo->addItems(items);
    h->addWidget(combo);
    h->addStretch();
    column->addWidget(row);
    AnchorHeaders(column, row);
    if (!label.isEmpty()) {
        PaintedText t;
        t.page = page;
        t.anchor = row;
        t.text = label;
        t.header = false;
        t.width = labelWidth;
        texts.push_back(t);
    }
    SettingsControl c;
    c.kind = SettingsControl::Combo;
    c.page = page;
    c.row = row;
    c.combo = combo;
    AddControl(c);
    return combo;
}

ColorButton* WizardParaWidget::AddButton(QBoxLayout* column, int page, const QString& text)
{
    const SettingsMetrics& m = settingsMetrics();
    auto* b = new ColorButton(text, pageArea(page), ColorButtonSizeNormal);
    b->setFixedSize(m.actionButton);
    column->addWidget(b);
    AnchorHeaders(column, b);
    SettingsControl c;
    c.kind = SettingsControl::Button;
    c.page = page;
    c.row = b;
    c.button = b;
    AddControl(c);
    return b;
}

// ---------------------------------------------------------------- loading

void WizardParaWidget::LoadControl(SettingsControl& c, const WizardPara& from)
{
    if (!c.field || c.field->offset == paramfields::kNotInRecord)
        return;
    const int v = paramfields::LoadWidgetValue(*c.field, from, tunedCamera);
    switch (c.kind) {
    case SettingsControl::Number:
        c.edit->setValue(v);
        break;
    case SettingsControl::Box:
        c.check->setValue(v);
        break;
    case SettingsControl::Combo:
        c.combo->setCurrentIndex(v);
        break;
    default:
        break;
    }
}

void WizardParaWidget::StoreControl(const SettingsControl& c, WizardPara& to) const
{
    if (!c.field || c.field->offset == paramfields::kNotInRecord)
        return;
    int v = 0;
    switch (c.kind) {
    case SettingsControl::Number:
        v = c.edit->value();
        break;
    case SettingsControl::Box:
        v = c.check->value();
        break;
    case SettingsControl::Combo:
        v = c.combo->currentIndex();
        break;
    default:
        return;
    }
    paramfields::StoreWidgetValue(*c.field, to, v, tunedCamera);
}

void WizardParaWidget::WizardParaInit()
{
    tunedCamera = 0;
    simpleDisplay = false;
    if (!gpWParaBak)
        return;
    // Every field from the edit copy; a number box emits on every set, so
    // camera 0's values reach the camera again.
    for (SettingsControl& c : controls)
        LoadControl(c, *gpWParaBak);
    if (languageCombo) {
        const QSignalBlocker quiet(languageCombo);
        languageCombo->setCurrentIndex(qBound(0, gLan, 2));
    }
    if (saveRawBox)
        saveRawBox->setValue(host_->saveRawImages() ? 1 : 0);
    if (groupNameEdit)
        groupNameEdit->clear();
    for (Edit* e : passwordEdits)
        if (e)
            e->clear();
    if (groupCombo && gpWPara) {
        groupCombo->setCurrentIndex(0);
        if (gpWPara->paramGroupIndex > 0 && gpWPara->paramGroupIndex < groupCombo->count())
            groupCombo->setCurrentIndex(gpWPara->paramGroupIndex);
        if (groupNameEdit && groupCombo->currentIndex() > 0)
            groupNameEdit->setText(groupCombo->currentText());
    }
    InitCntNetWidget();
    DoChangePage();
}

void WizardParaWidget::ReadPages()
{
    if (!gpWParaBak || !gpWPara)
        return;
    for (const SettingsControl& c : controls) {
        if (!c.field)
            continue;
        // The camera values and mirrors are in the edit copy already.
        if (!paramfields::ReadAtConfirm(*c.field, gpWPara->systemMode))
            continue;
        StoreControl(c, *gpWParaBak);
    }
    ReadNetworkPage();
}

// ------------------------------------------------------------- switching

void WizardParaWidget::SetEnable(bool on)
{
    for (SettingsControl& c : controls)
        if (c.row)
            c.row->setEnabled(on);
}

void WizardParaWidget::DoChangePage()
{
    SetEnable(true);
    if (gpNumPad)
        gpNumPad->HideUpdate();
    if (gpNumCharPad)
        gpNumCharPad->HideUpdate();
    for (int p = 0; p < 6; ++p)
        if (pages_[p])
            pages_[p]->setVisible(p == currentPage || (simpleDisplay && p == SettingsPageCamera));
    const paramfields::VisibilityContext visibility = Visibility();
    for (SettingsControl& c : controls) {
        if (c.page != currentPage || !c.row)
            continue;
        if (c.field)
            c.row->setVisible(paramfields::FieldVisible(*c.field, visibility));
        else
            c.row->setVisible(!c.shown || c.shown());
    }
    if (currentPage == SettingsPageCommon && gpWParaBak && multiDetectBuilt)
        ResetEBoxTrigDelayPos(gpWParaBak->multiDetectCount);
    for (ColorButton* b : pageButtons)
        if (b)
            b->show();
    ShowSimpleDisplay();
    update();
}

void WizardParaWidget::SlotToCommon()
{
    if (currentPage == SettingsPageCommon)
        return;
    currentPage = SettingsPageCommon;
    DoChangePage();
}

void WizardParaWidget::SlotToCamera()
{
    if (currentPage == SettingsPageCamera)
        return;
    currentPage = SettingsPageCamera;
    DoChangePage();
}

void WizardParaWidget::SlotToNetwork()
{
    if (currentPage == SettingsPageNetwork || !host_->CheckRoot())
        return;
    currentPage = SettingsPageNetwork;
    DoChangePage();
    RefreshSystemNetCard();
}

void WizardParaWidget::SlotToIO()
{
    if (currentPage == SettingsPageIO || !host_->CheckRoot())
        return;
    currentPage = SettingsPageIO;
    DoChangePage();
}

void WizardParaWidget::SlotToAdvance()
{
    if (currentPage == SettingsPageAdvanced || !host_->CheckRoot())
        return;
    currentPage = SettingsPageAdvanced;
    DoChangePage();
}

// ------------------------------------------------------------ life cycle

void WizardParaWidget::showEvent(QShowEvent* event)
{
    shown_ = true;
    // The cameras run the edit copy's values while the dialog is shown;
    // camera 0 is applied again by the loading anyway.
    if (gpWPara && gpWParaBak)
        ReapplyCameras(*gpWParaBak, *gpWPara, false);
    WizardParaInit();
    QWidget::showEvent(event);
}

void WizardParaWidget::hideEvent(QHideEvent* event)
{
    if (gpNumPad)
        gpNumPad->HideUpdate();
    if (gpNumCharPad)
        gpNumCharPad->HideUpdate();
    // A one-key exposure in progress ends with nothing stored.
    CancelAutoExpose();
    shown_ = false;
    // And the live values again once it is hidden.
    if (gpWPara && gpWParaBak)
        ReapplyCameras(*gpWPara, *gpWParaBak, false);
    if (!keepPage) {
        currentPage = SettingsPageCommon;
        DoChangePage();
    }
    keepPage = false;
    QWidget::hideEvent(event);
}

void WizardParaWidget::mouseReleaseEvent(QMouseEvent* event) { QWidget::mouseReleaseEvent(event); }

void WizardParaWidget::ReapplyCameras(const WizardPara& running, const WizardPara& other, bool all)
{
    // The camera code reads the record of the dialog's state (shown_), which
    // the caller has set to the record named running.
    const int n = qMin(host_->cameraCount(), 8);
    for (int c = 0; c < n; ++c) {
        const std::pair<CameraSetting, bool> diffs[] = {
            {CameraSetting::Exposure, running.exposure[c] != other.exposure[c]},
            {CameraSetting::Gain, running.gain[c] != other.gain[c]},
            {CameraSetting::Sharpness, running.sharpness[c] != other.sharpness[c]},
            {CameraSetting::Contrast, running.contrast[c] != other.contrast[c]},
            {CameraSetting::Gamma, running.gamma[c] != other.gamma[c]},
            {CameraSetting::HMirror, running.hMirror[c] != other.hMirror[c]},
            {CameraSetting::VMirror, running.vMirror[c] != other.vMirror[c]},
        };
        const bool shading = running.autoShading != other.autoShading;
        for (const auto& [setting, differs] : diffs)
            if (all || differs || (shading && setting == CameraSetting::Exposure))
                host_->applyCameraSetting(c, setting);
    }
}

// ------------------------------------------------------------------ paint

void WizardParaWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const SettingsMetrics& m = settingsMetrics();
    if (!simpleDisplay && gpPixmapBG)
        p.drawPixmap(rect(), *gpPixmapBG);
    const int page = simpleDisplay ? SettingsPageCamera : currentPage;
    for (const PaintedText& t : texts) {
        if (t.page != page || !t.anchor || !t.anchor->isVisible())
            continue;
        if (t.shown && !t.shown())
            continue;
        const QRect r(t.anchor->mapTo(this, QPoint(0, 0)), t.anchor->size());
        if (t.header) {
            QRect hr(r.left(), r.top() - headerHeight_, qMax(r.width(), width() / 4), headerHeight_);
            QString text = t.text;
            if (text.contains(QLatin1String("%1")))
                text = text.arg(tunedCamera + 1);   // "Param C%1"
            p.setPen(QColor(0, 255, 255));
            // A header longer than its column in another language is set
            // smaller rather than cut at the column's edge.
            p.setFont(FitFont(MicroHei(m.headerPx), text, QSize(hr.width(), 10000), Qt::AlignLeft));
            p.drawText(hr.adjusted(0, 0, 0, -2), Qt::AlignLeft | Qt::AlignVCenter, text);
            if (!t.note.isEmpty()) {
                const int w = QFontMetrics(p.font()).horizontalAdvance(text);
                p.setPen(Qt::green);
                p.setFont(MicroHei(m.notePx));
                p.drawText(hr.adjusted(w + 8, 0, 0, -2), Qt::AlignLeft | Qt::AlignVCenter, t.note);
            }
            if (gpPixmapLine)
                p.drawPixmap(QRect(hr.left(), hr.bottom() - 1, hr.width(), 2), *gpPixmapLine);
        } else {
            p.setPen(Qt::yellow);
            // A label that wraps past its row's height is set smaller.
            const QRect lr(r.left(), r.top(), t.width - 4, r.height());
            const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;
            p.setFont(FitFont(MicroHei(m.labelPx), t.text, lr.size(), flags));
            p.drawText(lr, flags, t.text);
        }
    }
    if (simpleDisplay)
        return;
    // Title bar.
    if (gpPixmapTitle)
        p.drawPixmap(QRect(0, 0, width(), titleHeight_), *gpPixmapTitle);
    p.setPen(Qt::yellow);
    p.setFont(KitFont(QStringLiteral("times"), m.labelPx));
    p.drawText(QRect(5, 0, width() / 3, titleHeight_), Qt::AlignLeft | Qt::AlignVCenter, titleText);
    static const int titles[6] = {215, 260, 328, 259, 229, 206};
    p.setPen(QColor(0, 255, 255));
    p.setFont(MicroHei(m.titlePx));
    p.drawText(QRect(0, 0, width(), titleHeight_), Qt::AlignCenter, SettingsCaption(titles[qBound(0, currentPage, 5)]));
    p.setPen(Qt::yellow);
    p.drawText(QRect(width() - m.versionWidth, 0, m.versionWidth, titleHeight_), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("%1%2").arg(QStringLiteral("V"), QStringLiteral("15.12.2.51")));
}
