#pragma once
// The one page of the table printout: the column heads and the nine lines of
// seven boxed values, each at a fixed place per column whatever the length of
// the value. The same page goes to a printer or into a PDF file.

class PrinterService;

namespace printout {

// Left edge of the head of column k (1 = a ... 7 = g), in twips.
int HeadX(int column);
// Left edge of the values of column k; fixed per column.
int ValueX(int column);
// Top edge of the values and boxes of line i (1 to 9).
int LineY(int line);
inline constexpr int kHeadY = 800;

// Sets the printer up and draws the current row table, without ending the document.
void DrawTablePage(PrinterService& printer);

} // namespace printout
