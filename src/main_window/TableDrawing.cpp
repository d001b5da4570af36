// Drawing the table on the main window's surface, and making new random rows
// while drawing them column by column.

#include "main_window/Form1.h"

#include "compat/Colors.h"
#include "table/MODUL1.h"
#include "platform/Platform.h"
#include "table/ColumnRules.h"

using namespace MODUL1;

namespace {
const QString kHeads = QStringLiteral("abcdefghi");
}

void Form1::DrawHeads()
{
    Surface& s = Drawing();
    s.SetForeColor(ClassicColor(9));
    for (int k = 1; k <= 7; ++k) {
        s.SetCurrentX(400 + 1000 * k);
        s.SetCurrentY(800);
        s.Print(kHeads.mid(k - 1, 1));
    }
    s.SetForeColor(ClassicColor(0));
}

void Form1::DrawCell(int column, int line)
{
    Surface& s = Drawing();
    const Cell& cell = ColumnAt(column)[line];
    // Placed by the length of the value's text alone, 200 twips a character;
    // the glyphs are not measured.
    const int length = static_cast<int>(CellCaption(cell).size());
    s.SetCurrentX(1000 * column + 200 * (3 - length));
    s.SetCurrentY(800 + 500 * line);
    s.Print(CellDrawText(cell));
    s.Box(1000 * column, 800 + 500 * line, 1000 * column + 1000, 1300 + 500 * line, s.ForeColor());
}

void Form1::DrawAnswerBox(int line)
{
    Surface& s = Drawing();
    s.Box(8500, 800 + 500 * line, 9500, 1300 + 500 * line, s.ForeColor());
}

void Form1::DrawTable()
{
    Surface& s = Drawing();
    s.SetFontName(QStringLiteral("Verdana"));
    s.SetFontSize(20);
    s.Cls();
    TableChanged = false;
    DrawHeads();
    for (int i = 1; i <= 9; ++i) {
        for (int k = 1; k <= 7; ++k)
            DrawCell(k, i);
        DrawAnswerBox(i);
    }
    SetUpTask();
}

void Form1::GenerateRows()
{
    Surface& s = Drawing();
    s.SetFontName(QStringLiteral("Verdana"));
    s.SetFontSize(20);
    Platform::Randomize(Platform::TimeOfDay());
    s.Cls();
    TableChanged = false;
    DrawHeads();
    const rows::Operation op = rows::OperationFromNumber(Operation).value_or(rows::Operation::Plus);
    for (int k = 1; k <= 7; ++k) {
        rows::DrawColumnDigits(&Platform::Rnd, [&](int line, int digit) {
            ColumnAt(k)[line] = rows::ColumnValue(k, digit, op);
            DrawCell(k, line);
            if (k == 7)
                DrawAnswerBox(line);
        });
    }
    SetUpTask();
}
