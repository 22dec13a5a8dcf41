// xls: the cycle-time export program (started by the monitor as "./cnt_net/xls").
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const char kUsage[] =
    "usage: cnt_net/xls   (no arguments; run from the monitor's program directory)\n"
    "Exports the cycle-time log to an Excel workbook.\n"
    "  Reads sql.txt: one line per day, each exactly\n"
    "    SELECT roundstart,roundtime FROM detect_cycle WHERE roundstart BETWEEN\n"
    "    datetime(\"yyyy-MM-dd hh:mm:ss.zzz\") AND datetime(\"yyyy-MM-dd hh:mm:ss.zzz\")\n"
    "  (on one line); any other line is refused.  Only the two instants are\n"
    "  taken from a line; the records with first <= roundstart <= last\n"
    "  (compared as text, which the fixed format sorts, milliseconds included)\n"
    "  are read, read-only, from that day's files: DetectCycle/<date>.db, any\n"
    "  DetectCycle/<date>_N.db beside it, and DetectCycle.db when\n"
    "  DetectCycle/time.txt names that date.  A day without a file is skipped.\n"
    "  Writes one sheet, header \"检测时间\" and \"周期(s)\", one row per record\n"
    "  (time as text, length as a number), to\n"
    "  DetectCycle_<yyyy-MM-dd_hh.mm.ss>.xlsx in the program directory (\"_2\",\n"
    "  \"_3\" ... before the extension when that name exists).\n"
    "Output: \"progress <k> <n>\" after each of the n lines, then\n"
    "  \"<file> export finished\" (the file's name relative to the program\n"
    "  directory, without blanks) and exit code 0; on failure\n"
    "  \"export failed: <reason>\" and exit code 1 (no file is left behind).\n";

const QRegularExpression kLine(QStringLiteral(
    "^SELECT roundstart,roundtime FROM detect_cycle WHERE roundstart BETWEEN "
    "datetime\\(\"(\\d{4}-\\d{2}-\\d{2}) (\\d{2}:\\d{2}:\\d{2}\\.\\d{3})\"\\) AND "
    "datetime\\(\"(\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3})\"\\)$"));

struct Range {
    QString date;    // yyyy-MM-dd of the first instant: the day's files
    QString first, last;
};

struct Record {
    QString start;
    QString length;
};

QString gPartial;   // the workbook being written, removed on failure

[[noreturn]] void fail(const QString& reason)
{
    if (!gPartial.isEmpty())
        QFile::remove(gPartial);
    std::printf("export failed: %s\n", qPrintable(reason));
    std::fflush(stdout);
    std::exit(1);
}

std::vector<Range> readRanges()
{
    QFile f(QStringLiteral("sql.txt"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        fail(QStringLiteral("sql.txt: %1").arg(f.errorString()));
    std::vector<Range> ranges;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        if (line.isEmpty())
            continue;
        const QRegularExpressionMatch m = kLine.match(line);
        if (!m.hasMatch())
            fail(QStringLiteral("sql.txt line %1 is not a query of the export's form").arg(i + 1));
        if (!QDate::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd")).isValid())
            fail(QStringLiteral("sql.txt line %1 names no valid date").arg(i + 1));
        ranges.push_back({m.captured(1), m.captured(1) + QLatin1Char(' ') + m.captured(2), m.captured(3)});
    }
    return ranges;
}

QString currentLogDate()
{
    QFile f(QStringLiteral("DetectCycle/time.txt"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).trimmed().section(QLatin1Char(' '), 0, 0);
}

QStringList filesOfDay(const QString& date, const QString& logDate)
{
    QStringList files;
    const QString main = QStringLiteral("DetectCycle/%1.db").arg(date);
    if (QFileInfo(main).isFile())
        files << main;
    const QRegularExpression clash(QStringLiteral("^%1_\\d+\\.db$").arg(QRegularExpression::escape(date)));
    const QStringList others = QDir(QStringLiteral("DetectCycle")).entryList({date + QStringLiteral("_*.db")}, QDir::Files, QDir::Name);
    for (const QString& name : others)
        if (clash.match(name).hasMatch())
            files << QStringLiteral("DetectCycle/") + name;
    if (date == logDate && QFileInfo(QStringLiteral("DetectCycle.db")).isFile())
        files << QStringLiteral("DetectCycle.db");
    return files;
}

void readFile(const QString& file, const Range& r, std::vector<Record>* out)
{
    const QString name = QStringLiteral("xls_read");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open())
            fail(QStringLiteral("%1: %2").arg(file, db.lastError().text()));
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT roundstart, roundtime FROM detect_cycle "
                                 "WHERE roundstart >= ? AND roundstart <= ? ORDER BY roundstart"));
        q.addBindValue(r.first);
        q.addBindValue(r.last);
        if (!q.exec())
            fail(QStringLiteral("%1: %2").arg(file, q.lastError().text()));
        while (q.next())
            out->push_back({q.value(0).toString(), q.value(1).toString()});
    }
    QSqlDatabase::removeDatabase(name);
}

QString freeName()
{
    const QString stem = QStringLiteral("DetectCycle_") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh.mm.ss"));
    QString name = stem + QStringLiteral(".xlsx");
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = stem + QStringLiteral("_%1.xlsx").arg(n);
    return name;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1) {
        const bool help = argc == 2 && (QByteArray(argv[1]) == "--help" || QByteArray(argv[1]) == "-h");
        std::fputs(kUsage, help ? stdout : stderr);
        return help ? 0 : 2;
    }

    const std::vector<Range> ranges = readRanges();
    const QString logDate = currentLogDate();
    const QString name = freeName();
    const QByteArray nameBytes = QFile::encodeName(name);

    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;   // rows go out in order; a month fits in little memory
    QByteArray tmp = QFile::encodeName(QDir::currentPath());
    options.tmpdir = tmp.data();          // the panel's /tmp may be small
    lxw_workbook* book = workbook_new_opt(nameBytes.constData(), &options);
    if (!book)
        fail(QStringLiteral("cannot create %1").arg(name));
    gPartial = name;
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    worksheet_write_string(sheet, 0, 0, "检测时间", nullptr);
    worksheet_write_string(sheet, 0, 1, "周期(s)", nullptr);
    worksheet_set_column(sheet, 0, 0, 26, nullptr);

    lxw_row_t row = 1;
    for (size_t k = 0; k < ranges.size(); ++k) {
        std::vector<Record> records;
        for (const QString& file : filesOfDay(ranges[k].date, logDate))
            readFile(file, ranges[k], &records);
        std::stable_sort(records.begin(), records.end(),
                         [](const Record& a, const Record& b) { return a.start < b.start; });
        for (const Record& r : records) {
            if (row >= LXW_ROW_MAX)
                fail(QStringLiteral("more records than one sheet holds"));
            const QByteArray start = r.start.toUtf8();
            worksheet_write_string(sheet, row, 0, start.constData(), nullptr);
            bool ok = false;
            const double length = r.length.toDouble(&ok);
            if (ok)
                worksheet_write_number(sheet, row, 1, length, nullptr);
            else
                worksheet_write_string(sheet, row, 1, r.length.toUtf8().constData(), nullptr);
            ++row;
        }
        std::printf("progress %zu %zu\n", k + 1, ranges.size());
        std::fflush(stdout);
    }

    const lxw_error error = workbook_close(book);
    if (error != LXW_NO_ERROR)
        fail(QStringLiteral("writing %1: %2").arg(name, QString::fromUtf8(lxw_strerror(error))));
    gPartial.clear();
    std::printf("%s export finished\n", nameBytes.constData());
    std::fflush(stdout);
    return 0;
}
