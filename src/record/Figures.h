#pragma once
// The figures the adults' windows show, whichever record they come from:
// the family's own file or the school's server. Counts are 64-bit, as a
// server's sums over a class and a year may grow large.

#include <QDate>
#include <QString>

#include <optional>

namespace history {

// Right and wrong answers of one day (or of the week or month beginning on `day`).
struct DayCount {
    QDate day; // in the local time of the one who reads
    qint64 right = 0;
    qint64 wrong = 0;
};

// One operation's answers; `child` names whose they are where a table lists
// them child by child, and stays empty otherwise.
struct OperationStats {
    int operation = 0; // as stored: rows::Number of the operation
    qint64 answers = 0;
    qint64 right = 0;
    std::optional<double> medianSeconds; // of the right answers; none without one
    QString child;
};

// A calculation row such as "c*f" with its wrong answers; `child` names
// whose they are where that matters, and is empty for a whole class.
struct WeakRow {
    QString calcRow;
    qint64 wrong = 0;
    qint64 answers = 0;
    QString child;
};

struct GameStats {
    qint64 count = 0;
    std::optional<qint64> bestSeconds;
};

// One line of the table child by child.
struct ChildStats {
    QString child;
    qint64 answers = 0;
    qint64 right = 0;
    std::optional<WeakRow> weakest;
};

} // namespace history
