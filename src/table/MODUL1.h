#pragma once
// The variables every window shares: the row table of seven columns a..g and
// the practice, row-file and catch-game variables. There is no other channel
// between the windows, so they all live here, created with the program.

#include "table/Cell.h"

#include <QString>

#include <array>
#include <optional>
#include <stdexcept>

namespace MODUL1 {

// An array with a fixed index range Lo..Hi, as the table and the game use them;
// an index outside the range is a programming error and throws.
template <class T, int Lo, int Hi>
class FixedArray {
public:
    T& operator[](int i) { return items_.at(Slot(i)); }
    const T& operator[](int i) const { return items_.at(Slot(i)); }
    void Fill(const T& value) { items_.fill(value); }
    bool operator==(const FixedArray&) const = default;
    static constexpr int Lower = Lo;
    static constexpr int Upper = Hi;

private:
    static std::size_t Slot(int i)
    {
        if (i < Lo || i > Hi)
            throw std::out_of_range("index outside the array's range");
        return static_cast<std::size_t>(i - Lo);
    }
    std::array<T, Hi - Lo + 1> items_{};
};

using Column = FixedArray<Cell, 1, 10>;

// The row table: column a is column 1, g is column 7. Lines 1 to 9 form the
// table; element 10 exists and is never used.
inline Column a, b, c, d, e, f, g;

// Column k of the table, 1 (a) to 7 (g).
Column& ColumnAt(int k);

// The practice variables. 0 means "no value yet".
inline short CalcRow = 0;     // selected calculation row, 1..21
inline short CurrentLine = 0; // table line the child works on, 1..9
inline short Operation = 0;   // 1 plus, 2 minus, 3 times
inline bool GameOpened = false;
// The row table changed since the main window last drew it (a row file was
// loaded); the main window draws it afresh when it is shown again.
inline bool TableChanged = false;

// Working variables of the row editor, the row files and the catch game.
inline short SelectedList = 0;
inline short ColIndex = 0;
inline short LineIndex = 0;
inline FixedArray<short, 1, 30> DigitCol;
inline FixedArray<short, 1, 30> DigitLine;
inline QString CatchText;

// Puts every variable back to its value at program start (used between tests).
void Reset();

// The value of a cell in arithmetic: empty counts as 0.
inline long long ValueOf(const Cell& c) { return c.value_or(0); }

// The text of a cell as a caption or list item: plain decimal, nothing when empty.
QString CellCaption(const Cell& c);

// The text of a cell as drawn on a window or printer: a number gets one blank
// before it (the place of the sign of a positive number); empty draws nothing.
QString CellDrawText(const Cell& c);

} // namespace MODUL1
