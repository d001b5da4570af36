// Setting up the current task: the expected result in the hidden label
// Bezeichnung3, the red frames around the two columns of the calculation row,
// the bracket below them, the operation's sign under the bracket, and the
// task spoken by screen readers for the red input field.

#include "main_window/Form1.h"

#include "compat/Colors.h"
#include "compat/Label.h"
#include "table/MODUL1.h"
#include "compat/PictureBox.h"
#include "record/Recording.h"
#include "table/ColumnRules.h"

#include "table/Operation.h"

#include <optional>
#include <utility>

using namespace MODUL1;

namespace {

// The task as a screen reader speaks it for the input field, such as
// "Zeile 3: 300 + 440". For minus the larger number comes first, as the
// child takes the smaller from the larger.
QString TaskDescription(int line, long long p, long long q, rows::Operation op)
{
    if (op == rows::Operation::Minus && p < q)
        std::swap(p, q);
    return QStringLiteral("Zeile %1: %2 %3 %4")
        .arg(QString::number(line), QString::number(p), QString(rows::SpokenSign(op)), QString::number(q));
}

} // namespace

void Form1::SetUpTask()
{
    if (CalcRow < 1 || CalcRow > 21)
        return; // no calculation row chosen yet
    history::MarkTaskSetUp();
    const rows::ColumnPair pair = rows::CalcRowPair(CalcRow);
    const int x1 = 1000 * pair.first;
    const int x2 = 1000 * pair.second;

    const std::optional<rows::Operation> op = rows::OperationFromNumber(Operation);
    if (CurrentLine >= 1 && CurrentLine <= 9) {
        const long long p = ValueOf(ColumnAt(pair.first)[CurrentLine]);
        const long long q = ValueOf(ColumnAt(pair.second)[CurrentLine]);
        if (op) {
            switch (*op) {
            case rows::Operation::Plus: Bezeichnung3->SetCaption(QString::number(p + q)); break;
            case rows::Operation::Minus: Bezeichnung3->SetCaption(QString::number(p - q)); break;
            case rows::Operation::Times: Bezeichnung3->SetCaption(QString::number(p * q)); break;
            }
        }
        Bezeichnung2->setAccessibleDescription(op ? TaskDescription(CurrentLine, p, q, *op) : QString());
    }
    // For minus the child always takes the smaller number from the larger
    // one, so a negative difference is expected as its amount.
    if (Bezeichnung3->Caption().startsWith(QLatin1Char('-')))
        Bezeichnung3->SetCaption(Bezeichnung3->Caption().mid(1));

    Surface& s = Drawing();
    const QColor red = ClassicColor(12);
    s.SetDrawWidth(3);
    for (int i = 1; i <= 9; ++i) {
        s.Box(x1, 800 + 500 * i, x1 + 1000, 1300 + 500 * i, red);
        s.Box(x2, 800 + 500 * i, x2 + 1000, 1300 + 500 * i, red);
    }
    s.Line(x1 + 500, 5800, x1 + 500, 6300, red);
    s.Line(x2 + 500, 5800, x2 + 500, 6300, red);
    s.Line(x1 + 500, 6300, x2 + 500, 6300, red);
    s.SetDrawWidth(1);

    Bild4->Move(10000, 120);
    Bild5->Move(10000, 720);
    Bild6->Move(10000, 1320);
    Bild7->Move(10000, 1920);
    if (op) {
        PictureBox* const signs[] = {Bild4, Bild5, Bild6};
        signs[rows::Number(*op) - 1]->Move(x1 + 250 + (x2 - x1) / 2, 6100);
    }
}
