#pragma once
// Worksheets a teacher hands out: each sheet a page of its own with a head
// naming the operation, a line for name and date, the table a–g drawn from
// the column rules (or copied from a table file), and task blocks: for each
// pair of columns a column of nine empty answer boxes beside the table's
// lines. Optionally, after all sheets, one answer key page per sheet with
// every box filled in. The pages go to a printer or into one PDF file that
// appears only when complete. Pages are drawn from the sheets' own tables;
// the shared row table is never touched.

#include "rows/RowFile.h"

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
using Table = std::vector<rows::Cell>;

// A task block: two columns (1..7, first < second) and the operation (1 plus,
// 2 minus, 3 times) the child does with them line by line.
struct Task {
    int first = 1;
    int second = 2;
    int operation = 1;
    bool operator==(const Task&) const = default;
};

// "a+b", "c-e", "b*f" as the menu writes them (also with "−", "x", "·");
// the columns may come in either order. Nothing when it is no pair.
std::optional<Task> ParseTask(const QString& text);
// Several tasks separated by commas, as `--reihen` takes them; nothing when
// any of them is no pair, a pair comes twice, or there are more than kMaxTasks.
std::optional<std::vector<Task>> ParseTasks(const QString& text);
// The heading of a task block with the signs a child knows from school: "a+b", "c−e", "b·f".
QString Heading(const Task& task);
// The answer of line 1..9: the sum, the product, or for minus the larger
// number less the smaller. An empty cell counts as 0.
long long Answer(const Table& table, const Task& task, int line);

// The head of a sheet: "Arbeitsblatt Plus" and so on, or "Arbeitsblatt" for a table file.
QString SheetTitle(int operation, bool fromTableFile);

// What a stack of worksheets is to be: the description the command line and
// the window fill in.
struct Job {
    int pages = 1;
    int operation = 1;         // the operation of fresh tables and of drawn tasks
    std::optional<Table> table; // every sheet this table; fresh random tables otherwise
    std::vector<Task> tasks;   // the task blocks of every sheet; drawn per sheet when empty
    int taskCount = kDefaultTasks; // how many to draw
    bool key = false;          // answer key pages after the sheets
    QString printer;           // a printer by name; the default printer when empty
    QString output;            // a PDF file instead of a printer
    bool replace = false;      // the PDF may replace an existing file
    double seed = 0;           // the one seed of the stack's random sequence
};

struct Sheet {
    Table table;
    std::vector<Task> tasks;
};

// The sheets of a job. Fresh tables and drawn tasks come from the shared
// random source, seeded once with the job's seed, so every sheet differs.
std::vector<Sheet> MakeSheets(const Job& job);
// The number of pages: one per sheet, twice that with the key.
int PageCount(const Job& job);

enum class Outcome {
    Done,
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
