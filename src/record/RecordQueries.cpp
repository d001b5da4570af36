// What the window over the practice record asks of it: the children, the
// answers by day and by operation, the rows most often wrong, the games and
// the table of children, each for a filter of child and period.

#include "record/HistoryStore.h"
#include "record/RecordInternals.h"

#include <QCollator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace history {

using namespace detail;

namespace {

// The WHERE clause of a filter and further conditions; its values are bound
// by Bind. A null name is every child; an empty one is the answers given
// without a name.
QString Where(const Filter& f, QStringList parts = {}, bool withChild = true)
{
    if (withChild && !f.child.isNull())
        parts << QStringLiteral("kind = :kind");
    if (f.from.isValid())
        parts << QStringLiteral("utc >= :from");
    if (f.to.isValid())
        parts << QStringLiteral("utc < :to");
    return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
}

// The start of a day in the local time of the one who reads.
qint64 DayStart(QDate day) { return QDateTime(day, QTime(0, 0)).toMSecsSinceEpoch(); }

void Bind(QSqlQuery& q, const Filter& f, bool withChild = true)
{
    if (withChild && !f.child.isNull())
        q.bindValue(QStringLiteral(":kind"), f.child);
    if (f.from.isValid())
        q.bindValue(QStringLiteral(":from"), DayStart(f.from));
    if (f.to.isValid())
        q.bindValue(QStringLiteral(":to"), DayStart(f.to.addDays(1)));
}

// Names in the order a German reader looks for them: "Lena, lena, Mia,
// Özlem", not by the bytes of their letters.
bool NameBefore(const QString& a, const QString& b)
{
    static const QCollator collator = [] {
        QCollator c(QLocale(QLocale::German, QLocale::Germany));
        c.setNumericMode(true);
        return c;
    }();
    const int order = collator.compare(a, b);
    return order != 0 ? order < 0 : a < b;
}

} // namespace

QStringList HistoryStore::Children() const
{
    QStringList names;
    if (state_ != State::Ready)
        return names;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral("SELECT DISTINCT kind FROM antworten UNION SELECT DISTINCT kind FROM spiele ORDER BY 1")))
        while (q.next())
            names << Text(q.value(0).toString());
    if (q.lastError().isValid()) {
        ReadError(q.lastError());
        names.clear();
    }
    std::sort(names.begin(), names.end(), NameBefore);
    return names;
}

bool HistoryStore::IsEmpty() const { return Children().isEmpty(); }

std::vector<DayCount> HistoryStore::Days(const Filter& f) const
{
    std::vector<DayCount> days;
    if (state_ != State::Ready)
        return days;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    // The day in the local time of the one who reads, as the periods are.
    // Every time zone's offset is a multiple of 15 minutes, so quarter hours
    // counted in UTC fall into one local day each.
    constexpr qint64 kQuarter = 15 * 60 * 1000;
    q.prepare(QStringLiteral("SELECT utc / %1, sum(richtig), count(*) FROM antworten").arg(kQuarter) + Where(f)
              + QStringLiteral(" GROUP BY 1 ORDER BY 1"));
    Bind(q, f);
    if (q.exec())
        while (q.next()) {
            const QDate day = QDateTime::fromMSecsSinceEpoch(q.value(0).toLongLong() * kQuarter).date();
            if (days.empty() || days.back().day != day)
                days.push_back({day, 0, 0});
            days.back().right += q.value(1).toInt();
            days.back().wrong += q.value(2).toInt() - q.value(1).toInt();
        }
    if (q.lastError().isValid()) {
        ReadError(q.lastError());
        days.clear();
    }
    return days;
}

std::vector<OperationStats> HistoryStore::Operations(const Filter& f) const
{
    std::vector<OperationStats> result;
    if (state_ != State::Ready)
        return result;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT rechenart, count(*), sum(richtig) FROM antworten") + Where(f)
              + QStringLiteral(" GROUP BY rechenart ORDER BY rechenart"));
    Bind(q, f);
    if (q.exec())
        while (q.next())
            result.push_back({q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt(), std::nullopt, {}});
    if (q.lastError().isValid()) {
        ReadError(q.lastError());
        return {};
    }

    // The median of the right answers' times, the middle of an even count
    // being the mean of the two: only the one or two middle rows are read.
    for (OperationStats& op : result) {
        if (op.right == 0)
            continue;
        QSqlQuery t(db);
        t.setForwardOnly(true);
        t.prepare(QStringLiteral("SELECT ms FROM antworten")
                  + Where(f, {QStringLiteral("richtig = 1"), QStringLiteral("rechenart = :op")})
                  + QStringLiteral(" ORDER BY ms LIMIT :count OFFSET :skip"));
        Bind(t, f);
        t.bindValue(QStringLiteral(":op"), op.operation);
        t.bindValue(QStringLiteral(":count"), op.right % 2 ? 1 : 2);
        t.bindValue(QStringLiteral(":skip"), (op.right - 1) / 2);
        double sum = 0;
        int n = 0;
        if (t.exec())
            while (t.next()) {
                sum += t.value(0).toDouble();
                ++n;
            }
        if (t.lastError().isValid()) {
            ReadError(t.lastError());
            return {};
        }
        if (n > 0)
            op.medianSeconds = sum / n / 1000.0;
    }
    return result;
}

std::vector<WeakRow> HistoryStore::WeakRows(const Filter& f, int limit, int minAnswers) const
{
    std::vector<WeakRow> rows;
    if (state_ != State::Ready)
        return rows;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    // The most wrong answers first; ties go to the higher share, then by name.
    q.prepare(QStringLiteral("SELECT reihe, sum(1 - richtig) AS falsch, count(*) AS alle FROM antworten") + Where(f)
              + QStringLiteral(" GROUP BY reihe HAVING alle >= :min AND falsch > 0"
                               " ORDER BY falsch DESC, CAST(falsch AS REAL) / alle DESC, reihe LIMIT :limit"));
    Bind(q, f);
    q.bindValue(QStringLiteral(":min"), minAnswers);
    q.bindValue(QStringLiteral(":limit"), limit);
    if (q.exec())
        while (q.next())
            rows.push_back({q.value(0).toString(), q.value(1).toInt(), q.value(2).toInt(), {}});
    if (q.lastError().isValid()) {
        ReadError(q.lastError());
        rows.clear();
    }
    return rows;
}

GameStats HistoryStore::Games(const Filter& f) const
{
    GameStats stats;
    if (state_ != State::Ready)
        return stats;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT count(*), min(sekunden) FROM spiele") + Where(f));
    Bind(q, f);
    if (q.exec() && q.next()) {
        stats.count = q.value(0).toInt();
        if (!q.value(1).isNull())
            stats.bestSeconds = q.value(1).toLongLong();
    }
    if (q.lastError().isValid()) {
        ReadError(q.lastError());
        return {};
    }
    return stats;
}

std::vector<ChildStats> HistoryStore::ChildTable(const Filter& f) const
{
    std::vector<ChildStats> result;
    if (state_ != State::Ready)
        return result;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT kind, count(*), sum(richtig) FROM antworten") + Where(f, {}, false)
              + QStringLiteral(" GROUP BY kind ORDER BY kind"));
    Bind(q, f, false);
    if (q.exec())
        while (q.next())
            result.push_back({Text(q.value(0).toString()), q.value(1).toInt(), q.value(2).toInt(), std::nullopt});
    if (q.lastError().isValid()) {
        ReadError(q.lastError());
        return {};
    }
    std::sort(result.begin(), result.end(),
              [](const ChildStats& a, const ChildStats& b) { return NameBefore(a.child, b.child); });
    for (ChildStats& c : result) {
        const std::vector<WeakRow> weak = WeakRows({c.child, f.from, f.to}, 1);
        if (state_ != State::Ready)
            return {};
        if (!weak.empty())
            c.weakest = weak.front();
    }
    return result;
}

} // namespace history
