#include "table/ColumnRules.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace rows {

long long ColumnValue(int column, int digit, Operation op)
{
    if (op == Operation::Times)
        return digit;
    switch (column) {
    case 1: return 100LL * digit;
    case 2: return 110LL * digit;
    case 3: return 111LL * digit;
    case 4: return 10LL * digit;
    case 5: return 11LL * digit;
    case 6: return 10LL * digit + 10 - digit;
    case 7: return digit;
    default: throw std::out_of_range("the table has columns 1 to 7");
    }
}

ColumnPair CalcRowPair(int calcRow)
{
    int n = 0;
    for (int p = 1; p <= 6; ++p)
        for (int q = p + 1; q <= 7; ++q)
            if (++n == calcRow)
                return {p, q};
    throw std::out_of_range("calculation rows are numbered 1 to 21");
}

QString CalcRowText(int calcRow, Operation op)
{
    static const QString kLetters = QStringLiteral("abcdefg");
    const ColumnPair pair = CalcRowPair(calcRow);
    return QString(kLetters[pair.first - 1]) + MenuSign(op) + kLetters[pair.second - 1];
}

void DrawColumnDigits(const std::function<double()>& random, const std::function<void(int line, int digit)>& use)
{
    // The used-digit pool: character x stands for digit x, "0" once it is used.
    QString pool = QStringLiteral("123456789");
    for (int line = 1; line <= 9; ++line) {
        int x = 0;
        do {
            x = std::clamp(static_cast<int>(std::floor(9 * random())) + 1, 1, 9);
        } while (pool[x - 1] == QLatin1Char('0'));
        pool[x - 1] = QLatin1Char('0');
        use(line, x);
    }
}

} // namespace rows
