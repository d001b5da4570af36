#pragma once
// Worksheets: a stack of table pages for a class, each page the printout's
// page. The tables are either fresh random ones of one operation, drawn with
// the column rules from one random sequence seeded once for the whole stack
// (so no two pages come out alike), or copies of one table. They go to the
// default printer or into one PDF file that appears only when complete and
// never takes the place of an existing file unless asked to.

#include "rows/RowFile.h"

#include <QString>

#include <functional>
#include <vector>

namespace worksheets {

inline constexpr int kMinPages = 1;
inline constexpr int kMaxPages = 100;

// One page's table: 63 cells column by column (a1..a9, b1..b9, ...), as in a row file.
using Table = std::vector<rows::Cell>;

// `pages` fresh tables of operation 1 (plus), 2 (minus) or 3 (times), drawn
// from the shared random source after seeding it once with `seed`.
std::vector<Table> RandomTables(int pages, int operation, double seed);
// `pages` copies of one table.
std::vector<Table> Copies(int pages, const Table& table);

enum class Outcome {
    Done,
    NoPrinter,   // there is no default printer
    FileExists,  // the PDF file is there already and may not be replaced
    CannotWrite, // the folder cannot take the file, or writing it failed
    PrintFailed, // the printer refused the job
    Cancelled,   // `progress` asked to stop; nothing was written or printed
};

// Told after each page with the number of pages done; returns false to stop.
using Progress = std::function<bool(int pagesDone)>;

// Writes one page per table into the PDF file `path`. The shared row table
// is left as it was.
Outcome WritePdf(const std::vector<Table>& tables, const QString& path, bool replace,
                 const Progress& progress = {});
// The same pages on the default printer, without a dialog.
Outcome Print(const std::vector<Table>& tables, const Progress& progress = {});

// A German sentence for an outcome other than Done, naming `path` where it matters.
QString Describe(Outcome outcome, const QString& path = QString());
// The German sentences for work done: "3 Arbeitsblätter sind in „x.pdf“ gespeichert." and the like.
QString SavedText(int pages, const QString& path);
QString PrintedText(int pages);

} // namespace worksheets
