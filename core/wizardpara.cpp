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

bool WizardPara::SetText(char (&field)[kParamTextLen], const QByteArray& bytes)
{
    const int nul = bytes.indexOf('\0');
    const int len = nul < 0 ? int(bytes.size()) : nul;
    if (len > kParamTextLen - 1)
        return false;
    std::memset(field, 0, sizeof field);
    std::memcpy(field, bytes.constData(), size_t(len));
    return true;
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
