#include "editip.h"

#include "edit.h"
#include "kitlayout.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>

EditIP::EditIP(const QString& caption, QWidget* parent)
    : QWidget(parent)
{
    const bool large = IsLargeLayout();
    const int octetW = large ? 100 : 50, octetH = large ? 50 : 30;
    setFixedHeight(large ? 80 : 50);
    const QFont font = WenQuanYi(large ? 30 : 17);
    setFont(font);

    captionLabel = new QLabel(caption, this);
    captionLabel->setFont(font);
    SetTextColor(captionLabel, Qt::yellow);
    captionLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    captionLabel->setFixedWidth(2 * octetW);

    for (int i = 0; i < 3; ++i) {
        dotLabels[i] = new QLabel(QStringLiteral("."), this);
        dotLabels[i]->setFont(font);
        SetTextColor(dotLabels[i], Qt::yellow);
        dotLabels[i]->setAlignment(Qt::AlignBottom | Qt::AlignHCenter);
    }
    for (int i = 0; i < 4; ++i) {
        octetEdits[i] = new Edit(9, this, 1);
        octetEdits[i]->setFont(font);
        octetEdits[i]->setFixedSize(octetW, octetH);
        octetEdits[i]->setValidator(new QIntValidator(0, 255, octetEdits[i]));
    }
    connect(octetEdits[0], &QLineEdit::textChanged, this, &EditIP::SlotTextChg_0);
    connect(octetEdits[1], &QLineEdit::textChanged, this, &EditIP::SlotTextChg_1);
    connect(octetEdits[2], &QLineEdit::textChanged, this, &EditIP::SlotTextChg_2);
    connect(octetEdits[3], &QLineEdit::textChanged, this, &EditIP::SlotTextChg_3);
    connect(octetEdits[0], &Edit::sig_Dot, this, &EditIP::SlotPressDot_0);
    connect(octetEdits[1], &Edit::sig_Dot, this, &EditIP::SlotPressDot_1);
    connect(octetEdits[2], &Edit::sig_Dot, this, &EditIP::SlotPressDot_2);

    rowLayout = new QHBoxLayout(this);
    rowLayout->addWidget(captionLabel, 10);
    for (int i = 0; i < 4; ++i) {
        rowLayout->addWidget(octetEdits[i], 0);
        if (i < 3)
            rowLayout->addWidget(dotLabels[i], 0);
    }
}

EditIP::~EditIP() = default;

QString EditIP::getTextIP()
{
    QStringList parts;
    for (Edit* e : octetEdits)
        parts << QString::number(e->text().toInt());
    address = parts.join(QLatin1Char('.'));
    return address;
}

void EditIP::octetChanged(int i, const QString& text)
{
    // Anything that is not a number reads as 0; the keypad may type past 255.
    const int v = qBound(0, text.toInt(), 255);
    octetEdits[i]->setText(QString::number(v));
    emit textchange(getTextIP());
}

void EditIP::SlotTextChg_0(const QString& text) { octetChanged(0, text); }
void EditIP::SlotTextChg_1(const QString& text) { octetChanged(1, text); }
void EditIP::SlotTextChg_2(const QString& text) { octetChanged(2, text); }
void EditIP::SlotTextChg_3(const QString& text) { octetChanged(3, text); }

void EditIP::pressDot(int i)
{
    octetEdits[i + 1]->setText(QStringLiteral("0"));
    octetEdits[i + 1]->setFocus();
}

void EditIP::SlotPressDot_0() { pressDot(0); }
void EditIP::SlotPressDot_1() { pressDot(1); }
void EditIP::SlotPressDot_2() { pressDot(2); }

void EditIP::setTextIP(const QString& text)
{
    QString acc;
    int octet = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('.')) {
            acc.clear();
            if (octet < 3)
                ++octet;
            continue;
        }
        acc += c;
        octetEdits[octet]->setText(acc);
    }
}

void EditIP::setGeometry(int x, int y, int w, int h)
{
    rowLayout->setGeometry(QRect(x, y, w, h));
    QWidget::setGeometry(x, y, w, h);
}
