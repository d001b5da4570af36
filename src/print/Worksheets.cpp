#include "print/Worksheets.h"

#include "platform/Platform.h"
#include "print/PageLayout.h"
#include "print/PrinterService.h"
#include "table/ColumnRules.h"
#include "table/RowFileIO.h"
#include "table/TableFile.h"

#include <QPrinter>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <cmath>

namespace worksheets {

namespace {

const QString kLetters = QStringLiteral("abcdefg");
// Crockford's letters: no I, L, O or U, so a code read off paper is never misread.
const QString kCodeLetters = QStringLiteral("0123456789ABCDEFGHJKMNPQRSTVWXYZ");

// At least 12 mm of white paper around everything, wider than the unprinted
// edge of any common printer.
constexpr int kPaperMargin = 720;
constexpr int kMaxCellWidth = 1000;
constexpr int kMinLineHeight = 600;  // 10.6 mm: room for three digits written by hand
constexpr int kMaxLineHeight = 1100;
constexpr int kTableGap = 400;       // between the table and the first task block
constexpr int kBlockGap = 160;       // between two task blocks
constexpr int kHeadsHeight = 500;    // the line of column heads above the table
constexpr int kHeadHeight = 2000;    // title, name line and the minus rule above the table
// An answer box holds the longest answer written by a child's hand: 3.5 mm a
// digit and room around them, so four digits get the 17 mm of a table column.
constexpr int kHandDigit = 200;
constexpr int kHandRoom = 160;
// The smallest type the table's numbers get; smaller is refused as unreadable.
constexpr double kMinPoints = 10;
// A digit of Verdana (and its substitute) is 0.64 em wide; a little more for safety.
constexpr double kDigitEm = 0.66;

int TypeWidth(int chars, double points) { return static_cast<int>(std::ceil(chars * kDigitEm * points * 20)); }

int Chars(long long value) { return static_cast<int>(QString::number(value).size()); }

// Where everything of one page goes, in twips from the printable area's corner.
struct Layout {
    int left = 0;       // the table's left edge
    int top = 0;        // the top of the column heads
    int cell = 0;       // width of a table column
    int line = 0;       // height of a line
    double points = 20; // the table's font size
    std::vector<int> boxes; // the width of each task block's answer boxes
    int contentLeft = 0;
    int contentTop = 0;
    int contentRight = 0;
    int contentBottom = 0;
    bool legible = true;
    int tableChars = 1;
    int answerChars = 1;

    int ColumnLeft(int k) const { return left + (k - 1) * cell; }
    int BlockLeft(std::size_t j) const
    {
        int x = left + 7 * cell + kTableGap;
        for (std::size_t i = 0; i < j; ++i)
            x += boxes[i] + kBlockGap;
        return x;
    }
    int LineTop(int i) const { return top + kHeadsHeight + (i - 1) * line; }
};

QRect Content(const PageArea& area)
{
    return area.paper.adjusted(kPaperMargin, kPaperMargin, -kPaperMargin, -kPaperMargin).intersected(area.printable);
}

Layout MakeLayout(const QRect& content, const Sheet& sheet)
{
    Layout l;
    l.contentLeft = content.left();
    l.contentTop = content.top();
    l.contentRight = content.right();
    l.contentBottom = content.bottom();
    for (const Cell& c : sheet.table)
        if (c)
            l.tableChars = std::max(l.tableChars, Chars(*c));
    const int blocks = static_cast<int>(sheet.tasks.size());
    // Task blocks as wide as a table column, or wider where their longest answer needs it.
    const int column = std::min(kMaxCellWidth, (content.width() - kTableGap - blocks * kBlockGap) / (7 + blocks));
    int used = kTableGap + std::max(0, blocks - 1) * kBlockGap;
    for (const rows::CalcRow& task : sheet.tasks) {
        int chars = 1;
        for (int i = 1; i <= 9; ++i)
            if (const auto a = Answer(sheet.table, task, i))
                chars = std::max(chars, Chars(*a));
        l.answerChars = std::max(l.answerChars, chars);
        l.boxes.push_back(std::max(column, chars * kHandDigit + kHandRoom));
        used += l.boxes.back();
    }
    // The table's columns take what is left, up to the width their numbers need at 20 points.
    const int wide = TypeWidth(l.tableChars, 20);
    l.cell = std::max(1, std::min((content.width() - used) / 7, std::max(column, wide * 5 / 4)));
    // 20-point numbers shrink where a column is narrower than the printout's or they are wider than it.
    l.points = std::min(20.0 * std::min(1.0, l.cell / 1000.0), 20.0 * l.cell * 0.8 / wide);
    l.legible = l.points >= kMinPoints && 7 * l.cell + used <= content.width();
    const int width = 7 * l.cell + used;
    l.left = content.left() + std::max(0, (content.width() - width) / 2);
    // Head above, the sheet number below; the lines share what is left.
    const int headBottom = content.top() + kHeadHeight;
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

// The size at which `text` fits `room`, at most `points`, as this printer measures it.
double Fitted(PrinterService& p, const QString& text, int room, double points)
{
    p.SetFontSize(points);
    const int width = p.TextWidth(text);
    return width > room ? points * room / width : points;
}

bool HasMinus(const std::vector<rows::CalcRow>& tasks)
{
    return std::any_of(tasks.begin(), tasks.end(), [](const rows::CalcRow& t) { return t.operation == rows::Operation::Minus; });
}

void DrawPage(PrinterService& p, const Job& job, const Sheet& sheet, int number, int count, bool key)
{
    const Layout l = MakeLayout(Content(p.Area()), sheet);
    const int contentWidth = l.contentRight - l.contentLeft;
    p.SetFontName(QStringLiteral("Verdana"));
    p.SetDrawWidth(3);

    int boxCount = 0;
    for (const rows::CalcRow& task : sheet.tasks)
        for (int i = 1; i <= 9; ++i)
            boxCount += Answer(sheet.table, task, i).has_value();
    const QString title = SheetTitle(job, sheet.tasks);

    // The head: what the sheet is, where the teacher writes the score, the name line, the minus rule.
    const QString score = QStringLiteral("____ von %1 richtig").arg(boxCount);
    p.SetFontSize(14);
    const int room = contentWidth - (key ? 0 : p.TextWidth(score) + 400);
    p.SetFontBold(true);
    const QString head = key ? QStringLiteral("Lösungen zu Blatt %1").arg(number) : title;
    // Title and score stand on one base line, however small a long title gets.
    const double size = Fitted(p, head, room, 20);
    p.SetFontSize(size);
    Text(p, l.contentLeft, l.contentTop + static_cast<int>((20 - size) * 19), head);
    p.SetFontBold(false);
    p.SetFontSize(14);
    if (!key)
        RightAligned(p, l.contentRight, l.contentTop + (20 - 14) * 19, score);
    const QString name = job.child.isEmpty() ? QStringLiteral("____________________") : job.child;
    Text(p, l.contentLeft, l.contentTop + 800,
         key ? title : QStringLiteral("Name: %1   Klasse: ______   Datum: ____________").arg(name));
    if (HasMinus(sheet.tasks)) {
        p.SetFontSize(12);
        Text(p, l.contentLeft, l.contentTop + 1350, QStringLiteral("Bei Minus gilt: Große Zahl minus kleine Zahl."));
    }

    // The column heads, the task headings and the lines, as the child's screen has them.
    const int pad = l.cell / 10;
    double points = l.points;
    for (const Cell& c : sheet.table)
        if (c)
            points = std::min(points, Fitted(p, QString::number(*c), l.cell - 2 * pad, l.points));
    p.SetFontSize(points);
    const int textHeight = TextHeight(points);
    const int headY = l.top + (kHeadsHeight - textHeight) / 2;
    for (int k = 1; k <= 7; ++k)
        Centred(p, l.ColumnLeft(k), l.cell, headY, kLetters.mid(k - 1, 1));
    for (std::size_t j = 0; j < sheet.tasks.size(); ++j)
        Centred(p, l.BlockLeft(j), l.boxes[j], headY, Heading(sheet.tasks[j]));

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
            const auto answer = Answer(sheet.table, sheet.tasks[j], i);
            if (!answer)
                continue; // an empty cell is no task: no box beside it
            const int x = l.BlockLeft(j);
            const int w = l.boxes[j];
            // Each answer box stands apart, a little lower than the line, so boxes never touch.
            p.Box(x, y + 60, x + w, y + l.line - 60);
            if (key) {
                const QString text = QString::number(*answer);
                const double size = Fitted(p, text, w - 2 * pad, points);
                RightAligned(p, x + w - pad, y + (l.line - TextHeight(size)) / 2, text);
                p.SetFontSize(points);
            }
        }
    }

    p.SetFontSize(12);
    const int footY = l.contentBottom - TextHeight(12);
    Centred(p, l.contentLeft, contentWidth, footY,
            QStringLiteral("Stapel %1 · %2 · Blatt %3 von %4")
                .arg(job.code, job.date.toString(QStringLiteral("d.M.yyyy")))
                .arg(number)
                .arg(count));
}

// A random number 0..n-1 from the shared source.
int Draw(int n) { return std::clamp(static_cast<int>(std::floor(n * Platform::Rnd())), 0, n - 1); }

// "a", "a und b", "a, b und c".
QString Listed(const QStringList& items)
{
    if (items.size() < 2)
        return items.join(QString());
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" und ") + items.last();
}

std::size_t At(int column, int line) { return static_cast<std::size_t>((column - 1) * 9 + line - 1); }

// The program's own columns; a column a times task uses holds single digits,
// so every operation on the sheet gets numbers it suits.
Table ColumnTable(const std::vector<rows::CalcRow>& tasks, rows::Operation operation)
{
    Table table(63);
    for (int k = 1; k <= 7; ++k) {
        // A column of a times task holds digits; otherwise its own rule.
        std::optional<rows::Operation> rule;
        for (const rows::CalcRow& t : tasks)
            if ((t.first == k || t.second == k) && (!rule || rows::Number(t.operation) > rows::Number(*rule)))
                rule = t.operation;
        rows::DrawColumnDigits(&Platform::Rnd, [&](int line, int digit) {
            table[At(k, line)] = rows::ColumnValue(k, digit, rule.value_or(operation));
        });
    }
    return table;
}

// Plus and minus within `range`: every number 1..range-1, every sum at most
// range, and no minus task with two equal numbers.
Table RangeTable(const std::vector<rows::CalcRow>& tasks, int range)
{
    Table table(63);
    for (int i = 1; i <= 9; ++i) {
        std::array<long long, 8> v{};
        for (int attempt = 0;; ++attempt) {
            // Many sums on one line rarely fit at random; half the range always does.
            const int top = attempt < 2000 ? range - 1 : range / 2;
            for (int k = 1; k <= 7; ++k)
                v[static_cast<std::size_t>(k)] = 1 + Draw(top);
            const bool fits = std::all_of(tasks.begin(), tasks.end(), [&](const rows::CalcRow& t) {
                const long long x = v[static_cast<std::size_t>(t.first)], y = v[static_cast<std::size_t>(t.second)];
                return t.operation == rows::Operation::Minus ? x != y : x + y <= range;
            });
            if (fits || attempt >= 2000)
                break;
        }
        for (int k = 1; k <= 7; ++k)
            table[At(k, i)] = v[static_cast<std::size_t>(k)];
    }
    return table;
}

// Nine values from `values`, each as often as the others give or take one, in random order.
std::vector<int> Dealt(const std::vector<int>& values)
{
    std::vector<int> out, pool;
    while (out.size() < 9) {
        if (pool.empty())
            pool = values;
        const auto at = pool.begin() + Draw(static_cast<int>(pool.size()));
        out.push_back(*at);
        pool.erase(at);
    }
    return out;
}

// Times tasks of the rows asked for: in each pair one column holds those rows
// and the other 1..10, so every product is one of the rows' products.
Table TimesTable(const std::vector<rows::CalcRow>& tasks, const std::vector<int>& timesRows)
{
    std::array<bool, 8> rowColumn{};
    for (const rows::CalcRow& t : tasks) {
        if (rowColumn[static_cast<std::size_t>(t.first)] || rowColumn[static_cast<std::size_t>(t.second)])
            continue;
        // The column of more pairs carries the rows, so fewer columns are bound.
        const auto uses = [&](int k) {
            return std::count_if(tasks.begin(), tasks.end(),
                                 [&](const rows::CalcRow& u) { return u.first == k || u.second == k; });
        };
        rowColumn[static_cast<std::size_t>(uses(t.second) > uses(t.first) ? t.second : t.first)] = true;
    }
    const std::vector<int> all = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    Table table(63);
    for (int k = 1; k <= 7; ++k) {
        const std::vector<int> values = Dealt(rowColumn[static_cast<std::size_t>(k)] ? timesRows : all);
        for (int i = 1; i <= 9; ++i)
            table[At(k, i)] = values[static_cast<std::size_t>(i - 1)];
    }
    return table;
}

double CodeSeed(const QString& code)
{
    int value = 0;
    for (const QChar c : code)
        value = value * 32 + static_cast<int>(std::max<qsizetype>(0, kCodeLetters.indexOf(c)));
    return value;
}

} // namespace

std::optional<rows::CalcRow> ParseCalcRow(const QString& text)
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
    const auto operation = rows::OperationFromSign(m.captured(2));
    if (!operation)
        return std::nullopt;
    return rows::CalcRow{std::min(p, q), std::max(p, q), *operation};
}

std::optional<std::vector<rows::CalcRow>> ParseCalcRows(const QString& text)
{
    std::vector<rows::CalcRow> calcRows;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const auto row = ParseCalcRow(part);
        if (!row || std::find(calcRows.begin(), calcRows.end(), *row) != calcRows.end())
            return std::nullopt;
        calcRows.push_back(*row);
    }
    if (calcRows.empty() || static_cast<int>(calcRows.size()) > kMaxTasks)
        return std::nullopt;
    return calcRows;
}

QString Heading(const rows::CalcRow& row)
{
    return QString(kLetters[row.first - 1]) + rows::SheetSign(row.operation) + kLetters[row.second - 1];
}

std::optional<long long> Answer(const Table& table, const rows::CalcRow& row, int line)
{
    const auto x = printout::CellAt(table, row.first, line);
    const auto y = printout::CellAt(table, row.second, line);
    if (!x || !y)
        return std::nullopt;
    switch (row.operation) {
    case rows::Operation::Minus: return std::max(*x, *y) - std::min(*x, *y);
    case rows::Operation::Times: return *x * *y;
    case rows::Operation::Plus: break;
    }
    return *x + *y;
}

std::optional<QString> ParseStackCode(const QString& text)
{
    QString code = text.trimmed().toUpper();
    code.replace(QLatin1Char('O'), QLatin1Char('0')).replace(QLatin1Char('I'), QLatin1Char('1'));
    code.replace(QLatin1Char('L'), QLatin1Char('1'));
    if (code.size() != 4 || std::any_of(code.begin(), code.end(), [](QChar c) { return !kCodeLetters.contains(c); }))
        return std::nullopt;
    return code;
}

QString NewStackCode()
{
    QString code;
    for (int i = 0; i < 4; ++i)
        code += kCodeLetters[static_cast<qsizetype>(QRandomGenerator::global()->bounded(32))];
    return code;
}

std::optional<std::vector<int>> ParseTimesRows(const QString& text)
{
    const QString t = text.trimmed().toLower();
    if (t.isEmpty() || t == QStringLiteral("alle"))
        return std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    static const QRegularExpression separator(QStringLiteral("\\s*(,|\\bund\\b|\\s)\\s*"));
    std::vector<int> rows;
    for (const QString& part : t.split(separator, Qt::SkipEmptyParts)) {
        bool ok = false;
        const int row = part.toInt(&ok);
        if (!ok || row < 1 || row > 10 || std::find(rows.begin(), rows.end(), row) != rows.end())
            return std::nullopt;
        rows.push_back(row);
    }
    if (rows.empty())
        return std::nullopt;
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString Conflict(const Job& job)
{
    const auto any = [&](auto test) {
        return job.tasks.empty() ? test(job.operation)
                                 : std::any_of(job.tasks.begin(), job.tasks.end(),
                                               [&](const rows::CalcRow& t) { return test(t.operation); });
    };
    const bool times = any([](rows::Operation op) { return op == rows::Operation::Times; });
    const bool plusMinus = any([](rows::Operation op) { return op != rows::Operation::Times; });
    if (job.range != 0) {
        if (std::find(std::begin(kRanges), std::end(kRanges), job.range) == std::end(kRanges))
            return QStringLiteral("Einen Zahlenraum bis %1 gibt es nicht: erlaubt sind 20, 100 und 1000.")
                .arg(job.range);
        if (job.table)
            return QStringLiteral("Die Tabelle bringt ihre Zahlen mit: ein Zahlenraum passt nicht dazu.");
        if (!job.timesRows.empty())
            return QStringLiteral("Zahlenraum und Einmaleins schließen sich aus.");
        if (times)
            return QStringLiteral("Der Zahlenraum gilt für Plus und Minus; für Mal-Aufgaben gibt es das Einmaleins.");
    }
    if (!job.timesRows.empty()) {
        if (job.table)
            return QStringLiteral("Die Tabelle bringt ihre Zahlen mit: das Einmaleins passt nicht dazu.");
        if (plusMinus)
            return QStringLiteral("Das Einmaleins gilt nur für Mal-Aufgaben, nicht für Plus und Minus.");
    }
    return QString();
}

QString LoadTable(const QString& path, Table& table)
{
    if (QString problem = rows::TableProblem(path); !problem.isEmpty())
        return problem;
    const rows::ReadResult read = rows::LoadRowFile(path);
    if (!read.ok)
        return QStringLiteral("Die Tabelle „%1“ konnte nicht gelesen werden: sie ist keine vollständige "
                              "Rechenkov-Tabelle.")
            .arg(path);
    table = read.cells;
    return QString();
}

QString SheetTitle(const Job& job, const std::vector<rows::CalcRow>& tasks)
{
    if (!job.timesRows.empty() && !job.table) {
        if (job.timesRows.size() == 10)
            return QStringLiteral("Arbeitsblatt Einmaleins");
        QStringList rows;
        for (int r : job.timesRows)
            rows << QStringLiteral("%1er").arg(r);
        for (int i = 0; i + 1 < rows.size(); ++i)
            rows[i] += QLatin1Char('-');
        return QStringLiteral("Arbeitsblatt Einmaleins: %1-Reihe").arg(Listed(rows));
    }
    QStringList names;
    for (const rows::Operation op : rows::kOperations)
        if (std::any_of(tasks.begin(), tasks.end(), [&](const rows::CalcRow& t) { return t.operation == op; }))
            names << rows::Name(op);
    if (names.isEmpty())
        names << rows::Name(job.operation);
    QString title = QStringLiteral("Arbeitsblatt ") + Listed(names);
    if (job.range != 0 && !job.table)
        title += QStringLiteral(" bis %1").arg(job.range);
    return title;
}

std::vector<Sheet> MakeSheets(const Job& job)
{
    Platform::Randomize(CodeSeed(job.code));
    std::vector<Sheet> sheets(static_cast<std::size_t>(std::max(job.pages, 0)));
    const int count = std::clamp(job.taskCount, 0, kMaxTasks);
    for (Sheet& sheet : sheets) {
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
        if (job.table)
            sheet.table = *job.table;
        else if (job.range != 0)
            sheet.table = RangeTable(sheet.tasks, job.range);
        else if (!job.timesRows.empty())
            sheet.table = TimesTable(sheet.tasks, job.timesRows);
        else
            sheet.table = ColumnTable(sheet.tasks, job.operation);
    }
    return sheets;
}

QString Illegible(const std::vector<Sheet>& sheets)
{
    // A4 is the narrower of the two papers.
    const QRect a4 = QRect(0, 0, 11906, 16838).adjusted(kPaperMargin, kPaperMargin, -kPaperMargin, -kPaperMargin);
    for (std::size_t n = 0; n < sheets.size(); ++n) {
        const Layout l = MakeLayout(a4, sheets[n]);
        if (!l.legible)
            return QStringLiteral("Blatt %1 lässt sich nicht lesbar drucken: die längste Zahl der Tabelle hat %2 "
                                  "Stellen, das längste Ergebnis %3, und mit %4 Reihen wird die Schrift zu klein. "
                                  "Weniger Reihen oder kürzere Zahlen helfen.")
                .arg(n + 1)
                .arg(l.tableChars)
                .arg(l.answerChars)
                .arg(sheets[n].tasks.size());
    }
    return QString();
}

int PageCount(const Job& job) { return std::max(job.pages, 0) * (job.key ? 2 : 1); }

bool DrawPages(PrinterService& printer, const Job& job, const std::vector<Sheet>& sheets, int from, int to)
{
    const int count = static_cast<int>(sheets.size());
    const int total = count * (job.key ? 2 : 1);
    from = std::max(from, 1);
    to = to <= 0 ? total : std::min(to, total);
    for (int page = from; page <= to; ++page) {
        if (page > from && !printer.NewPage())
            return false;
        const bool key = page > count;
        const int number = key ? page - count : page;
        DrawPage(printer, job, sheets[static_cast<std::size_t>(number - 1)], number, count, key);
    }
    return printer.EndDoc();
}

Result Run(const Job& job, const std::vector<Sheet>& sheets)
{
    if (QString problem = Illegible(sheets); !problem.isEmpty())
        return {Outcome::Illegible, problem};
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
    if (QString problem = Illegible(sheets); !problem.isEmpty())
        return {Outcome::Illegible, problem};
    printer.setDocName(QStringLiteral("Rechenkov"));
    auto service = Printing::OnPrinter(printer);
    // The print dialog's page range, when one was chosen; all pages otherwise.
    const bool range = printer.printRange() == QPrinter::PageRange;
    if (!DrawPages(*service, job, sheets, range ? printer.fromPage() : 1, range ? printer.toPage() : 0))
        return {Outcome::PrintFailed,
                service->Problem().isEmpty() ? QStringLiteral("Der Druck ist fehlgeschlagen.") : service->Problem()};
    return {};
}

QString SavedText(const Job& job)
{
    const QString sheets = job.pages == 1 ? QStringLiteral("Ein Arbeitsblatt (Stapel %1) ist").arg(job.code)
                                          : QStringLiteral("%1 Arbeitsblätter (Stapel %2) sind").arg(job.pages).arg(job.code);
    const QString key = job.key ? QStringLiteral(" mit Lösungsblättern") : QString();
    return QStringLiteral("%1%2 in „%3“ gespeichert.").arg(sheets, key, job.output);
}

QString PrintedText(const Job& job)
{
    const QString sheets = job.pages == 1 ? QStringLiteral("Ein Arbeitsblatt (Stapel %1) geht").arg(job.code)
                                          : QStringLiteral("%1 Arbeitsblätter (Stapel %2) gehen").arg(job.pages).arg(job.code);
    const QString key = job.key ? QStringLiteral(" mit Lösungsblättern") : QString();
    const QString printer = job.printer.isEmpty() ? QStringLiteral("den Drucker")
                                                  : QStringLiteral("den Drucker „%1“").arg(job.printer);
    return QStringLiteral("%1%2 an %3.").arg(sheets, key, printer);
}

} // namespace worksheets
