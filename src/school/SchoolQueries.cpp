// The teacher's queries. Every value, the class and the child's name
// included, is bound; the only text put into the SQL is chosen here.

#include "school/SchoolQueries.h"

#include "record/HistoryStore.h"
#include "school/School.h"
#include "table/Operation.h"

#include <QIODevice>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimeZone>
#include <QVariant>

namespace school {

namespace {

// The period's condition; its values follow in Values().
QString Where(const Period& p)
{
    return p.child.isEmpty() ? QStringLiteral(" WHERE klasse = ? AND zeit >= ? AND zeit < ?")
                             : QStringLiteral(" WHERE klasse = ? AND kind = ? AND zeit >= ? AND zeit < ?");
}

QVariantList Values(const Period& p)
{
    QVariantList v{p.klasse};
    if (!p.child.isEmpty())
        v << p.child;
    v << p.from.toUTC().toString(Qt::ISODateWithMs) << p.to.toUTC().toString(Qt::ISODateWithMs);
    return v;
}

QString ZoneName()
{
    const QByteArray id = QTimeZone::systemTimeZoneId();
    return id.isEmpty() ? QStringLiteral("UTC") : QString::fromLatin1(id);
}

QString OperationsSql(const Period& p)
{
    return QStringLiteral("SELECT kind, rechenart, count(*), count(*) FILTER (WHERE richtig), "
                          "percentile_cont(0.5) WITHIN GROUP (ORDER BY ms) FILTER (WHERE richtig) "
                          "FROM rechenkov.antworten")
        + Where(p) + QStringLiteral(" GROUP BY kind, rechenart ORDER BY kind, rechenart");
}

QString WeakestPerChildSql(const Period& p)
{
    return QStringLiteral("SELECT DISTINCT ON (kind) kind, reihe, falsch, alle FROM ("
                          "SELECT kind, reihe, count(*) FILTER (WHERE NOT richtig) AS falsch, count(*) AS alle "
                          "FROM rechenkov.antworten")
        + Where(p)
        + QStringLiteral(" GROUP BY kind, reihe) t WHERE falsch > 0 "
                         "ORDER BY kind, falsch DESC, falsch::float8 / alle DESC, reihe");
}

QString WeakPairsSql(const Period& p)
{
    return QStringLiteral("SELECT reihe, count(*) FILTER (WHERE NOT richtig) AS falsch, count(*) AS alle "
                          "FROM rechenkov.antworten")
        + Where(p)
        + QStringLiteral(" GROUP BY reihe HAVING count(*) FILTER (WHERE NOT richtig) > 0 "
                         "ORDER BY 2 DESC, count(*) FILTER (WHERE NOT richtig)::float8 / count(*) DESC, reihe LIMIT ?");
}

QString DaysSql(const Period& p)
{
    return QStringLiteral("SELECT date_trunc(?, zeit AT TIME ZONE ?)::date AS tag, count(*) FILTER (WHERE richtig), "
                          "count(*) FILTER (WHERE NOT richtig) FROM rechenkov.antworten")
        + Where(p) + QStringLiteral(" GROUP BY tag ORDER BY tag");
}

QString Csv(QStringList fields) { return fields.join(QLatin1Char(';')) + QStringLiteral("\r\n"); }

} // namespace


ClassRecord::ClassRecord(QString connectionName) : connection_(std::move(connectionName)) {}

bool ClassRecord::Run(QSqlQuery& q, const QString& sql, const QVariantList& values)
{
    error_.clear();
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        error_ = GermanReason(q.lastError());
        return false;
    }
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        error_ = GermanReason(q.lastError());
        return false;
    }
    return true;
}

QStringList ClassRecord::Classes()
{
    // The distinct classes, one index step each instead of a pass over every answer.
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    QStringList classes;
    if (Run(q,
            QStringLiteral("WITH RECURSIVE k AS ("
                           "(SELECT klasse FROM rechenkov.antworten ORDER BY klasse LIMIT 1) UNION ALL "
                           "SELECT (SELECT a.klasse FROM rechenkov.antworten a WHERE a.klasse > k.klasse "
                           "ORDER BY a.klasse LIMIT 1) FROM k WHERE k.klasse IS NOT NULL) "
                           "SELECT klasse FROM k WHERE klasse IS NOT NULL"),
            {}))
        while (q.next())
            classes << q.value(0).toString();
    return classes;
}

std::vector<history::OperationStats> ClassRecord::Operations(const Period& p)
{
    std::vector<history::OperationStats> result;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (Run(q, OperationsSql(p), Values(p)))
        while (q.next()) {
            history::OperationStats op{q.value(1).toInt(), q.value(2).toLongLong(), q.value(3).toLongLong(),
                                       std::nullopt, q.value(0).toString()};
            if (!q.value(4).isNull())
                op.medianSeconds = q.value(4).toDouble() / 1000.0;
            result.push_back(op);
        }
    return result;
}

std::vector<history::WeakRow> ClassRecord::WeakestPerChild(const Period& p)
{
    std::vector<history::WeakRow> result;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (Run(q, WeakestPerChildSql(p), Values(p)))
        while (q.next())
            result.push_back({q.value(1).toString(), q.value(2).toLongLong(), q.value(3).toLongLong(), q.value(0).toString()});
    return result;
}

std::vector<history::WeakRow> ClassRecord::WeakRows(const Period& p, int limit)
{
    std::vector<history::WeakRow> result;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (Run(q, WeakPairsSql(p), Values(p) << limit))
        while (q.next())
            result.push_back({q.value(0).toString(), q.value(1).toLongLong(), q.value(2).toLongLong(), p.child});
    return result;
}

std::vector<history::DayCount> ClassRecord::Days(const Period& p, bool byWeek)
{
    std::vector<history::DayCount> result;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    QVariantList values{byWeek ? QStringLiteral("week") : QStringLiteral("day"), ZoneName()};
    values << Values(p);
    if (Run(q, DaysSql(p), values))
        while (q.next())
            result.push_back({q.value(0).toDate(), q.value(1).toLongLong(), q.value(2).toLongLong()});
    return result;
}

history::GameStats ClassRecord::Games(const Period& p)
{
    history::GameStats g;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (Run(q, QStringLiteral("SELECT count(*), min(sekunden) FROM rechenkov.spiele") + Where(p), Values(p)) && q.next()) {
        g.count = q.value(0).toLongLong();
        if (!q.value(1).isNull())
            g.bestSeconds = q.value(1).toLongLong();
    }
    return g;
}

bool ClassRecord::WriteCsv(const Period& p, QIODevice& out)
{
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    QVariantList values{ZoneName()};
    values << Values(p);
    if (!Run(q,
             QStringLiteral("SELECT to_char(zeit AT TIME ZONE ?, 'YYYY-MM-DD HH24:MI:SS'), kind, rechenart, reihe, "
                            "zeile, erwartet, eingegeben, richtig, ms FROM rechenkov.antworten")
                 + Where(p) + QStringLiteral(" ORDER BY zeit, kind"),
             values))
        return false;
    using history::CsvTextField;
    // The byte-order mark tells spreadsheets the text is UTF-8.
    QString chunk = QStringLiteral("\uFEFF")
        + Csv({QStringLiteral("Zeit"), QStringLiteral("Klasse"), QStringLiteral("Kind"), QStringLiteral("Rechenart"),
               QStringLiteral("Reihe"), QStringLiteral("Zeile"), QStringLiteral("Erwartet"),
               QStringLiteral("Eingegeben"), QStringLiteral("Richtig"), QStringLiteral("Millisekunden")});
    const QString klasse = CsvTextField(p.klasse);
    while (q.next()) {
        chunk += Csv({q.value(0).toString(), klasse, CsvTextField(q.value(1).toString()), rows::WordOfNumber(q.value(2).toInt()),
                      CsvTextField(q.value(3).toString()), q.value(4).toString(), CsvTextField(q.value(5).toString()),
                      CsvTextField(q.value(6).toString()),
                      q.value(7).toBool() ? QStringLiteral("ja") : QStringLiteral("nein"), q.value(8).toString()});
        // Written in pieces, so a whole year of a class never sits in memory.
        if (chunk.size() > 1 << 16) {
            if (out.write(chunk.toUtf8()) < 0)
                return false;
            chunk.clear();
        }
    }
    return out.write(chunk.toUtf8()) >= 0;
}

std::vector<std::pair<QString, QVariantList>> ClassRecord::Queries(const Period& p)
{
    QVariantList days{QStringLiteral("day"), ZoneName()};
    days << Values(p);
    return {{OperationsSql(p), Values(p)},
            {WeakestPerChildSql(p), Values(p)},
            {WeakPairsSql(p), Values(p) << 5},
            {DaysSql(p), days}};
}

} // namespace school
