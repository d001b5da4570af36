#pragma once
// What the teacher's window asks the school's server: the classes, and for
// one class (or one child of it) over a period the answers per child and
// operation, the weakest calculation rows, the answers per day, the games,
// and the answers as CSV. Every figure is computed by the server (GROUP BY
// over the indexes of schule.sql); only the results travel.

#include "record/Figures.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>
#include <vector>

class QIODevice;
class QSqlQuery;

namespace school {

// One class, or one child of it, from `from` (inclusive) to `to` (exclusive).
struct Period {
    QString klasse;
    QString child; // empty: the whole class
    QDateTime from;
    QDateTime to;
};

class ClassRecord {
public:
    // Over an open QPSQL connection of that name.
    explicit ClassRecord(QString connectionName);

    QStringList Classes();
    // Sorted by child, then operation.
    std::vector<history::OperationStats> Operations(const Period& p);
    // Each child's row with the most wrong answers (ties: the higher share, then the name).
    std::vector<history::WeakRow> WeakestPerChild(const Period& p);
    // The rows with the most wrong answers in the period, at most `limit`.
    std::vector<history::WeakRow> WeakRows(const Period& p, int limit = 5);
    // Days (or weeks) in the viewer's time zone, oldest first.
    std::vector<history::DayCount> Days(const Period& p, bool byWeek);
    history::GameStats Games(const Period& p);
    // Every answer of the period, oldest first, as the CSV of a German spreadsheet.
    bool WriteCsv(const Period& p, QIODevice& out);

    // The query texts with their values, for EXPLAIN in the bench.
    std::vector<std::pair<QString, QVariantList>> Queries(const Period& p);

    // Why the last call failed, in German; empty when it worked.
    const QString& Error() const { return error_; }

private:
    bool Run(QSqlQuery& q, const QString& sql, const QVariantList& values);

    QString connection_;
    QString error_;
};

} // namespace school
