#pragma once
// The calculation rows a child finds hardest, read from the practice record: the
// rows with the most wrong answers of the last 30 days, as the window
// "Lernverlauf" lists them under "Hier hakt es".

#include "print/Worksheets.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace worksheets {

struct WeakCalcRows {
    QStringList children;    // the names the record knows
    std::vector<rows::CalcRow> tasks; // `child`'s weakest calculation rows, weakest first, all of one operation
    std::optional<rows::Operation> operation; // theirs; none when there are none
    QString problem;         // why there are none, in German
};

// Reads the record without changing it. With an empty `child` only the names are read.
WeakCalcRows FromRecord(const QString& child, int count = kDefaultTasks);

// What an adult is told when `record` has no calculation rows for `child`: a record
// switched on that holds nothing yet is not one that was never on, and an
// unknown name comes with the names the record knows.
QString RecordProblem(const WeakCalcRows& record, const QString& child);

} // namespace worksheets
