// Deleting the practice record: every row of an open record, or the file
// with its log and journal.

#include "record/HistoryStore.h"
#include "record/RecordInternals.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace history {

using namespace detail;

bool HistoryStore::DeleteAll()
{
    if (state_ != State::Ready || !writable_)
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return FailFrom(q.lastError(), State::WriteFailed);
    QStringList statements{QStringLiteral("DELETE FROM main.antworten"), QStringLiteral("DELETE FROM main.spiele")};
    // Rows of the first schema that still wait for their conversion go too.
    if (q.exec(QStringLiteral("SELECT name FROM main.sqlite_master WHERE name IN ('antworten_alt', 'spiele_alt')")))
        while (q.next())
            statements << QStringLiteral("DELETE FROM main.") + q.value(0).toString();
    statements << QStringLiteral("COMMIT");
    for (const QString& statement : statements)
        if (!q.exec(statement)) {
            const QSqlError error = q.lastError();
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            return FailFrom(error, State::WriteFailed);
        }
    // The rows are gone; compacting also overwrites what the free pages still held.
    // A program writing meanwhile may keep it from happening now; the next deletion does it.
    q.exec(QStringLiteral("VACUUM"));
    q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    return true;
}

bool HistoryStore::DeleteFile(const QString& path)
{
    if (QFileInfo(path).isDir())
        return false;
    bool ok = true;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const QString name = path + QLatin1String(suffix);
        if (QFileInfo(name).isFile() && !QFile::remove(name))
            ok = false;
    }
    return ok;
}

} // namespace history
