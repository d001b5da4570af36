#include "table/Operation.h"

namespace rows {

std::optional<Operation> OperationFromNumber(int number)
{
    switch (number) {
    case 1: return Operation::Plus;
    case 2: return Operation::Minus;
    case 3: return Operation::Times;
    default: return std::nullopt;
    }
}

int Number(Operation op) { return static_cast<int>(op); }

QString Word(Operation op)
{
    switch (op) {
    case Operation::Minus: return QStringLiteral("minus");
    case Operation::Times: return QStringLiteral("mal");
    case Operation::Plus: break;
    }
    return QStringLiteral("plus");
}

QString WordOfNumber(int number)
{
    const auto op = OperationFromNumber(number);
    return op ? Word(*op) : QString();
}

std::optional<Operation> OperationFromWord(const QString& word)
{
    const QString w = word.toLower();
    for (const Operation op : kOperations)
        if (w == Word(op))
            return op;
    return std::nullopt;
}

QString Name(Operation op)
{
    switch (op) {
    case Operation::Minus: return QStringLiteral("Minus");
    case Operation::Times: return QStringLiteral("Mal");
    case Operation::Plus: break;
    }
    return QStringLiteral("Plus");
}

QChar MenuSign(Operation op)
{
    switch (op) {
    case Operation::Minus: return QLatin1Char('-');
    case Operation::Times: return QLatin1Char('*');
    case Operation::Plus: break;
    }
    return QLatin1Char('+');
}

QChar SheetSign(Operation op)
{
    switch (op) {
    case Operation::Minus: return QChar(0x2212); // −
    case Operation::Times: return QChar(0x00B7); // ·
    case Operation::Plus: break;
    }
    return QLatin1Char('+');
}

QChar SpokenSign(Operation op)
{
    switch (op) {
    case Operation::Minus: return QChar(0x2212); // −
    case Operation::Times: return QChar(0x00D7); // ×
    case Operation::Plus: break;
    }
    return QLatin1Char('+');
}

std::optional<Operation> OperationFromSign(const QString& sign)
{
    if (sign == QStringLiteral("+"))
        return Operation::Plus;
    if (sign == QStringLiteral("-") || sign == QStringLiteral("\u2212"))
        return Operation::Minus;
    if (sign == QStringLiteral("*") || sign.compare(QStringLiteral("x"), Qt::CaseInsensitive) == 0
        || sign == QStringLiteral("\u00B7") || sign == QStringLiteral("\u00D7"))
        return Operation::Times;
    return std::nullopt;
}

} // namespace rows
