#include "wizardpara.h"

#include "utf8text.h"

const int TriginNo[8] = {1, 3, 4, 5, 6, 7, 8, 9};
const int OutputNo[8] = {2, 4, 5, 6, 7, 8, 9, 1};

WizardPara* gpWPara = nullptr;
WizardPara* gpWParaBak = nullptr;

int gDNum = 0;
QString gaName[kStatusLabels];
char gSerialNB[kCameraSlots][kParamTextLen] = {};

WizardPara::WizardPara()
{
    // Everything else is zero (member initialisers).
    detectEnabled[1] = 1;
    videoShareMode = VideoShareScreen;
    videoShareFps = 3;
    productSerial = 10000;
    productMoldCavity = 6;
    productNum = 1;
    multiDetectCount = 2;
    roiNgWarnCount = 2;
}

namespace {
// Fields whose zero is out of range or below the page's minimum, and gain
// in the middle of its range; every other field starts at its constructor
// value.
WizardPara MakeFirstStartParameters()
{
    WizardPara p;
    for (int c = 0; c < kCameraSlots; ++c) {
        p.exposure[c] = 30;
        p.gain[c] = 32;
        p.contrast[c] = 100;
        p.gamma[c] = 100;
    }
    p.outputInvert[2] = 1;   // the alarm output
    p.templateCount = 10;
    p.minimumSize = 3;
    p.minimumArea = 100;
    p.minSpot = 3;
    p.maxOffset = 8000;
    p.defectEnabled = 1;
    return p;
}
}  // namespace

const WizardPara& FirstStartParameters()
{
    static const WizardPara p = MakeFirstStartParameters();
    return p;
}

bool WizardPara::SetText(char (&field)[kParamTextLen], const QByteArray& bytes)
{
    const int nul = bytes.indexOf('\0');
    int len = nul < 0 ? int(bytes.size()) : nul;
    const bool fits = len <= kParamTextLen - 1;
    if (!fits) {
        const QByteArray text = bytes.left(len);
        len = IsUtf8(text) ? Utf8CutLength(text, kParamTextLen - 1) : kParamTextLen - 1;
    }
    std::memset(field, 0, sizeof field);
    std::memcpy(field, bytes.constData(), size_t(len));
    return fits;
}

bool WizardPara::SetText(char (&field)[kParamTextLen], const QString& text)
{
    return SetText(field, text.toUtf8());
}

QString WizardPara::Text(const char (&field)[kParamTextLen])
{
    const QByteArray bytes(field, int(qstrnlen(field, kParamTextLen)));
    return IsUtf8(bytes) ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}
