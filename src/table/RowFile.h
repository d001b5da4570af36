// Reading and writing the bytes of a row file: the 63 cells of the row table
// (seven columns a..g of nine lines), stored column by column, one item text
// per line. Standard library only, so that the fuzz target builds without Qt;
// the Qt file wrappers live in RowFileIO.h.
//
// Reading is strict, streaming and bounded. Fields are taken one after another
// from the start of the data and the reader stops as soon as the 63rd field is
// complete: it never asks for a byte after the one that ends that field, so
// trailing bytes, whatever they are, cost nothing and are never examined. No
// field is buffered; only the value being built and a byte count are kept.
//
// Accepted text, field by field:
//  - separators: a comma, or a line end (CR LF, a lone LF, a lone CR);
//  - blanks (space, tab) around a field are ignored;
//  - a field is empty (an empty cell), or a whole number: an optional + or -
//    directly followed by decimal digits, at most 9 of them significant
//    (leading zeros are not counted, "007" reads as 7, "-0" as 0);
//  - either form may be wrapped in double quotes, with blanks allowed inside
//    the quotes around it: "  -12 " and "" (an empty cell) are both fine.
// Everything else stops reading with ok == false and the cells completed
// before the faulty field: letters, a decimal point, a sign without digits,
// more than 9 significant digits, a blank inside a number, any control byte
// other than tab and the line ends, any byte >= 0x80, a field of more than 256 bytes (counted from the byte after the
// previous separator up to its own separator, blanks and quotes included), a
// quote not closed before the next comma, line end or end of the data, text
// other than blanks after a closing quote, and running out of data before 63
// fields.
//
// Corner cases:
//  - a comma always starts another field: "3,\r\n" is the field 3 followed by
//    an empty field, and "3," at the very end of the data is the same;
//  - the end of the data right after a line end (or at the very start) adds
//    no field; any other end of the data closes the field being read, so a
//    last line without a line end still counts, even one of blanks only;
//  - an empty line is one empty field; "\r\n" is one line end, "\n\r" two;
//  - when the 63rd field ends with a CR the reader stops there and never looks
//    at a possible LF after it;
//  - an empty file gives ok == false and no cells;
//  - a UTF-8 byte order mark (EF BB BF) at the very start of the data is
//    skipped; anywhere else, or cut short, its bytes are errors as above.
#pragma once

#include "table/Cell.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rows {

inline constexpr int kFieldCount = 63;
inline constexpr int kMaxFieldBytes = 256;
inline constexpr int kMaxSignificantDigits = 9;

struct ReadResult {
    std::vector<Cell> cells; // in file order; all 63 when ok, otherwise the cells read before the error
    bool ok = false;
};

// Reads from any byte source: `next` returns the next byte (0..255) or -1 at
// the end. Any negative value counts as the end, after which `next` is not
// called again; a value above 255 is rejected like any other non-ASCII byte.
ReadResult ReadRowFields(const std::function<int()>& next);
ReadResult ReadRowFields(std::string_view bytes);

// Text form of a cell as a list item / file line: plain decimal ("-5" for
// negatives), empty for an empty cell.
std::string CellText(const Cell& c);

// The exact bytes of a row file from 63 item texts in file order (column by
// column): each text unchanged, each followed by CR LF, the last one too.
// Returns an empty string when there are not exactly 63 texts or a text holds
// a CR or LF, since either would break the one-item-per-line layout; a real
// row file is never empty, so callers can tell.
std::string FormatRowFile(const std::vector<std::string>& items63);

} // namespace rows
