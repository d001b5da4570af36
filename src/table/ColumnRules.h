#pragma once
// Where the table's numbers come from: each column holds the digits 1 to 9
// once each, in random order, turned into the column's value by a fixed
// rule (hundreds in a, tens in d, single digits in g, ...). In the times
// operation every column holds the plain digits. Also the 21 calculation
// rows (pairs of columns) of the operation menu.

#include "table/Operation.h"

#include <QString>

#include <functional>

namespace rows {

// The value stored in column 1..7 for digit 1..9 under the operation.
long long ColumnValue(int column, int digit, Operation op);

// The two columns (1..7, first before second) of calculation row 1..21.
struct ColumnPair {
    int first;
    int second;
};
ColumnPair CalcRowPair(int calcRow);

// A calculation row: two columns (1..7, first < second) and the operation
// the child does with them line by line, as the menu writes "c-e".
struct CalcRow {
    int first = 1;
    int second = 2;
    Operation operation = Operation::Plus;
    bool operator==(const CalcRow&) const = default;
};

// The menu text of calculation row 1..21, such as "a+b", "c-e" or "b*f".
QString CalcRowText(int calcRow, Operation op);

// Nine distinct digits 1..9 drawn by rejection: `random` gives uniform
// values in [0, 1); a digit already used is drawn again. `use` receives each
// line's digit in order, so a caller can store and draw it at once.
void DrawColumnDigits(const std::function<double()>& random, const std::function<void(int line, int digit)>& use);

} // namespace rows
