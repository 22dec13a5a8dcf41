#include "exportdialog.h"

#include "colorbutton.h"
#include "editdatetime.h"
#include "globals.h"
#include "kitfonts.h"
#include "modalhook.h"
#include "pixmaps.h"

#include <QPainter>
#include <QSaveFile>
#include <glog/logging.h>

const char* const ExportDialog::kSqlFile = "sql.txt";

namespace {
QString instant(const QDateTime& t)
{
    return t.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}

QString sqlLine(const QDateTime& first, const QDateTime& last)
{
    return QStringLiteral("SELECT roundstart,roundtime FROM detect_cycle WHERE roundstart BETWEEN datetime(\"%1\") AND datetime(\"%2\")")
        .arg(instant(first), instant(last));
}
}  // namespace

QStringList buildSqlLines(QDateTime start, QDateTime end)
{
    if (end < start)
        std::swap(start, end);
    QStringList lines;
    while (start.date() != end.date()) {
        lines << sqlLine(start, QDateTime(start.date(), QTime(23, 59, 59, 999)));
        start = QDateTime(start.date().addDays(1), QTime(0, 0));
    }
    lines << sqlLine(start, end);
    return lines;
}

ExportDialog::ExportDialog(QWidget* parent)
    : QDialog(parent), fit_(PageFit::forScreen(gShowW, gShowH, 1000, 500))
{
    // A window of its own (placed on the screen), not a child clipped to
    // the page it opens over.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint);
    setGeometry(fit_.centred(1000, 500, gShowW, gShowH));
    setFixedSize(size());
    // The captions keep the editors' look, not the list labels' of the page
    // the dialog opens over (whose style sheet a child would inherit).
    setStyleSheet(QStringLiteral("QLabel{background-color: transparent; border: none;}"));

    startEdit = new EditDateTime(QStringLiteral("开始日期"), this);
    endEdit = new EditDateTime(QStringLiteral("结束日期"), this);
    for (EditDateTime* e : {startEdit, endEdit}) {
        e->ShowDateTime();
        e->adjustSize();
    }
    // Placed here rather than while painting: moving children from
    // paintEvent would schedule another paint.
    startEdit->move(std::max(0, (width() - startEdit->width()) / 2 - fit_.px(50)), fit_.px(150));
    endEdit->move(std::max(0, (width() - endEdit->width()) / 2 - fit_.px(50)), fit_.px(250));

    okButton = new ColorButton(QStringLiteral("确定"), this, ColorButtonSizeNormal);
    cancelButton = new ColorButton(QStringLiteral("取消"), this, ColorButtonSizeNormal);
    const QSize buttonSize = fit_.size(150, 60);
    okButton->setGeometry(QRect(QPoint(width() / 2 - fit_.px(180), fit_.px(420)), buttonSize));
    cancelButton->setGeometry(QRect(QPoint(width() / 2 + fit_.px(30), fit_.px(420)), buttonSize));
    connect(okButton, &QPushButton::clicked, this, &ExportDialog::acceptedDialog);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

int ExportDialog::exec()
{
    if (modal::hooked()) {
        const int answer = modal::answer({QStringLiteral("ExportDialog"), -1, QStringLiteral("导出选项")});
        if (answer == QDialog::Accepted)
            acceptedDialog();
        else
            reject();
        return result();
    }
    return QDialog::exec();
}

void ExportDialog::acceptedDialog()
{
    lines = buildSqlLines(startEdit->m_getDateTime(), endEdit->m_getDateTime());
    QSaveFile file(QString::fromLatin1(kSqlFile));
    written = false;
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        for (const QString& line : lines)
            file.write(line.toUtf8() + '\n');
        written = file.commit();
    }
    if (!written)
        LOG(ERROR) << "sql.txt could not be written: " << file.errorString().toStdString();
    accept();
}

void ExportDialog::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int title = fit_.px(60);
    DrawPixmap(p, QRect(0, title, width(), height() - title), gpPixmapBG);
    DrawPixmap(p, QRect(0, 0, width(), title), gpPixmapTitle);
    p.setPen(QColor(0, 255, 255));
    QFont font(QString::fromLatin1(kMicroHeiFamily));
    font.setPixelSize(fit_.fontPx(32));
    p.setFont(font);
    p.drawText(QRect(0, 0, width(), title), Qt::AlignCenter, QStringLiteral("导出选项"));
}
