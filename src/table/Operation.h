#pragma once
// The three operations a child practises, and every way the program writes
// or reads one: the number the record stores, the word, the name, and the
// signs of the menu, of a printed sheet and of the spoken task.

#include <QChar>
#include <QString>

#include <optional>

namespace rows {

// The numbers are the ones the record stores and the shared state holds.
enum class Operation { Plus = 1, Minus = 2, Times = 3 };

inline constexpr Operation kOperations[] = {Operation::Plus, Operation::Minus, Operation::Times};

// 1 plus, 2 minus, 3 times; nothing for any other number.
std::optional<Operation> OperationFromNumber(int number);
int Number(Operation op);

// "plus", "minus", "mal": the word of the record's lists and of `--rechenart`.
QString Word(Operation op);
// The word of a stored number; empty when the number is no operation.
QString WordOfNumber(int number);
// The word read back without regard to case; nothing when it is none of the three.
std::optional<Operation> OperationFromWord(const QString& word);

// "Plus", "Minus", "Mal": as a sheet's head and the worksheet window name it.
QString Name(Operation op);

// '+', '-', '*': the sign of the operation menu ("a+b", "c-e", "b*f").
QChar MenuSign(Operation op);
// '+', '−', '·': the sign a child knows from school, as a printed sheet writes it.
QChar SheetSign(Operation op);
// '+', '−', '×': the sign of the task a screen reader speaks.
QChar SpokenSign(Operation op);
// The operation of a sign as a teacher may type it: "+"; "-" or "−"; "*",
// "x", "X", "·" or "×". Nothing for any other text.
std::optional<Operation> OperationFromSign(const QString& sign);

} // namespace rows
