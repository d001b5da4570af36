#pragma once
// Worksheets a teacher hands out: each sheet a page of its own with a head
// naming what is on it, lines for name, class, date and score, the table a–g
// (drawn from the column rules, from a number range, from rows of the times
// table, or copied from a table file), and task blocks: for each pair of
// columns a column of answer boxes beside the table's lines. Optionally,
// after all sheets, one answer key page per sheet with every box filled in.
// Every page names its stack by a short code and the date; the code and the
// other choices make the very same stack again. The pages go to a printer or
// into one PDF file that appears only when complete. Pages are drawn from the
// sheets' own tables; the shared row table is never touched.

#include "table/ColumnRules.h"
#include "table/RowFile.h"

#include <QDate>
#include <QString>

#include <optional>
#include <vector>

class PrinterService;
class QPrinter;

namespace worksheets {

inline constexpr int kMinPages = 1;
inline constexpr int kMaxPages = 100;
// Task blocks a sheet holds: three unless named otherwise; more do not fit
// beside the table at a size a child can write in.
inline constexpr int kDefaultTasks = 3;
inline constexpr int kMaxTasks = 6;

// One sheet's table: 63 cells column by column (a1..a9, b1..b9, ...), as in a row file.
using Table = std::vector<Cell>;

// A task block is one calculation row: the child does its operation with its
// two columns line by line.

// "a+b", "c-e", "b*f" as the menu writes them (also with "−", "x", "·");
// the columns may come in either order. Nothing when it is no pair.
std::optional<rows::CalcRow> ParseCalcRow(const QString& text);
// Several calculation rows separated by commas, as `--reihen` takes them; nothing
// when any of them is no pair, a pair comes twice, or there are more than kMaxTasks.
std::optional<std::vector<rows::CalcRow>> ParseCalcRows(const QString& text);
// The heading of a task block with the signs a child knows from school: "a+b", "c−e", "b·f".
QString Heading(const rows::CalcRow& row);
// The answer of line 1..9: the sum, the product, or for minus the larger
// number less the smaller. Nothing when a cell of the line is empty: that
// line of the task has no box.
std::optional<long long> Answer(const Table& table, const rows::CalcRow& row, int line);

// The number ranges of plus and minus sheets, besides the program's own columns.
inline constexpr int kRanges[] = {20, 100, 1000};

// A stack's code: four characters of 0-9 and A-Z without I, L, O and U, so
// none can be misread ("K7M2"). Read back without regard to case, with O
// taken as 0 and I or L as 1; nothing when it is no code.
std::optional<QString> ParseStackCode(const QString& text);
// A fresh code, drawn from the system's random source.
QString NewStackCode();
// The rows of the times table `--einmaleins` takes: "3,4,7" or "3, 4 und 7";
// empty text (or "alle") is all ten. Nothing when a row is not 1..10 or comes twice.
std::optional<std::vector<int>> ParseTimesRows(const QString& text);

// What a stack of worksheets is to be: the description the command line and
// the window fill in.
struct Job {
    int pages = 1;
    rows::Operation operation = rows::Operation::Plus; // the operation of drawn tasks
    std::optional<Table> table; // every sheet this table; fresh random tables otherwise
    std::vector<rows::CalcRow> tasks;   // the task blocks of every sheet, each with its own sign; drawn per sheet when empty
    int taskCount = kDefaultTasks; // how many to draw
    int range = 0;             // plus and minus within 20, 100 or 1000; 0: the program's columns
    std::vector<int> timesRows; // times tasks of these rows of the times table (1..10); empty: the program's columns
    bool key = false;          // answer key pages after the sheets
    QString child;             // a name written on every sheet
    QString printer;           // a printer by name; the default printer when empty
    QString output;            // a PDF file instead of a printer
    bool replace = false;      // the PDF may replace an existing file
    QString code = QStringLiteral("0000"); // the stack: the one seed of its random sequence
    QDate date = QDate::currentDate();     // printed beside the code
};

// What keeps the choices from making sheets whose numbers suit every task on
// them, in German; empty when they do. The command line and the window ask
// the same.
QString Conflict(const Job& job);
// Reads a table file for the sheets; a German sentence why not (missing, a
// folder, no table), empty when it is read.
QString LoadTable(const QString& path, Table& table);

// The head of a sheet: what is on it ("Arbeitsblatt Plus und Mal",
// "Arbeitsblatt Minus bis 100", "Arbeitsblatt Mal: Einmaleins mit 3, 4 und 7").
QString SheetTitle(const Job& job, const std::vector<rows::CalcRow>& tasks);

struct Sheet {
    Table table;
    std::vector<rows::CalcRow> tasks;
};

// The sheets of a job. Fresh tables and drawn tasks come from the shared
// random source, seeded once from the job's code, so every sheet differs.
std::vector<Sheet> MakeSheets(const Job& job);
// The number of pages: one per sheet, twice that with the key.
int PageCount(const Job& job);

enum class Outcome {
    Done,
    Illegible,      // the numbers do not fit the page at a size a child can read
    NoPrinter,      // there is no default printer
    UnknownPrinter, // no printer has the name asked for
    FileExists,     // the PDF file is there already and may not be replaced
    CannotWrite,    // the file could not be written: the problem says why
    PrintFailed,    // the printer did not take the job
};

struct Result {
    Outcome outcome = Outcome::Done;
    QString problem; // a German sentence for anything but Done
    QString notice = {}; // Done: why the printer's queue holds the job back, if it does
};

// Why the sheets cannot be printed legibly on A4 or Letter, in German; empty when they can.
QString Illegible(const std::vector<Sheet>& sheets);

// Draws pages `from` to `to` (1-based, of PageCount) of the sheets onto an
// open printer and ends the document; false when a page could not be begun
// or the printer did not take the job.
bool DrawPages(PrinterService& printer, const Job& job, const std::vector<Sheet>& sheets, int from = 1,
               int to = 0);

// Writes the job's pages into its PDF file or hands them to its printer.
Result Run(const Job& job, const std::vector<Sheet>& sheets);
// The same on a printer set up by the print dialog, with the pages it chose.
Result PrintOn(QPrinter& printer, const Job& job, const std::vector<Sheet>& sheets);

// The German sentences for work done: "3 Arbeitsblätter sind in „x.pdf“ gespeichert." and the like.
QString SavedText(const Job& job);
QString PrintedText(const Job& job);

} // namespace worksheets
