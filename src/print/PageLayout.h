#pragma once
// The one page of the table printout: the column heads and the nine lines of
// seven boxed values, each at a fixed place per column whatever the length of
// the value. The same page goes to a printer or into a PDF file.

#include "table/Cell.h"

#include <optional>
#include <vector>

class PrinterService;

namespace printout {

// Left edge of the head of column k (1 = a ... 7 = g), in twips.
int HeadX(int column);
// Left edge of the values of column k; fixed per column.
int ValueX(int column);
// Top edge of the values and boxes of line i (1 to 9).
int LineY(int line);
inline constexpr int kHeadY = 800;

// A table as a value: 63 cells column by column (a1..a9, b1..b9, ...), an
// empty cell being one never given a value.
using Cells = std::vector<Cell>;
// The cell of column k (1..7) and line i (1..9); a short table reads as empty cells.
std::optional<long long> CellAt(const Cells& table, int column, int line);
// A copy of the shared row table.
Cells SharedTable();

// Sets the printer up and draws `table` on the printout's page, without ending the document.
void DrawTablePage(PrinterService& printer, const Cells& table);

} // namespace printout
