#include "print/PageLayout.h"

#include "table/MODUL1.h"
#include "print/PrinterService.h"

#include <array>

namespace printout {

int HeadX(int column) { return 300 + 1000 * column; }

int ValueX(int column)
{
    // The two-digit columns d to f are set 200 twips and the one-digit column
    // g 400 twips into their boxes, so the plus and minus tables line up right.
    static constexpr std::array<int, 7> kValueX = {1000, 2000, 3000, 4200, 5200, 6200, 7400};
    return kValueX.at(static_cast<std::size_t>(column - 1));
}

int LineY(int line) { return 800 + 500 * line; }

std::optional<long long> CellAt(const Cells& table, int column, int line)
{
    const auto index = static_cast<std::size_t>((column - 1) * 9 + line - 1);
    return index < table.size() ? table[index] : std::nullopt;
}

Cells SharedTable()
{
    Cells table;
    table.reserve(63);
    for (int k = 1; k <= 7; ++k)
        for (int i = 1; i <= 9; ++i)
            table.push_back(MODUL1::ColumnAt(k)[i]);
    return table;
}

void DrawTablePage(PrinterService& printer, const Cells& table)
{
    printer.SetFontName(QStringLiteral("Verdana"));
    printer.SetFontSize(20);
    printer.SetDrawWidth(2);
    printer.SetCurrentX(0);
    printer.SetCurrentY(0);

    const QString heads = QStringLiteral("abcdefghi");
    for (int k = 1; k <= 7; ++k) {
        printer.SetCurrentX(HeadX(k));
        printer.SetCurrentY(kHeadY);
        printer.Print(heads.mid(k - 1, 1));
    }

    for (int i = 1; i <= 9; ++i) {
        for (int k = 1; k <= 7; ++k) {
            printer.SetCurrentX(ValueX(k));
            printer.SetCurrentY(LineY(i));
            // An empty cell gets only its box.
            const QString text = MODUL1::CellDrawText(CellAt(table, k, i));
            if (!text.isEmpty())
                printer.Print(text);
            printer.Box(1000 * k, LineY(i), 1000 * k + 1000, LineY(i) + 500);
        }
    }
}

} // namespace printout
