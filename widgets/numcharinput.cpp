#include "numcharinput.h"

#include "colorbutton.h"
#include "edit.h"
#include "keypadhost.h"
#include "kitlayout.h"
#include "messages.h"
#include "numberinput.h"

#include <QButtonGroup>

NumCharInput* gpNumCharPad = nullptr;

namespace {
const QString kDigitRow = QStringLiteral("1234567890_");
// Rows 1 to 3 of each page, joined: 10 + 9 + 7 keys.
const QString kUpper = QStringLiteral("QWERTYUIOPASDFGHJKLZXCVBNM");
const QString kLower = QStringLiteral("qwertyuiopasdfghjklzxcvbnm");
const QString kSymbols = QStringLiteral("-=[]\\;',./@#$%^?*()`~!{}:\"");

const int kRowFirst[4] = {0, 11, 21, 30};
const int kRowCount[4] = {11, 10, 9, 7};

enum SymbolLabel { LabelSymbol = 441, LabelCharacter = 442 };
enum CapsLabel { LabelLower = 158, LabelCapital = 159 };
}

NumCharInput::NumCharInput(QWidget* parent)
    : QWidget(parent)
{
    setWindowFlags(Qt::CustomizeWindowHint);
    setFocusPolicy(Qt::NoFocus);
    const bool large = IsLargeLayout();
    const int m = large ? 10 : 6, k = large ? 65 : 37, g = large ? 5 : 3, W = large ? 80 : 50;
    const int p = k + g;
    const int pw = large ? 785 : 450;
    resize(pw, large ? 295 : 165);
    const int rowOffset[4] = {m, m + k / 2, m + 4 * (k / 5), m + 3 * (k / 2)};

    keyGroup = new QButtonGroup(this);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < kRowCount[r]; ++c) {
            const int id = kRowFirst[r] + c;
            auto* key = new ColorButton(QString(), this, ColorButtonSizeNormal);
            key->setFocusPolicy(Qt::NoFocus);
            key->setGeometry(rowOffset[r] + c * p, m + r * p, k, k);
            keyGroup->addButton(key, id);
            charKeys[id] = key;
        }
    }
    for (int id = 0; id < 11; ++id)
        charKeys[id]->setText(kDigitRow.mid(id, 1));

    auto wide = [&](int id, int x, int row) {
        auto* key = new ColorButton(Msg(id), this, ColorButtonSizeNormal);
        key->setFocusPolicy(Qt::NoFocus);
        key->setGeometry(x, m + row * p, W, k);
        return key;
    };
    symbolKey = wide(LabelSymbol, pw - m - W, 2);
    capsKey = wide(LabelLower, m, 3);
    backspaceKey = wide(157, pw - 2 * m - 2 * W, 3);
    confirmKey = wide(121, pw - m - W, 3);

    connect(keyGroup, &QButtonGroup::idClicked, this, &NumCharInput::setContent);
    connect(symbolKey, &QPushButton::clicked, this, &NumCharInput::SlotChgChar_Punc);
    connect(capsKey, &QPushButton::clicked, this, &NumCharInput::SlotCap);
    connect(backspaceKey, &QPushButton::clicked, this, &NumCharInput::eraseContent);
    connect(confirmKey, &QPushButton::clicked, this, &NumCharInput::HideUpdate);
    showPage(PageUpper);
    hide();
}

NumCharInput::~NumCharInput() = default;

void NumCharInput::showPage(Page page)
{
    page_ = page;
    const QString& letters = page == PageUpper ? kUpper : page == PageLower ? kLower : kSymbols;
    for (int i = 0; i < letters.size(); ++i)
        charKeys[11 + i]->setText(letters.mid(i, 1));
    symbolKey->setText(Msg(page == PageSymbols ? LabelCharacter : LabelSymbol));
    capsKey->setText(Msg(page == PageLower ? LabelCapital : LabelLower));
}

void NumCharInput::SlotChgChar_Punc()
{
    showPage(page_ == PageSymbols ? PageUpper : PageSymbols);
}

void NumCharInput::SlotCap()
{
    // Lower case from the upper-case and the symbol page, upper case from lower case.
    showPage(page_ == PageLower ? PageUpper : PageLower);
}

void NumCharInput::setContent(int id)
{
    Edit* target = keypadHost().keypadTarget();
    if (!target || id < 0 || id >= 37)
        return;
    target->setText(target->text() + charKeys[id]->text());
    target->setCursorPosition(target->text().length());
}

void NumCharInput::eraseContent()
{
    Edit* target = keypadHost().keypadTarget();
    if (!target)
        return;
    QString text = target->text();
    text.chop(1);
    target->setText(text);
    target->setCursorPosition(text.isEmpty() ? 0 : text.length() - 1);
}

void NumCharInput::HideUpdate()
{
    if (!isVisible())
        return;
    hide();
    if (QWidget* p = parentWidget())
        p->update();
}

void NumCharInput::mousePressEvent(QMouseEvent*)
{
}

void NumCharInput::mouseReleaseEvent(QMouseEvent*)
{
}

void NumCharInput::paintEvent(QPaintEvent* event)
{
    PaintKeypadBackground(this, event);
}

void NumCharInput::showEvent(QShowEvent* event)
{
    showPage(PageUpper);
    QWidget::showEvent(event);
}
