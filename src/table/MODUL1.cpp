#include "table/MODUL1.h"

namespace MODUL1 {

Column& ColumnAt(int k)
{
    switch (k) {
    case 1: return a;
    case 2: return b;
    case 3: return c;
    case 4: return d;
    case 5: return e;
    case 6: return f;
    case 7: return g;
    default: throw std::out_of_range("the table has columns 1 to 7");
    }
}

void Reset()
{
    for (int k = 1; k <= 7; ++k)
        ColumnAt(k).Fill(std::nullopt);
    CalcRow = 0;
    CurrentLine = 0;
    Operation = 0;
    GameOpened = false;
    TableChanged = false;
    SelectedList = 0;
    ColIndex = 0;
    LineIndex = 0;
    DigitCol.Fill(0);
    DigitLine.Fill(0);
    CatchText.clear();
}

QString CellCaption(const Cell& c)
{
    return c ? QString::number(*c) : QString();
}

QString CellDrawText(const Cell& c)
{
    if (!c)
        return QString();
    return *c < 0 ? QString::number(*c) : QStringLiteral(" ") + QString::number(*c);
}

} // namespace MODUL1
