#include "print/Worksheets.h"

#include "app/Platform.h"
#include "print/PageLayout.h"
#include "print/PrinterService.h"
#include "rows/ColumnRules.h"

#include <QPrinter>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace worksheets {

namespace {

const QString kLetters = QStringLiteral("abcdefg");

// At least 12 mm of white paper around everything, wider than the unprinted
// edge of any common printer.
constexpr int kPaperMargin = 720;
constexpr int kMaxCellWidth = 1000;
constexpr int kMinLineHeight = 600;  // 10.6 mm: room for three digits written by hand
constexpr int kMaxLineHeight = 1100;
constexpr int kTableGap = 400;       // between the table and the first task block
constexpr int kBlockGap = 160;       // between two task blocks
constexpr int kHeadsHeight = 500;    // the line of column heads above the table

// Where everything of one page goes, in twips from the printable area's corner.
struct Layout {
    int left = 0;       // the table's left edge
    int top = 0;        // the top of the column heads
    int cell = 0;       // width of a table column and of an answer box
    int line = 0;       // height of a line
    double points = 20; // the table's font size
    int contentLeft = 0;
    int contentTop = 0;
    int contentRight = 0;
    int contentBottom = 0;

    int ColumnLeft(int k) const { return left + (k - 1) * cell; }
    int BlockLeft(int j) const { return left + 7 * cell + kTableGap + j * (cell + kBlockGap); }
    int LineTop(int i) const { return top + kHeadsHeight + (i - 1) * line; }
};

Layout MakeLayout(const PageArea& area, int blocks)
{
    const QRect content = area.paper.adjusted(kPaperMargin, kPaperMargin, -kPaperMargin, -kPaperMargin)
                              .intersected(area.printable);
    Layout l;
    l.contentLeft = content.left();
    l.contentTop = content.top();
    l.contentRight = content.right();
    l.contentBottom = content.bottom();
    const int spare = content.width() - kTableGap - blocks * kBlockGap;
    l.cell = std::min(kMaxCellWidth, spare / (7 + blocks));
    // The table's 20-point numbers shrink only where a column is narrower than the printout's.
    l.points = 20.0 * std::min(1.0, l.cell / 1000.0);
    const int width = 7 * l.cell + kTableGap + blocks * (l.cell + kBlockGap) - kBlockGap * (blocks > 0 ? 1 : 0);
    l.left = content.left() + (content.width() - width) / 2;
    // Head and name line above, the sheet number below; the lines share what is left.
    const int headBottom = content.top() + 1500;
    const int footTop = content.bottom() - 600;
    l.line = std::clamp((footTop - headBottom - kHeadsHeight - 400) / 9, kMinLineHeight, kMaxLineHeight);
    const int height = kHeadsHeight + 9 * l.line;
    l.top = headBottom + std::max(0, (footTop - headBottom - height) / 3);
    return l;
}

// Text height of a font size in twips, for centring a line of text in a box.
int TextHeight(double points) { return static_cast<int>(points * 20 * 1.16); }

void Text(PrinterService& p, int x, int y, const QString& text)
{
    p.SetCurrentX(x);
    p.SetCurrentY(y);
    p.Print(text);
}

void RightAligned(PrinterService& p, int right, int y, const QString& text)
{
    Text(p, right - p.TextWidth(text), y, text);
}

void Centred(PrinterService& p, int left, int width, int y, const QString& text)
{
    Text(p, left + (width - p.TextWidth(text)) / 2, y, text);
}

void DrawPage(PrinterService& p, const QString& title, const Sheet& sheet, int number, int count, bool key)
{
    const Layout l = MakeLayout(p.Area(), static_cast<int>(sheet.tasks.size()));
    p.SetFontName(QStringLiteral("Verdana"));
    p.SetDrawWidth(3);

    p.SetFontBold(true);
    p.SetFontSize(20);
    Text(p, l.contentLeft, l.contentTop, key ? QStringLiteral("Lösungen zu Blatt %1").arg(number) : title);
    p.SetFontBold(false);
    p.SetFontSize(14);
    if (!key)
        Text(p, l.contentLeft, l.contentTop + 800,
             QStringLiteral("Name: ______________________   Datum: ____________"));

    // The column heads, the task headings and the lines, as the child's screen has them.
    p.SetFontSize(l.points);
    const int textHeight = TextHeight(l.points);
    const int headY = l.top + (kHeadsHeight - textHeight) / 2;
    for (int k = 1; k <= 7; ++k)
        Centred(p, l.ColumnLeft(k), l.cell, headY, kLetters.mid(k - 1, 1));
    for (std::size_t j = 0; j < sheet.tasks.size(); ++j)
        Centred(p, l.BlockLeft(static_cast<int>(j)), l.cell, headY, Heading(sheet.tasks[j]));

    const int pad = l.cell / 10;
    for (int i = 1; i <= 9; ++i) {
        const int y = l.LineTop(i);
        const int textY = y + (l.line - textHeight) / 2;
        for (int k = 1; k <= 7; ++k) {
            const auto cell = printout::CellAt(sheet.table, k, i);
            if (cell)
                RightAligned(p, l.ColumnLeft(k) + l.cell - pad, textY, QString::number(*cell));
            p.Box(l.ColumnLeft(k), y, l.ColumnLeft(k) + l.cell, y + l.line);
        }
        for (std::size_t j = 0; j < sheet.tasks.size(); ++j) {
            const int x = l.BlockLeft(static_cast<int>(j));
            // Each answer box stands apart, a little lower than the line, so boxes never touch.
            p.Box(x, y + 60, x + l.cell, y + l.line - 60);
            if (key) {
                // A four-digit sum gets smaller type rather than leaving its box.
                const QString answer = QString::number(Answer(sheet.table, sheet.tasks[j], i));
                const int room = l.cell - 2 * pad;
                const int width = p.TextWidth(answer);
                const double points = width > room ? l.points * room / width : l.points;
                p.SetFontSize(points);
                RightAligned(p, x + l.cell - pad, y + (l.line - TextHeight(points)) / 2, answer);
                p.SetFontSize(l.points);
            }
        }
    }

    p.SetFontSize(12);
    const int footY = l.contentBottom - TextHeight(12);
    Centred(p, l.contentLeft, l.contentRight - l.contentLeft, footY,
            QStringLiteral("Blatt %1 von %2").arg(number).arg(count));
}

// A random number 0..n-1 from the shared source.
int Draw(int n) { return std::clamp(static_cast<int>(std::floor(n * Platform::Rnd())), 0, n - 1); }

QString OperationName(int operation)
{
    switch (operation) {
    case 2: return QStringLiteral("Minus");
    case 3: return QStringLiteral("Mal");
    default: return QStringLiteral("Plus");
    }
}

} // namespace

std::optional<Task> ParseTask(const QString& text)
{
    static const QRegularExpression pair(QStringLiteral("^\\s*([a-g])\\s*([-+*x·−×])\\s*([a-g])\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto m = pair.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const int p = static_cast<int>(kLetters.indexOf(m.captured(1).toLower())) + 1;
    const int q = static_cast<int>(kLetters.indexOf(m.captured(3).toLower())) + 1;
    if (p == q)
        return std::nullopt;
    const QString sign = m.captured(2);
    const int operation = sign == QStringLiteral("+")                            ? 1
                          : sign == QStringLiteral("-") || sign == QStringLiteral("−") ? 2
                                                                                        : 3;
    return Task{std::min(p, q), std::max(p, q), operation};
}

std::optional<std::vector<Task>> ParseTasks(const QString& text)
{
    std::vector<Task> tasks;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const auto task = ParseTask(part);
        if (!task || std::find(tasks.begin(), tasks.end(), *task) != tasks.end())
            return std::nullopt;
        tasks.push_back(*task);
    }
    if (tasks.empty() || static_cast<int>(tasks.size()) > kMaxTasks)
        return std::nullopt;
    return tasks;
}

QString Heading(const Task& task)
{
    static const QString kSigns = QStringLiteral("+−·");
    return QString(kLetters[task.first - 1]) + kSigns[std::clamp(task.operation, 1, 3) - 1] + kLetters[task.second - 1];
}

long long Answer(const Table& table, const Task& task, int line)
{
    const long long x = printout::CellAt(table, task.first, line).value_or(0);
    const long long y = printout::CellAt(table, task.second, line).value_or(0);
    switch (task.operation) {
    case 2: return std::max(x, y) - std::min(x, y);
    case 3: return x * y;
    default: return x + y;
    }
}

QString SheetTitle(int operation, bool fromTableFile)
{
    if (fromTableFile)
        return QStringLiteral("Arbeitsblatt");
    return QStringLiteral("Arbeitsblatt ") + OperationName(operation);
}

std::vector<Sheet> MakeSheets(const Job& job)
{
    Platform::Randomize(job.seed);
    std::vector<Sheet> sheets(static_cast<std::size_t>(std::max(job.pages, 0)));
    const int count = std::clamp(job.taskCount, 0, kMaxTasks);
    for (Sheet& sheet : sheets) {
        if (job.table) {
            sheet.table = *job.table;
        } else {
            sheet.table.assign(63, std::nullopt);
            for (int k = 1; k <= 7; ++k)
                rows::DrawColumnDigits(&Platform::Rnd, [&](int line, int digit) {
                    sheet.table[static_cast<std::size_t>((k - 1) * 9 + line - 1)] =
                        rows::ColumnValue(k, digit, job.operation);
                });
        }
        sheet.tasks = job.tasks;
        if (sheet.tasks.empty()) {
            // Distinct pairs of the 21, in the order drawn.
            std::vector<int> rowsLeft(21);
            for (int r = 0; r < 21; ++r)
                rowsLeft[static_cast<std::size_t>(r)] = r + 1;
            for (int n = 0; n < count; ++n) {
                const auto at = rowsLeft.begin() + Draw(static_cast<int>(rowsLeft.size()));
                const rows::ColumnPair pair = rows::CalcRowPair(*at);
                sheet.tasks.push_back({pair.first, pair.second, job.operation});
                rowsLeft.erase(at);
            }
        }
    }
    return sheets;
}

int PageCount(const Job& job) { return std::max(job.pages, 0) * (job.key ? 2 : 1); }

bool DrawPages(PrinterService& printer, const Job& job, const std::vector<Sheet>& sheets, int from, int to)
{
    const int count = static_cast<int>(sheets.size());
    const int total = count * (job.key ? 2 : 1);
    from = std::max(from, 1);
    to = to <= 0 ? total : std::min(to, total);
    const QString title = SheetTitle(job.operation, job.table.has_value());
    for (int page = from; page <= to; ++page) {
        if (page > from && !printer.NewPage())
            return false;
        const bool key = page > count;
        const int number = key ? page - count : page;
        DrawPage(printer, title, sheets[static_cast<std::size_t>(number - 1)], number, count, key);
    }
    return printer.EndDoc();
}

Result Run(const Job& job, const std::vector<Sheet>& sheets)
{
    PrinterFactory& printers = Printing::Printers();
    if (!job.output.isEmpty()) {
        auto pdf = printers.PdfFile(job.output, job.replace ? files::Replace::Always : files::Replace::Never,
                                    Printing::DefaultPaper());
        if (DrawPages(*pdf, job, sheets))
            return {};
        if (pdf->FileError() == files::Error::Exists)
            return {Outcome::FileExists, pdf->Problem()};
        QString problem = pdf->Problem();
        if (problem.isEmpty())
            problem = QStringLiteral("Die Datei „%1“ konnte nicht geschrieben werden.").arg(job.output);
        return {Outcome::CannotWrite, problem};
    }
    std::unique_ptr<PrinterService> printer;
    if (!job.printer.isEmpty()) {
        printer = printers.NamedPrinter(job.printer);
        if (!printer)
            return {Outcome::UnknownPrinter, QStringLiteral("Einen Drucker „%1“ gibt es nicht.").arg(job.printer)};
    } else {
        if (!printers.HasDefaultPrinter())
            return {Outcome::NoPrinter, Printing::NoDefaultPrinterText()};
        printer = printers.DefaultPrinter();
    }
    // The queue says why it did not take the job, or why the job waits.
    if (!DrawPages(*printer, job, sheets))
        return {Outcome::PrintFailed,
                printer->Problem().isEmpty() ? QStringLiteral("Der Druck ist fehlgeschlagen.") : printer->Problem()};
    return {Outcome::Done, {}, printer->Problem()};
}

Result PrintOn(QPrinter& printer, const Job& job, const std::vector<Sheet>& sheets)
{
    printer.setDocName(QStringLiteral("Rechenkov"));
    auto service = Printing::OnPrinter(printer);
    // The print dialog's page range, when one was chosen; all pages otherwise.
    const bool range = printer.printRange() == QPrinter::PageRange;
    if (!DrawPages(*service, job, sheets, range ? printer.fromPage() : 1, range ? printer.toPage() : 0))
        return {Outcome::PrintFailed, QStringLiteral("Der Druck ist fehlgeschlagen.")};
    return {};
}

QString SavedText(const Job& job)
{
    const QString sheets = job.pages == 1 ? QStringLiteral("Ein Arbeitsblatt ist")
                                          : QStringLiteral("%1 Arbeitsblätter sind").arg(job.pages);
    const QString key = job.key ? QStringLiteral(" mit Lösungsblättern") : QString();
    return QStringLiteral("%1%2 in „%3“ gespeichert.").arg(sheets, key, job.output);
}

QString PrintedText(const Job& job)
{
    const QString sheets = job.pages == 1 ? QStringLiteral("Ein Arbeitsblatt geht")
                                          : QStringLiteral("%1 Arbeitsblätter gehen").arg(job.pages);
    const QString key = job.key ? QStringLiteral(" mit Lösungsblättern") : QString();
    const QString printer = job.printer.isEmpty() ? QStringLiteral("den Drucker")
                                                  : QStringLiteral("den Drucker „%1“").arg(job.printer);
    return QStringLiteral("%1%2 an %3.").arg(sheets, key, printer);
}

} // namespace worksheets
