// The sender thread. Its two Qt SQL connections belong to it alone: they are
// made, used and removed in run().

#include "history/SchoolSender.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLockFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <atomic>
#include <chrono>
#include <limits>
#include <vector>

namespace school {

namespace {

QString NextName(const char* what)
{
    static std::atomic<int> counter{0};
    return QStringLiteral("schule-%1-%2").arg(QLatin1String(what)).arg(++counter);
}

// The local record holds clock time without a zone (older files) or ISO 8601
// with the UTC offset; the server gets an instant.
QString ServerTime(const QString& stored)
{
    QDateTime t = QDateTime::fromString(stored, Qt::ISODateWithMs);
    if (!t.isValid())
        t = QDateTime::fromString(stored, Qt::ISODate);
    // A time nobody can read must not hold up every row after it.
    if (!t.isValid())
        t = QDateTime::currentDateTimeUtc();
    return t.toUTC().toString(Qt::ISODateWithMs);
}

// Text as PostgreSQL takes it: never NULL, no NUL character.
QString Text(const QVariant& v)
{
    QString s = v.toString();
    s.remove(QChar(0));
    return s.isNull() ? QStringLiteral("") : s;
}

qint64 Clamp(qint64 v, qint64 lo, qint64 hi) { return v < lo ? lo : (v > hi ? hi : v); }

struct Row {
    qint64 id = 0;
    QString time; // as stored locally
    std::vector<QVariant> values;
};

// Up to `limit` rows after `after`, with the values in the server's column order from the kind on.
bool ReadRows(QSqlDatabase db, bool answers, qint64 after, int limit, std::vector<Row>& rows)
{
    rows.clear();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(answers ? QStringLiteral("SELECT id, zeit, kind, rechenart, reihe, zeile, erwartet, eingegeben, richtig, ms "
                                       "FROM antworten WHERE id > ? ORDER BY id LIMIT ?")
                      : QStringLiteral("SELECT id, zeit, kind, sekunden FROM spiele WHERE id > ? ORDER BY id LIMIT ?"));
    q.addBindValue(after);
    q.addBindValue(limit);
    if (!q.exec())
        return false;
    constexpr qint64 kMaxInt = std::numeric_limits<qint32>::max();
    while (q.next()) {
        Row r;
        r.id = q.value(0).toLongLong();
        r.time = q.value(1).toString();
        r.values.push_back(ServerTime(r.time));
        r.values.push_back(Text(q.value(2)));
        if (answers) {
            r.values.push_back(static_cast<int>(Clamp(q.value(3).toLongLong(), -32768, 32767)));
            r.values.push_back(Text(q.value(4)));
            r.values.push_back(static_cast<int>(Clamp(q.value(5).toLongLong(), -32768, 32767)));
            r.values.push_back(Text(q.value(6)));
            r.values.push_back(Text(q.value(7)));
            r.values.push_back(q.value(8).toLongLong() != 0);
            r.values.push_back(static_cast<int>(Clamp(q.value(9).toLongLong(), 0, kMaxInt)));
        } else {
            r.values.push_back(static_cast<int>(Clamp(q.value(3).toLongLong(), 0, kMaxInt)));
        }
        rows.push_back(std::move(r));
    }
    return true;
}

// Whether the row the server was last given is still the same one: a record
// emptied or replaced since numbers its rows anew.
bool StillThere(QSqlDatabase db, const char* table, qint64 id, const QString& time)
{
    if (id == 0)
        return true;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT zeit FROM %1 WHERE id = ?").arg(QLatin1String(table)));
    q.addBindValue(id);
    return q.exec() && q.next() && q.value(0).toString() == time;
}

qint64 Waiting(QSqlDatabase db, const SendState& st)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT (SELECT count(*) FROM antworten WHERE id > ?) + (SELECT count(*) FROM spiele WHERE id > ?)"));
    q.addBindValue(st.answersUpTo);
    q.addBindValue(st.gamesUpTo);
    return q.exec() && q.next() ? q.value(0).toLongLong() : 0;
}

} // namespace

SchoolSender::SchoolSender(Options options)
    : options_(std::move(options)), recordConnection_(NextName("lokal")), serverConnection_(NextName("server"))
{
}

SchoolSender::~SchoolSender()
{
    if (isRunning())
        StopWithin(std::numeric_limits<int>::max());
}

void SchoolSender::Wake()
{
    {
        const std::lock_guard lock(mutex_);
        woken_ = true;
    }
    wake_.notify_one();
}

bool SchoolSender::StopWithin(int ms)
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    return wait(QDeadlineTimer(ms));
}

void SchoolSender::run()
{
    using Clock = std::chrono::steady_clock;
    const auto retry = std::chrono::seconds(options_.retrySeconds);
    bool failed = false;
    Clock::time_point lastTry = Clock::now();
    while (true) {
        bool stop = false;
        {
            std::unique_lock lock(mutex_);
            // A new answer is sent at once; after a failure the next attempt
            // waits for the retry time (or the end of the program).
            wake_.wait_until(lock, (failed ? lastTry : Clock::now()) + retry,
                             [&] { return stopping_ || (woken_ && !failed); });
            stop = stopping_;
            woken_ = false;
        }
        lastTry = Clock::now();
        failed = SendAll() == Result::Failed;
        if (stop)
            break;
    }
    for (const QString& name : {recordConnection_, serverConnection_}) {
        if (QSqlDatabase::contains(name)) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }
}

bool SchoolSender::OpenRecord()
{
    if (QSqlDatabase::contains(recordConnection_) && QSqlDatabase::database(recordConnection_, false).isOpen()
        && QFileInfo::exists(options_.recordPath))
        return true;
    // Only a record the recording made is read; this thread never creates one.
    if (!QFileInfo(options_.recordPath).isFile())
        return false;
    QSqlDatabase db = QSqlDatabase::contains(recordConnection_)
        ? QSqlDatabase::database(recordConnection_, false)
        : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), recordConnection_);
    db.setDatabaseName(options_.recordPath);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=200"));
    if (!db.open())
        return false;
    // Only a record of this program ("RECK" in the file's header) with its tables.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT (SELECT application_id FROM pragma_application_id) = 1380270923 "
                               "AND (SELECT user_version FROM pragma_user_version) >= 1"))
        || !q.next() || !q.value(0).toBool()) {
        q.finish();
        db.close();
        return false;
    }
    return true;
}

bool SchoolSender::OpenServer(QString& why)
{
    QSqlDatabase db = QSqlDatabase::contains(serverConnection_)
        ? QSqlDatabase::database(serverConnection_, false)
        : AddServerConnection(serverConnection_, options_.connection);
    if (db.isOpen())
        return true;
    if (db.open())
        return true;
    why = GermanReason(db.lastError());
    return false;
}

void SchoolSender::Fail(SendState& st, const QString& why)
{
    if (!st.failingSince.isValid())
        st.failingSince = QDateTime::currentDateTimeUtc();
    st.reason = why;
}

SchoolSender::Result SchoolSender::SendAll()
{
    if (!OpenRecord())
        return Result::NothingToSend;
    QSqlDatabase local = QSqlDatabase::database(recordConnection_, false);
    // The log is folded into the file here, away from the child's thread, at
    // the size where SQLite would have done it (1000 pages): each checkpoint
    // syncs the disk, which would slow the child's next write if done often.
    // A reader or writer at work meanwhile only makes it partial.
    if (QFileInfo(options_.recordPath + QStringLiteral("-wal")).size() > 1000 * 4096)
        QSqlQuery(local).exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));

    // Two programs of one user share the record: one of them sends.
    // (Not the name QSettings locks the state file with.)
    QLockFile lock(options_.statePath + QStringLiteral(".sender"));
    if (!lock.tryLock(0))
        return Result::NothingToSend;

    SendState st = ReadState(options_.statePath);
    if (st.source.isEmpty() || !StillThere(local, "antworten", st.answersUpTo, st.answersTime)
        || !StillThere(local, "spiele", st.gamesUpTo, st.gamesTime)) {
        const QDateTime since = st.failingSince;
        const QString reason = st.reason;
        st = SendState{};
        st.source = QUuid::createUuid().toString(QUuid::WithoutBraces);
        st.failingSince = since;
        st.reason = reason;
    }

    Result result = Result::NothingToSend;
    std::vector<Row> answers, games;
    bool retried = false;
    while (true) {
        if (!ReadRows(local, true, st.answersUpTo, options_.batch, answers)
            || !ReadRows(local, false, st.gamesUpTo, options_.batch, games))
            break; // the recording's own checks report a damaged record
        if (answers.empty() && games.empty())
            break;
        QString why;
        const bool wasOpen = QSqlDatabase::contains(serverConnection_)
            && QSqlDatabase::database(serverConnection_, false).isOpen();
        if (!OpenServer(why)) {
            Fail(st, why);
            result = Result::Failed;
            break;
        }
        QSqlDatabase server = QSqlDatabase::database(serverConnection_, false);
        QSqlError error;
        if (!server.transaction())
            error = server.lastError();
        // No RETURNING and no conflict target: the computer's account has no
        // right to read, and the key is the only unique constraint.
        const QString intro = QStringLiteral("INSERT INTO rechenkov.%1 VALUES (?, ?, ?, ?, ");
        QSqlQuery q(server);
        if (!error.isValid() && !answers.empty()
            && !q.prepare(intro.arg(QStringLiteral("antworten (quelle, lokale_id, rechner, klasse, zeit, kind, "
                                                   "rechenart, reihe, zeile, erwartet, eingegeben, richtig, ms)"))
                          + QStringLiteral("?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING")))
            error = q.lastError();
        for (std::size_t i = 0; !error.isValid() && i < answers.size(); ++i) {
            q.addBindValue(st.source);
            q.addBindValue(answers[i].id);
            q.addBindValue(options_.computer);
            q.addBindValue(options_.klasse);
            for (const QVariant& v : answers[i].values)
                q.addBindValue(v);
            if (!q.exec())
                error = q.lastError();
        }
        QSqlQuery g(server);
        if (!error.isValid() && !games.empty()
            && !g.prepare(intro.arg(QStringLiteral("spiele (quelle, lokale_id, rechner, klasse, zeit, kind, sekunden)"))
                          + QStringLiteral("?, ?, ?) ON CONFLICT DO NOTHING")))
            error = g.lastError();
        for (std::size_t i = 0; !error.isValid() && i < games.size(); ++i) {
            g.addBindValue(st.source);
            g.addBindValue(games[i].id);
            g.addBindValue(options_.computer);
            g.addBindValue(options_.klasse);
            for (const QVariant& v : games[i].values)
                g.addBindValue(v);
            if (!g.exec())
                error = g.lastError();
        }
        if (!error.isValid() && !server.commit())
            error = server.lastError();
        // The prepared statements go while their connection is still there.
        q = QSqlQuery();
        g = QSqlQuery();
        if (error.isValid()) {
            server.rollback();
            server.close();
            // A connection left from before may have died with a restart of
            // the server: one fresh attempt before waiting.
            if (wasOpen && !retried) {
                retried = true;
                continue;
            }
            Fail(st, GermanReason(error));
            result = Result::Failed;
            break;
        }
        retried = false;
        if (!answers.empty()) {
            st.answersUpTo = answers.back().id;
            st.answersTime = answers.back().time;
        }
        if (!games.empty()) {
            st.gamesUpTo = games.back().id;
            st.gamesTime = games.back().time;
        }
        st.failingSince = QDateTime();
        st.reason.clear();
        result = Result::Sent;
        WriteState(options_.statePath, st);
    }
    st.waiting = Waiting(local, st);
    WriteState(options_.statePath, st);
    return result;
}

} // namespace school
