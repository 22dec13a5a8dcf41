#include "ionames.h"

#include "messages.h"

const char* const gInName[kInNames * 3] = {
    "开模到位", "Mol op", "開模到位",
    "安全门关", "clo door", "安全門關",
    "安全门开", "op door", "安全門開",
    "顶针退", "Thim O", "頂針退",
    "顶针进", "Thim I", "頂針進",
    "开模阀", "Mol val", "開模閥",
    "机械手", "Manip", "機械手",
    "复位键", "Res but", "復位鍵",
    "滑块退", "Slid bac", "滑塊退",
    "机手上行", "Mac up", "機手上行",
    "中子A进", "Neu A I", "中子A進",
    "中子A退", "Neu A O", "中子A退",
    "中子B进", "Neu B I", "中子B進",
    "中子B退", "Neu B O", "中子B退",
    "中子C进", "Neu C I", "中子C進",
    "中子C退", "Neu C O", "中子C退",
};

const char* const gOutName[kOutNames * 3] = {
    "允许合模", "Al clam", "允許合模",
    "允许顶针", "Al thim", "允許頂針",
    "中子A进", "Neu A I", "中子A進",
    "中子A退", "Neu A O", "中子A退",
    "中子B进", "Neu B I", "中子B進",
    "中子B退", "Neu B O", "中子B退",
    "中子C进", "Neu C I", "中子C進",
    "中子C退", "Neu C O", "中子C退",
    "允许绞牙", "Al thread", "允許絞牙",
    "允许旋转", "Rot", "允許旋轉",
    "允许左移", "L shift", "允許左移",
    "允许右移", "R shift", "允許右移",
    "允许移模", "Mov mol", "允許移模",
    "机手动作", "Mac mov", "機手動作",
};

namespace {
QString NameOf(const char* const* table, int count, int index)
{
    if (index < 0 || index >= count || gLan < 0 || gLan > 2)
        return QString();
    return QString::fromUtf8(table[3 * index + gLan]);
}
}  // namespace

QString InName(int index) { return NameOf(gInName, kInNames, index); }
QString OutName(int index) { return NameOf(gOutName, kOutNames, index); }

const char* const gCustomInputName[8 * 2] = {
    "输入 1", "Input 1", "输入 3", "Input 3", "输入 4", "Input 4", "输入 5", "Input 5",
    "输入 6", "Input 6", "输入 7", "Input 7", "输入 8", "Input 8", "输入 9", "Input 9",
};

const char* const gCustomOutputName[8 * 2] = {
    "输出 1", "Output 1", "输出 2", "Output 2", "输出 4", "Output 4", "输出 5", "Output 5",
    "输出 6", "Output 6", "输出 7", "Output 7", "输出 8", "Output 8", "输出 9", "Output 9",
};

namespace {
QString SlotLabel(const char* const* table, int slot)
{
    if (slot < 0 || slot >= 8)
        return QString();
    return QString::fromUtf8(table[2 * slot + (gLan == LanEnglish ? 1 : 0)]);
}
}  // namespace

QString CustomInputLabel(int slot) { return SlotLabel(gCustomInputName, slot); }
QString CustomOutputLabel(int slot) { return SlotLabel(gCustomOutputName, slot); }
