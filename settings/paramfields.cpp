#include "paramfields.h"

#include "messages.h"

#include <QStringList>
#include <algorithm>
#include <cstring>

namespace paramfields {
namespace {

constexpr int kUnitSeconds = 540;

// Small builders so that the table reads like the pages.
struct F {
    ParamField f;
    F(const char* name, std::size_t offset, Page page, int column, Widget widget, int caption)
    {
        f.name = name;
        f.index = 0;
        f.page = page;
        f.column = column;
        f.widget = widget;
        f.caption = caption;
        f.captionMultiDetect = -1;
        f.fixedCaption = nullptr;
        f.minimum = 0;
        f.maximum = 1;
        f.scale = 1;
        f.scaled = false;
        f.unit = -1;
        f.use0 = false;
        f.offset = offset;
        f.perCamera = false;
        f.map = Map::Plain;
        f.show = Show::Always;
        f.read = Read::Always;
        f.clause = widget == Widget::Check ? Clause::Switch : Clause::Value;
    }
    F& range(int lo, int hi) { f.minimum = lo, f.maximum = hi; return *this; }
    F& seconds(int scale) { f.scaled = true, f.scale = scale, f.unit = kUnitSeconds; return *this; }
    F& unit(int id) { f.unit = id; return *this; }
    F& use0() { f.use0 = true; return *this; }
    F& items(std::vector<int> ids)
    {
        f.items = std::move(ids);
        f.minimum = 0;
        f.maximum = int(f.items.size()) - 1;
        return *this;
    }
    F& element(int i) { f.index = i, f.offset += std::size_t(i) * sizeof(int); return *this; }
    F& perCamera() { f.perCamera = true; return *this; }
    F& multiCaption(int id) { f.captionMultiDetect = id; return *this; }
    F& fixed(const char* text) { f.fixedCaption = text; return *this; }
    F& show(Show s) { f.show = s; return *this; }
    F& read(Read r) { f.read = r; return *this; }
    F& clause(Clause c) { f.clause = c; return *this; }
    F& map(Map m) { f.map = m; return *this; }
    operator ParamField() const { return f; }
};

#define AT(member) #member, offsetof(WizardPara, member)

F Number(const char* name, std::size_t at, Page p, int col, int caption, int lo, int hi)
{
    return F(name, at, p, col, Widget::Number, caption).range(lo, hi);
}
F Box(const char* name, std::size_t at, Page p, int col, int caption)
{
    return F(name, at, p, col, Widget::Check, caption);
}
F Combo(const char* name, std::size_t at, Page p, int col, int caption, std::vector<int> ids)
{
    return F(name, at, p, col, Widget::Combo, caption).items(std::move(ids));
}

std::vector<ParamField> BuildFields()
{
    std::vector<ParamField> v;
    const Page C = Page::Common, K = Page::Camera, I = Page::IO, A = Page::Advanced;

    // ---- common page
    static const int kDelayCaption[8] = {161, 162, 485, 486, 487, 488, 489, 490};
    static const int kDelayCaptionMulti[8] = {508, 509, 485, 486, 487, 488, 489, 490};
    for (int d = 0; d < kDetections; ++d) {
        F delay = Number(AT(detectDelay), C, 0, kDelayCaption[d], 0, 10000)
                      .seconds(10)
                      .element(d)
                      .multiCaption(kDelayCaptionMulti[d])
                      .show(Show::Delay);
        if (d >= 2)
            delay.read(Read::MultiDetect).clause(Clause::DelayStep);
        v.push_back(delay);
    }
    v.push_back(Number(AT(moldRecheckCount), C, 0, 167, 0, 10).multiCaption(511));
    v.push_back(Number(AT(minimumSize), C, 0, 22, 1, 10).show(Show::WithoutDetails));
    v.push_back(Number(AT(minimumArea), C, 0, 24, 0, 1000).show(Show::WithoutDetails));
    v.push_back(Box(AT(productDetectEnabled), C, 1, 175).multiCaption(510));
    v.push_back(Box(AT(semiAuto), C, 1, 174));
    v.push_back(Box(AT(moldSameAsProduct), C, 1, 177));
    v.push_back(Box(AT(motionCorrection), C, 1, 176).map(Map::Motion));
    v.push_back(Box(AT(passwordEnabled), C, 1, 170));

    // ---- camera page: the image values follow the tuned camera and are
    // written by the page's setters as they change.
    v.push_back(Number(AT(exposure), K, 0, 164, 1, 100).perCamera().read(Read::Never));
    v.push_back(Number(AT(gain), K, 0, 165, 0, 64).perCamera().read(Read::Never));
    v.push_back(Number(AT(sharpness), K, 0, 241, 0, 100).perCamera().read(Read::Never).show(Show::Factory));
    v.push_back(Number(AT(contrast), K, 0, 242, 1, 200).perCamera().read(Read::Never).show(Show::Factory));
    v.push_back(Number(AT(gamma), K, 0, 364, 0, 250).perCamera().read(Read::Never).show(Show::Factory));
    v.push_back(Number(AT(captureSpeed), K, 0, 244, 0, 32).show(Show::Factory));
    // Middle column.
    v.push_back(Box(AT(autoShading), K, 1, 388).show(Show::Factory));
    v.push_back(Box(AT(noLensOptimize), K, 1, 337).show(Show::Factory));
    v.push_back(Box(AT(colorCamera), K, 1, 270).show(Show::Factory));
    v.push_back(Box(AT(grayChannel), K, 1, 271).show(Show::Factory));
    v.push_back(Box(AT(externalTrigger), K, 1, 519).show(Show::Factory));
    v.push_back(Box(AT(refreshAfterDetect), K, 1, 657).show(Show::Factory));
    v.push_back(Box(AT(continuousTimedDetect), K, 1, 1012).show(Show::Factory));
    v.push_back(Box(AT(showAlgorithmDetails), K, 1, 200).show(Show::Factory));
    v.push_back(Box(AT(defectEnabled), K, 1, 196).show(Show::Factory));
    v.push_back(Box(AT(spotEnabled), K, 1, 197).show(Show::Factory));
    v.push_back(Box(AT(ignoreAreaEnabled), K, 1, 198).show(Show::Factory));
    v.push_back(Box(AT(positionEnabled), K, 1, 199).show(Show::Factory));
    // Right column; the mirrors are applied on click and already in the edit copy.
    v.push_back(Box(AT(vMirror), K, 2, 566).perCamera().read(Read::Never).show(Show::Factory).clause(Clause::Mirror));
    v.push_back(Box(AT(hMirror), K, 2, 565).perCamera().read(Read::Never).show(Show::Factory).clause(Clause::Mirror));
    v.push_back(Box(AT(blackAreaEnabled), K, 2, 390).show(Show::Factory));
    v.push_back(Box(AT(whiteAreaEnabled), K, 2, 391).show(Show::Factory));
    v.push_back(Box(AT(whiteCountEnabled), K, 2, 520).show(Show::Factory));
    v.push_back(Box(AT(directionEnabled), K, 2, 561).show(Show::Never));
    v.push_back(Box(AT(distanceEnabled), K, 2, 581).show(Show::Factory));
    v.push_back(Box(AT(similarityEnabled), K, 2, 397).show(Show::Factory));

    // ---- I/O page, left column
    v.push_back(Number(AT(inputTimeout), I, 0, 336, 0, 10000).seconds(1));
    v.push_back(Combo(AT(reserveInputRole), I, 0, 203, {455, 404, 405, 406}));
    v.push_back(Combo(AT(reserveOutputRole), I, 0, 334, {455, 407, 408, 409}));
    v.push_back(Number(AT(preCut), I, 0, 166, 0, 100).seconds(10));
    v.push_back(Number(AT(ejectorPulse), I, 0, 168, 0, 1000).seconds(10));
    v.push_back(Number(AT(clampPulse), I, 0, 169, 0, 1000).seconds(10));
    v.push_back(Number(AT(debounceTime), I, 0, 524, 0, 100).seconds(10));
    v.push_back(Number(AT(skipDetectCount), I, 0, 571, 0, 100));
    // Output initial states; the labels of outputs 5.. are 496 filled with the number.
    static const int kOutputCaption[4] = {273, 274, 275, 281};
    for (int o = 0; o < kOutputs; ++o) {
        F out = Combo(AT(outputInvert), I, 0, o < 4 ? kOutputCaption[o] : 496, {204, 211})
                    .element(o)
                    .show(Show::OutputState);
        if (o >= 4)
            out.read(Read::MultiDetect).clause(Clause::OutputState);
        v.push_back(out);
    }
    // Middle column.
    v.push_back(Box(AT(stopForbidsClamp), I, 1, 179));
    v.push_back(Box(AT(cutEjectorOnClamp), I, 1, 178));
    v.push_back(Box(AT(productNoEjectorControl), I, 1, 192));
    v.push_back(Box(AT(productNgPulseNoAlarm), I, 1, 190));
    v.push_back(Box(AT(moldNgPulseNoAlarm), I, 1, 642));
    v.push_back(Box(AT(productOkNgOutputs), I, 1, 1013));
    v.push_back(Box(AT(okClampNgEjector), I, 1, 645));
    v.push_back(Box(AT(cutClampAfterMoldOk), I, 1, 193));
    v.push_back(Box(AT(cutEjectorAfterProductOk), I, 1, 513));
    v.push_back(Box(AT(safetyDoorTrigger), I, 1, 265));
    v.push_back(Box(AT(safetyDoorClearsAlarm), I, 1, 195));
    v.push_back(Box(AT(productAlarmCutsEjector), I, 1, 515));
    v.push_back(Box(AT(moldAlarmCutsClamp), I, 1, 562));
    // Right of them.
    v.push_back(Box(AT(stopForbidsEjector), I, 2, 643));
    v.push_back(Box(AT(okNgPulses), I, 2, 202));
    // Right edge: the function (pending until it can take effect) and the mould.
    v.push_back(Combo(AT(systemModePending), I, 3, -1, {384, 385, 386, 399, 472}));
    v.push_back(Combo(AT(moldSelect), I, 3, -1, {376, 377, 383}).show(Show::PairFunction));

    // ---- advanced page, left column
    v.push_back(Number(AT(maxOffset), A, 0, 213, 1, 8000).show(Show::LargeLayout));
    v.push_back(Number(AT(differenceMultiplier), A, 0, 188, 0, 4));
    v.push_back(Number(AT(minSpot), A, 0, 181, 1, 20));
    v.push_back(Number(AT(rotationAngle), A, 0, 403, 0, 180));
    v.push_back(Number(AT(screenOffSeconds), A, 0, 243, 30, 9999).unit(kUnitSeconds).use0());
    v.push_back(Number(AT(autoLogoutSeconds), A, 0, 189, 0, 1000).unit(kUnitSeconds));
    v.push_back(Number(AT(templateCount), A, 0, 185, 1, 100));
    v.push_back(Number(AT(ngImageKeep), A, 0, 186, 0, 2000));
    v.push_back(Number(AT(okImageKeep), A, 0, 187, 0, 2000));
    // Middle column.
    v.push_back(Box(AT(showFactoryParams), A, 1, 254));
    v.push_back(Box(AT(showManualSnapshot), A, 1, 272));
    v.push_back(Box(AT(autoGenerateArea), A, 1, 191));
    v.push_back(Box(AT(skipMoldPassword), A, 1, 194));
    v.push_back(Box(AT(addTemplatePassword), A, 1, 341));
    v.push_back(Box(AT(ignorePointPassword), A, 1, 342));
    v.push_back(Box(AT(stopDetectPassword), A, 1, 556));
    v.push_back(Box(AT(templateIsNg), A, 1, 457));
    v.push_back(Box("saveRawImages", kNotInRecord, A, 1, 201).clause(Clause::None));
    v.push_back(Box(AT(liveRoiDisplay), A, 1, 470));
    v.push_back(Box(AT(templateAutoUpdate), A, 1, 400));
    v.push_back(Box(AT(ngSwitchToContinuous), A, 1, 1011));
    // Right column.
    v.push_back(Box(AT(statisticsEnabled), A, 2, 554));
    v.push_back(Box(AT(showCavityNumbers), A, 2, 471));
    v.push_back(Box(AT(logEnabled), A, 2, 558));
    v.push_back(Box(AT(skipDetectEnabled), A, 2, 572));
    v.push_back(Box(AT(separateDetectSignal), A, 2, 1007));
    v.push_back(Box(AT(cameraCheck), A, 2, 586));
    v.push_back(Box(AT(ioLostAlarm), A, 2, 591));
    v.push_back(Box(AT(imageAdjustEnabled), A, 2, 644));
    v.push_back(Box(AT(showCaptureModeButton), A, 2, 652));
    v.push_back(Box(AT(cycleTimeLog), A, 2, -1).fixed("启用检测周期"));
    v.push_back(Box(AT(hideNgCount), A, 2, 653));
    return v;
}

#undef AT

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

QString Ordinal(int d, int language) { return CaptionText(477 + d, language); }

}  // namespace

const std::vector<ParamField>& ParamFields()
{
    static const std::vector<ParamField> fields = BuildFields();
    return fields;
}

std::vector<const ParamField*> PageFields(Page page)
{
    std::vector<const ParamField*> out;
    for (const ParamField& f : ParamFields()) {
        if (f.page == page)
            out.push_back(&f);
    }
    return out;
}

const ParamField* FindField(const char* name, int index)
{
    for (const ParamField& f : ParamFields()) {
        if (f.index == index && std::strcmp(f.name, name) == 0)
            return &f;
    }
    return nullptr;
}

int& FieldRef(const ParamField& field, WizardPara& para, int camera)
{
    std::size_t at = field.offset;
    if (field.perCamera)
        at += std::size_t(Clamp(camera, 0, kCameraSlots - 1)) * sizeof(int);
    return *reinterpret_cast<int*>(reinterpret_cast<char*>(&para) + at);
}

int FieldValue(const ParamField& field, const WizardPara& para, int camera)
{
    return FieldRef(field, const_cast<WizardPara&>(para), camera);
}

int SnapWidgetValue(const ParamField& field, int widgetValue)
{
    switch (field.widget) {
    case Widget::Check:
        return widgetValue != 0 ? 1 : 0;
    case Widget::Combo:
        return Clamp(widgetValue, field.minimum, field.maximum);
    case Widget::Number:
        break;
    }
    if (field.use0 && widgetValue == 0)
        return 0;
    return Clamp(widgetValue, field.minimum, field.maximum);
}

int WidgetValueFor(const ParamField& field, int stored)
{
    if (field.map == Map::Motion)
        return stored == 0 ? 1 : 0;
    return SnapWidgetValue(field, stored);
}

int StoredValueFor(const ParamField& field, int widgetValue)
{
    const int v = SnapWidgetValue(field, widgetValue);
    return field.map == Map::Motion ? v - 1 : v;
}

int LoadWidgetValue(const ParamField& field, const WizardPara& para, int camera)
{
    if (field.offset == kNotInRecord)
        return 0;
    return WidgetValueFor(field, FieldValue(field, para, camera));
}

void StoreWidgetValue(const ParamField& field, WizardPara& para, int widgetValue, int camera)
{
    if (field.offset != kNotInRecord)
        FieldRef(field, para, camera) = StoredValueFor(field, widgetValue);
}

bool ReadAtConfirm(const ParamField& field, int liveMode)
{
    switch (field.read) {
    case Read::Always:
        return true;
    case Read::MultiDetect:
        return liveMode == SystemModeMultiDetect;
    case Read::Never:
        return false;
    }
    return false;
}

QString ShownText(const ParamField& field, int raw)
{
    if (!field.scaled || field.scale == 1)
        return QString::number(raw);
    return QString::number(double(raw) / field.scale);
}

QString CaptionText(int id, int language)
{
    const QString& text = Msg(id, language);
    return text.isEmpty() ? Msg(id, LanSimplifiedChinese) : text;
}

QString FieldCaption(const ParamField& field, const CaptionContext& context)
{
    if (field.caption < 0 && field.fixedCaption)
        return QString::fromUtf8(field.fixedCaption);
    if (field.caption < 0 && !field.items.empty()) {
        // The combos of the function and the mould have no caption of their
        // own: their item texts joined stand for it.
        return ItemTexts(field, context.language).join(QLatin1Char('/'));
    }
    const bool multi = context.builtMode == SystemModeMultiDetect && field.captionMultiDetect >= 0;
    const int id = multi ? field.captionMultiDetect : field.caption;
    if (multi && id == 511)
        return CaptionText(511, context.language)
            .arg(Ordinal(Clamp(context.multiDetectCount, 1, 8) - 1, context.language));
    if (id == 496)
        return CaptionText(496, context.language).arg(field.index + 1);
    return CaptionText(id, context.language);
}

QStringList ItemTexts(const ParamField& field, int language)
{
    QStringList out;
    for (int id : field.items)
        out << CaptionText(id, language);
    return out;
}

bool FieldBuilt(const ParamField& field, int builtMode)
{
    const bool multi = builtMode == SystemModeMultiDetect;
    if (field.show == Show::Delay && field.index >= 2)
        return multi;
    if (field.show == Show::OutputState && field.index >= 4)
        return multi;
    return true;
}

int MultiDetectOutputsShown(int multiDetectCount)
{
    return Clamp(std::max(4, multiDetectCount + 1), 4, kOutputs);
}

bool MultiDetectButtonsVisible(int functionShown) { return functionShown == SystemModeMultiDetect; }

bool FieldVisible(const ParamField& field, const VisibilityContext& c)
{
    if (!FieldBuilt(field, c.builtMode))
        return false;
    const bool multi = c.builtMode == SystemModeMultiDetect;
    switch (field.show) {
    case Show::Always:
        return true;
    case Show::Factory:
        return c.factory;
    case Show::WithoutDetails:
        return !c.details;
    case Show::LargeLayout:
        return c.largeLayout;
    case Show::Never:
        return false;
    case Show::Delay:
        return field.index < 2 || (multi && field.index < c.multiDetectCount);
    case Show::OutputState:
        return c.factory && field.index < (multi ? MultiDetectOutputsShown(c.multiDetectCount) : 4);
    case Show::PairFunction:
        return c.functionShown == SystemModeTwoColor || c.functionShown == SystemModeTurntable;
    }
    return false;
}

}  // namespace paramfields
