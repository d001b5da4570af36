// The tables of the practice record: making them in a new file, bringing a
// file of an earlier schema up to date, and converting its rows step by
// step in the background while the record is read through views.

#include "record/HistoryStore.h"
#include "record/RecordInternals.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <mutex>
#include <optional>

namespace history {

using namespace detail;

namespace {

// The same columns in both tables' time: the local clock time with its
// offset from UTC as text (what the CSV shows), and milliseconds since the
// epoch (what periods and the order are reckoned with). `uid` is the row's
// own identity, given when it is recorded: 16 bytes, 48 bits of the time's
// milliseconds first, so that ids given one after the other lie close
// together in an index, the rest random. `utc` may be missing in an insert
// of the first release of this program, which a trigger then completes.
const char* const kAnswerColumns = "id INTEGER PRIMARY KEY AUTOINCREMENT, zeit TEXT NOT NULL, utc INTEGER, "
                                   "kind TEXT NOT NULL, rechenart INTEGER NOT NULL, reihe TEXT NOT NULL, "
                                   "zeile INTEGER NOT NULL, erwartet TEXT NOT NULL, eingegeben TEXT NOT NULL, "
                                   "richtig INTEGER NOT NULL, ms INTEGER NOT NULL, uid BLOB, klasse TEXT, rechner TEXT";
const char* const kGameColumns = "id INTEGER PRIMARY KEY AUTOINCREMENT, zeit TEXT NOT NULL, utc INTEGER, "
                                 "kind TEXT NOT NULL, sekunden INTEGER NOT NULL, uid BLOB, klasse TEXT, "
                                 "rechner TEXT";
const char* const kAnswerNames = "id, zeit, utc, kind, rechenart, reihe, zeile, erwartet, eingegeben, richtig, ms";
const char* const kGameNames = "id, zeit, utc, kind, sekunden";

// The first schema kept the local clock time without a zone. Such a time is
// read as local time where it is read: its milliseconds since the epoch,
// and its text with the offset added.
const char* const kOldOffset = "CAST(round((julianday(zeit) - julianday(zeit, 'utc')) * 1440.0) AS INTEGER)";
const char* const kOldUtc = "CAST(round((julianday(zeit, 'utc') - 2440587.5) * 86400000.0) AS INTEGER)";

QString OldZeit()
{
    const QString m = QStringLiteral("(%1)").arg(QLatin1String(kOldOffset));
    return QStringLiteral("zeit || printf('%s%02d:%02d', CASE WHEN %1 < 0 THEN '-' ELSE '+' END, abs(%1) / 60, "
                          "abs(%1) % 60)")
        .arg(m);
}

// The rows of a table of the first schema in the current shape (without
// uid), oldest first, at most `limit` of them when it is positive.
QString OldRows(const QString& table, int limit = 0)
{
    const bool answers = table.startsWith(QLatin1String("antworten"));
    const QString rest = answers ? QStringLiteral("kind, rechenart, reihe, zeile, erwartet, eingegeben, richtig, ms")
                                 : QStringLiteral("kind, sekunden");
    return QStringLiteral("SELECT id, %1 AS zeit, %2 AS utc, %3 FROM (SELECT * FROM main.%4 ORDER BY id%5)")
        .arg(OldZeit(), QLatin1String(kOldUtc), rest, table,
             limit > 0 ? QStringLiteral(" LIMIT %1").arg(limit) : QString());
}

// A row's uid made by SQLite alone from the milliseconds `ms`, for rows
// that come without one (SQLite 3.40 has no unhex(): each byte is cut out
// of a blob of all 256 byte values).
QString UidSql(const QString& ms)
{
    static const QString bytes = [] {
        QString hex = QStringLiteral("X'");
        for (int i = 0; i < 256; ++i)
            hex += QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0'));
        return hex + QLatin1Char('\'');
    }();
    QStringList parts;
    for (int shift = 40; shift >= 0; shift -= 8)
        parts << QStringLiteral("substr(%1, ((%2) >> %3) % 256 + 1, 1)").arg(bytes, ms).arg(shift);
    parts << QStringLiteral("substr(%1, 113 + abs(random() % 16), 1)").arg(bytes) // version 7
          << QStringLiteral("randomblob(1)")
          << QStringLiteral("substr(%1, 129 + abs(random() % 64), 1)").arg(bytes) // the variant of RFC 9562
          << QStringLiteral("randomblob(7)");
    return QStringLiteral("CAST(%1 AS BLOB)").arg(parts.join(QLatin1String(" || ")));
}

// A row inserted by an earlier release into a converted record lacks what
// that release did not know: its uid, and with the first release its
// milliseconds and its time's offset. The trigger completes it.
QString CompletionTrigger(const QString& table)
{
    const QString ms = QStringLiteral("coalesce(utc, %1)").arg(QLatin1String(kOldUtc));
    return QStringLiteral("CREATE TRIGGER %1_nachtragen AFTER INSERT ON %1 WHEN NEW.uid IS NULL OR NEW.utc IS NULL "
                          "BEGIN UPDATE %1 SET zeit = CASE WHEN utc IS NULL THEN %2 ELSE zeit END, utc = %3, "
                          "uid = coalesce(uid, %4) WHERE id = NEW.id; END")
        .arg(table, OldZeit(), ms, UidSql(ms));
}

} // namespace

// A file of an earlier schema, opened for reading only, is read through
// temporary views of the current tables' shape.
bool HistoryStore::ReadOldSchema(int version)
{
    if (version >= 2)
        return true; // the columns read are all there
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec(QStringLiteral("CREATE TEMP VIEW antworten AS ") + OldRows(QStringLiteral("antworten")))
        || !q.exec(QStringLiteral("CREATE TEMP VIEW spiele AS ") + OldRows(QStringLiteral("spiele"))))
        return FailFrom(q.lastError(), State::ReadFailed);
    return true;
}

// While the rows of the first schema move into the current tables, the
// queries read both through temporary views that take the tables' names;
// writes name the tables of the file ("main.") themselves.
bool HistoryStore::ShowConvertedSoFar()
{
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    for (const char* table : {"antworten", "spiele"}) {
        const QString name = QLatin1String(table);
        if (!q.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM main.sqlite_master WHERE name = '%1_alt')").arg(name))
            || !q.next())
            return FailFrom(q.lastError(), State::ReadFailed);
        const bool pending = q.value(0).toBool();
        q.finish();
        if (!pending)
            continue;
        const QString names = QLatin1String(name == QLatin1String("antworten") ? kAnswerNames : kGameNames);
        if (!q.exec(QStringLiteral("CREATE TEMP VIEW IF NOT EXISTS %1 AS SELECT %2, uid FROM main.%1 "
                                   "UNION ALL SELECT *, NULL FROM (%3)")
                        .arg(name, names, OldRows(name + QStringLiteral("_alt")))))
            return FailFrom(q.lastError(), State::ReadFailed);
    }
    return true;
}

// Brings a file of schema version `fromVersion` (0: a new file) to the
// current version in one short transaction, which waits for any other
// program doing the same and then looks again, so two first starts at once
// make the tables once. What takes long with many rows is left to
// ConvertStep: rows of the first schema wait in tables of their own
// ("…_alt"), rows of the second wait for their uid, as the table
// "umstellung" notes. Row ids never change.
bool HistoryStore::CreateOrUpgrade(int fromVersion)
{
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return FailFrom(q.lastError(), State::WriteFailed);
    const auto failed = [&] {
        const QSqlError error = q.lastError();
        q.finish();
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return FailFrom(error, State::WriteFailed);
    };
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return failed();
    const int version = q.value(0).toInt();
    q.finish();
    if (version != fromVersion && version >= kSchemaVersion) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return version == kSchemaVersion || Fail(State::Newer, QString());
    }
    QStringList steps;
    const QString newTables = QStringLiteral("CREATE TABLE antworten (%1);CREATE TABLE spiele (%2)")
                                  .arg(QLatin1String(kAnswerColumns), QLatin1String(kGameColumns));
    if (version < 1) {
        steps << newTables.split(QLatin1Char(';'))
              << QStringLiteral("CREATE INDEX antworten_kind_utc ON antworten (kind, utc)");
    } else if (version < 2) {
        steps << QStringLiteral("ALTER TABLE antworten RENAME TO antworten_alt")
              << QStringLiteral("ALTER TABLE spiele RENAME TO spiele_alt") << newTables.split(QLatin1Char(';'))
              << QStringLiteral("CREATE INDEX antworten_kind_utc ON antworten (kind, utc)");
        // New rows continue the old numbering.
        for (const char* table : {"antworten", "spiele"})
            steps << QStringLiteral("INSERT INTO sqlite_sequence (name, seq) SELECT '%1', coalesce(max(id), 0) "
                                    "FROM %1_alt")
                         .arg(QLatin1String(table));
        steps << QStringLiteral("CREATE TABLE umstellung (tabelle TEXT PRIMARY KEY, ab INTEGER, bis INTEGER)");
    } else {
        steps << QStringLiteral("ALTER TABLE antworten ADD COLUMN uid BLOB")
              << QStringLiteral("ALTER TABLE spiele ADD COLUMN uid BLOB");
        for (const char* table : {"antworten", "spiele"})
            steps << QStringLiteral("ALTER TABLE %1 ADD COLUMN klasse TEXT").arg(QLatin1String(table))
                  << QStringLiteral("ALTER TABLE %1 ADD COLUMN rechner TEXT").arg(QLatin1String(table));
        steps
              << QStringLiteral("CREATE TABLE umstellung (tabelle TEXT PRIMARY KEY, ab INTEGER, bis INTEGER)");
        for (const char* table : {"antworten", "spiele"})
            steps << QStringLiteral("INSERT INTO umstellung SELECT '%1', 0, coalesce(max(id), 0) FROM %1")
                         .arg(QLatin1String(table));
    }
    steps << CompletionTrigger(QStringLiteral("antworten")) << CompletionTrigger(QStringLiteral("spiele"))
          << QStringLiteral("PRAGMA application_id = %1").arg(kApplicationId)
          << QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion);
    for (const QString& step : steps)
        if (!q.exec(step))
            return failed();
    if (!q.exec(QStringLiteral("COMMIT")))
        return failed();
    return true;
}

bool HistoryStore::ConversionPending() const
{
    if (state_ != State::Ready)
        return false;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    return q.exec(QStringLiteral("SELECT 1 FROM main.sqlite_master WHERE name = 'umstellung'")) && q.next();
}

int HistoryStore::ConvertStep(int rows)
{
    if (state_ != State::Ready || !writable_)
        return -1;
    const std::lock_guard turn(g_writeTurn);
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        FailFrom(q.lastError(), State::WriteFailed);
        return -1;
    }
    const auto failed = [&] {
        const QSqlError error = q.lastError();
        q.finish();
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        FailFrom(error, State::WriteFailed);
        return -1;
    };
    const auto value = [&](const QString& query) -> std::optional<qint64> {
        if (!q.exec(query) || !q.next())
            return std::nullopt;
        const qint64 v = q.value(0).toLongLong();
        q.finish();
        return v;
    };
    int done = 0;
    const std::optional<qint64> pending =
        value(QStringLiteral("SELECT count(*) FROM main.sqlite_master WHERE name = 'umstellung'"));
    if (!pending)
        return failed();
    if (*pending == 0) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return 0;
    }
    for (const QString& table : {QStringLiteral("antworten"), QStringLiteral("spiele")}) {
        const QString names = QLatin1String(table == QLatin1String("antworten") ? kAnswerNames : kGameNames);
        const std::optional<qint64> old =
            value(QStringLiteral("SELECT count(*) FROM main.sqlite_master WHERE name = '%1_alt'").arg(table));
        const std::optional<qint64> waiting =
            old.value_or(0) ? value(QStringLiteral("SELECT EXISTS (SELECT 1 FROM main.%1_alt)").arg(table)) : old;
        if (!waiting)
            return failed();
        if (*waiting) {
            // Rows of the first schema move over with their ids, a uid made from their time.
            if (!q.exec(QStringLiteral("INSERT INTO main.%1 (%2, uid) SELECT *, %3 FROM (%4)")
                            .arg(table, names, UidSql(QStringLiteral("utc")), OldRows(table + QStringLiteral("_alt"), rows)))
                || !q.exec(QStringLiteral("DELETE FROM main.%1_alt WHERE id IN (SELECT id FROM main.%1_alt ORDER BY id "
                                          "LIMIT %2)")
                               .arg(table).arg(rows)))
                return failed();
            done = rows;
            break;
        }
        // Rows of the second schema get their uid, a stretch of ids at a time.
        if (!q.exec(QStringLiteral("SELECT ab, bis FROM main.umstellung WHERE tabelle = '%1'").arg(table)))
            return failed();
        if (q.next() && q.value(0).toLongLong() < q.value(1).toLongLong()) {
            const qint64 from = q.value(0).toLongLong();
            const qint64 to = std::min(q.value(1).toLongLong(), from + rows);
            q.finish();
            if (!q.exec(QStringLiteral("UPDATE main.%1 SET uid = %2 WHERE id > %3 AND id <= %4 AND uid IS NULL")
                            .arg(table, UidSql(QStringLiteral("utc")))
                            .arg(from)
                            .arg(to))
                || !q.exec(QStringLiteral("UPDATE main.umstellung SET ab = %1 WHERE tabelle = '%2'").arg(to).arg(table)))
                return failed();
            done = rows;
            break;
        }
        q.finish();
    }
    // Everything moved: the emptied tables of the first schema stay, so a
    // reader that opened meanwhile reads on.
    if (done == 0 && !q.exec(QStringLiteral("DROP TABLE main.umstellung")))
        return failed();
    if (!q.exec(QStringLiteral("COMMIT")))
        return failed();
    return done;
}

} // namespace history
