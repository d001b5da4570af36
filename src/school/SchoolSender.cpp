// The sender thread and its guard. The record's store and the server's Qt
// SQL connection belong to the sender thread alone: they are made, used and
// removed in run(). The guard only reads the time a call began and, when
// it must, shuts the connection's socket down.

#include "school/SchoolSender.h"

#include "record/HistoryStore.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QLockFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <atomic>
#include <dlfcn.h>
#include <limits>
#include <optional>
#include <random>
#include <sys/socket.h>
#include <vector>

namespace school {

namespace {

using Clock = std::chrono::steady_clock;

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
    QString klasse, computer; // as recorded with the row; empty: this computer's now
    std::vector<QVariant> values; // the server's columns from the identity on
};

// How the record gives its rows their identity: from the version that keeps
// one per row on, each row's own; in an older record (read before its
// conversion) one made from the record's random id and the row number.
struct RecordForm {
    bool ownIds = false;
    QUuid source;
};

// Up to `limit` rows after `after`, with their identity and the values in
// the server's column order. A row of a converted record that has no
// identity yet ends the batch: it and the rows after it wait.
bool ReadRows(QSqlDatabase db, bool answers, const RecordForm& form, qint64 after, int limit, std::vector<Row>& rows)
{
    rows.clear();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // A converted record keeps each row's identity, class and computer; the
    // main tables are read (not a reader's view of a conversion under way).
    const QString id = form.ownIds ? QStringLiteral("uid, klasse, rechner") : QStringLiteral("NULL, NULL, NULL");
    q.prepare(answers ? QStringLiteral("SELECT id, zeit, %1, kind, rechenart, reihe, zeile, erwartet, eingegeben, richtig, "
                                       "ms FROM main.antworten WHERE id > ? ORDER BY id LIMIT ?").arg(id)
                      : QStringLiteral("SELECT id, zeit, %1, kind, sekunden FROM main.spiele WHERE id > ? ORDER BY id "
                                       "LIMIT ?").arg(id));
    q.addBindValue(after);
    q.addBindValue(limit);
    if (!q.exec())
        return false;
    constexpr qint64 kMaxInt = std::numeric_limits<qint32>::max();
    while (q.next()) {
        Row r;
        r.id = q.value(0).toLongLong();
        r.time = q.value(1).toString();
        QUuid uid;
        if (form.ownIds) {
            const QByteArray bytes = q.value(2).toByteArray();
            if (bytes.size() != 16)
                break;
            uid = QUuid::fromRfc4122(bytes);
        } else {
            uid = QUuid::createUuidV5(form.source, QStringLiteral("%1/%2").arg(answers ? "antworten" : "spiele").arg(r.id));
        }
        r.klasse = q.value(3).toString();
        r.computer = q.value(4).toString();
        r.values.push_back(uid.toString(QUuid::WithoutBraces));
        r.values.push_back(r.id);
        r.values.push_back(ServerTime(r.time));
        r.values.push_back(Text(q.value(5)));
        if (answers) {
            r.values.push_back(static_cast<int>(Clamp(q.value(6).toLongLong(), -32768, 32767)));
            r.values.push_back(Text(q.value(7)));
            r.values.push_back(static_cast<int>(Clamp(q.value(8).toLongLong(), -32768, 32767)));
            r.values.push_back(Text(q.value(9)));
            r.values.push_back(Text(q.value(10)));
            r.values.push_back(q.value(11).toLongLong() != 0);
            r.values.push_back(static_cast<int>(Clamp(q.value(12).toLongLong(), 0, kMaxInt)));
        } else {
            r.values.push_back(static_cast<int>(Clamp(q.value(6).toLongLong(), 0, kMaxInt)));
        }
        rows.push_back(std::move(r));
    }
    return !q.lastError().isValid();
}

// Whether the row the server was last given is still the same one: a record
// emptied or replaced since numbers its rows anew. Compared as instants, so
// that a conversion that writes the time in a newer form changes nothing.
// None when the record could not be read.
std::optional<bool> StillThere(QSqlDatabase db, const char* table, qint64 id, const QString& time)
{
    if (id == 0)
        return true;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT zeit FROM %1 WHERE id = ?").arg(QLatin1String(table)));
    q.addBindValue(id);
    if (!q.exec())
        return std::nullopt;
    return q.next() && ServerTime(q.value(0).toString()) == ServerTime(time);
}

qint64 Waiting(QSqlDatabase db, const SendState& st)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT (SELECT count(*) FROM antworten WHERE id > ?) + (SELECT count(*) FROM spiele WHERE id > ?)"));
    q.addBindValue(st.answersUpTo);
    q.addBindValue(st.gamesUpTo);
    return q.exec() && q.next() ? q.value(0).toLongLong() : st.waiting;
}

bool Given(const QString& connection, const char* key)
{
    return connection.contains(QRegularExpression(QStringLiteral("(^|\\s)%1\\s*=").arg(QLatin1String(key))));
}

// The sender's bounds on every wait, where the administrator set none:
// a dead line is noticed by TCP keepalives (after 25 s of silence) and by
// unacknowledged data (20 s), a statement the server works on too long is
// ended by the server.
const char* const kBounds[][2] = {{"keepalives", "1"},         {"keepalives_idle", "10"},
                                  {"keepalives_interval", "5"}, {"keepalives_count", "3"},
                                  {"tcp_user_timeout", "20000"}, {"options", "'-c statement_timeout=20000'"}};

// The socket of an open connection, through the client library the driver
// loaded; -1 when there is none.
int SocketOf(const QSqlDatabase& db)
{
    using Socket = int (*)(const void*);
    static const Socket socketOf = [] {
        void* lib = dlopen("libpq.so.5", RTLD_LAZY | RTLD_NOLOAD);
        return lib ? reinterpret_cast<Socket>(dlsym(lib, "PQsocket")) : nullptr;
    }();
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!socketOf || !handle.isValid()
        || (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return -1;
    const void* conn = *static_cast<const void* const*>(handle.constData());
    return conn ? socketOf(conn) : -1;
}

QString StallReason(const QDateTime& since)
{
    return QStringLiteral("Der Schulserver antwortet nicht: eine Sendung wartet seit %1 Uhr auf seine Antwort.")
        .arg(QLocale(QLocale::German, QLocale::Germany).toString(since.toLocalTime(), QStringLiteral("HH:mm")));
}

} // namespace

SchoolSender::SchoolSender(Options options) : options_(std::move(options)), serverConnection_(NextName("server")) {}

SchoolSender::~SchoolSender()
{
    if (isRunning()) {
        StopWithin(2000);
        wait();
    }
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
    if (wait(QDeadlineTimer(ms)))
        return true;
    const std::lock_guard lock(mutex_);
    CutLocked();
    return false;
}

void SchoolSender::CutLocked()
{
    cut_ = true;
    if (socket_ >= 0)
        ::shutdown(socket_, SHUT_RDWR);
}

void SchoolSender::Busy(bool on)
{
    {
        const std::lock_guard lock(mutex_);
        busy_ = on;
        told_ = false;
        busySince_ = Clock::now();
    }
    guardWake_.notify_one();
}

void SchoolSender::Guard()
{
    std::unique_lock lock(mutex_);
    while (!guardEnd_) {
        guardWake_.wait_for(lock, std::chrono::milliseconds(250));
        if (!busy_)
            continue;
        const auto busyFor = Clock::now() - busySince_;
        if (!cut_ && busyFor >= std::chrono::seconds(options_.cutSeconds))
            CutLocked();
        if (!told_ && busyFor >= std::chrono::seconds(options_.slowSeconds)) {
            told_ = true;
            const QDateTime since = QDateTime::currentDateTimeUtc().addMSecs(
                -std::chrono::duration_cast<std::chrono::milliseconds>(busyFor).count());
            lock.unlock();
            {
                const std::lock_guard state(stateMutex_);
                SendState st = published_;
                if (!st.failingSince.isValid())
                    st.failingSince = since;
                st.reason = StallReason(since);
                WriteState(options_.statePath, st);
            }
            lock.lock();
        }
    }
}

bool SchoolSender::Publish(const SendState& st)
{
    const std::lock_guard lock(stateMutex_);
    published_ = st;
    return WriteState(options_.statePath, st);
}

void SchoolSender::run()
{
    guard_ = std::thread([this] { Guard(); });
    std::mt19937 random(std::random_device{}());
    const int retryMs = options_.retrySeconds * 1000;
    bool failed = false;
    Clock::time_point retryAt;
    while (true) {
        bool stop = false;
        {
            std::unique_lock lock(mutex_);
            wake_.wait_until(lock, failed ? retryAt : Clock::now() + std::chrono::milliseconds(retryMs),
                             [&] { return stopping_ || woken_; });
            stop = stopping_;
            woken_ = false;
        }
        // After a failure a new answer is only counted; the server is tried
        // again at the retry time, and once more at the end.
        const bool send = stop || !failed || Clock::now() >= retryAt;
        const Result result = SendAll(send);
        if (send) {
            failed = result == Result::Failed;
            // Shortened at random, so that a room of computers refused by a
            // full server does not come back all at once.
            std::uniform_int_distribution<int> spread(retryMs / 2, retryMs);
            retryAt = Clock::now() + std::chrono::milliseconds(spread(random));
        }
        if (stop)
            break;
    }
    CloseServer();
    QSqlDatabase::removeDatabase(serverConnection_);
    record_.reset();
    {
        const std::lock_guard lock(mutex_);
        guardEnd_ = true;
    }
    guardWake_.notify_one();
    guard_.join();
}

bool SchoolSender::OpenRecord()
{
    // A record set aside (or removed) meanwhile is left for the one now at the path.
    // So is a connection Qt SQL dropped at the application's end.
    if (record_ && record_->GetState() == history::HistoryStore::State::Ready && record_->StillAtPath()
        && record_->Connection().isOpen())
        return true;
    record_.reset();
    // Only a record the recording made is read; this thread never creates one.
    auto store = std::make_unique<history::HistoryStore>(options_.recordPath);
    if (!store->OpenForReading(false))
        return false;
    record_ = std::move(store);
    return true;
}

bool SchoolSender::OpenServer(QString& why)
{
    if (!QSqlDatabase::contains(serverConnection_)) {
        QSqlDatabase db = AddServerConnection(serverConnection_, options_.connection);
        QString options = db.connectOptions();
        for (const auto& bound : kBounds)
            if (!Given(options_.connection, bound[0]))
                options += QStringLiteral(" %1=%2").arg(QLatin1String(bound[0]), QLatin1String(bound[1]));
        db.setConnectOptions(options);
    }
    QSqlDatabase db = QSqlDatabase::database(serverConnection_, false);
    if (db.isOpen()) // the batch before this one's
        return true;
    if (!db.open()) {
        why = GermanReason(db.lastError());
        return false;
    }
    // The administrator's own options replace ours: the statement timeout is set apart.
    if (Given(options_.connection, "options") && !QSqlQuery(db).exec(QStringLiteral("SET statement_timeout = 20000"))) {
        why = GermanReason(db.lastError());
        db.close();
        return false;
    }
    const int socket = SocketOf(db);
    const std::lock_guard lock(mutex_);
    socket_ = socket;
    if (cut_) // the end came while connecting
        CutLocked();
    return true;
}

void SchoolSender::CloseServer()
{
    {
        const std::lock_guard lock(mutex_);
        socket_ = -1;
    }
    if (QSqlDatabase::contains(serverConnection_))
        QSqlDatabase::database(serverConnection_, false).close();
}

SchoolSender::Result SchoolSender::SendAll(bool send)
{
    if (!OpenRecord())
        return Result::NothingToSend;
    QSqlDatabase local = record_->Connection();
    // The log is folded into the file here, away from the child's thread, at
    // the size where SQLite would have done it (1000 pages): each checkpoint
    // syncs the disk, which would slow the child's next write if done often.
    // The reading connection cannot write: a writing one is opened for it.
    if (QFileInfo(options_.recordPath + QStringLiteral("-wal")).size() > 1000 * 4096) {
        history::HistoryStore writer(options_.recordPath);
        if (writer.Open(false))
            writer.Checkpoint();
    }

    // Two programs of one user share the record: one of them sends.
    // (Not the state file's name with ".lock": its writing locks that one itself.)
    QLockFile lock(options_.statePath + QStringLiteral(".sender"));
    if (!lock.tryLock(0))
        return Result::NothingToSend;

    SendState st = ReadState(options_.statePath);
    // What this run sent stays sent when the state file could not be written.
    if (!memory_.source.isEmpty() && (st.source.isEmpty() || memory_.source == st.source)
        && memory_.answersUpTo >= st.answersUpTo && memory_.gamesUpTo >= st.gamesUpTo)
        st = memory_;
    // While an update converts the record, rows of the earlier form move
    // over with their old (lower) ids after newer rows: the last row sent
    // may not be there yet, and a cursor moved past the newer rows would
    // never see the older ones. Nothing is decided or sent until the end of
    // the conversion wakes the sender again.
    const bool converting = record_->ConversionPending();
    if (converting)
        send = false;
    const std::optional<bool> answersThere =
        converting ? true : StillThere(local, "antworten", st.answersUpTo, st.answersTime);
    const std::optional<bool> gamesThere = converting ? true : StillThere(local, "spiele", st.gamesUpTo, st.gamesTime);
    if (!answersThere || !gamesThere)
        return Result::NothingToSend; // unreadable now: nothing is decided on it
    if (st.source.isEmpty() || !*answersThere || !*gamesThere) {
        const QDateTime since = st.failingSince;
        const QString reason = st.reason;
        st = SendState{};
        st.source = QUuid::createUuid().toString(QUuid::WithoutBraces);
        st.failingSince = since;
        st.reason = reason;
    }
    {
        // The guard's word on a slow send starts from this.
        const std::lock_guard state(stateMutex_);
        published_ = st;
    }
    RecordForm form;
    form.source = QUuid(st.source);
    {
        QSqlQuery version(local);
        form.ownIds = version.exec(QStringLiteral("SELECT user_version FROM pragma_user_version")) && version.next()
            && version.value(0).toInt() >= 3;
    }

    Result result = Result::NothingToSend;
    std::vector<Row> answers, games;
    bool retried = false;
    while (send) {
        if (!ReadRows(local, true, form, st.answersUpTo, options_.batch, answers)
            || !ReadRows(local, false, form, st.gamesUpTo, options_.batch, games))
            break; // the recording's own checks report a damaged record
        if (answers.empty() && games.empty())
            break;
        {
            const std::lock_guard guard(mutex_);
            if (cut_) // given up at the end of the program
                break;
        }
        Busy(true);
        const QDateTime began = QDateTime::currentDateTimeUtc();
        QString why;
        if (!OpenServer(why)) {
            Busy(false);
            if (!st.failingSince.isValid())
                st.failingSince = began;
            st.reason = why;
            result = Result::Failed;
            break;
        }
        QSqlDatabase server = QSqlDatabase::database(serverConnection_, false);
        // Qt refuses calls on a connection it found closed without saying
        // why: every call's result counts, not only the errors it reports.
        QSqlError error;
        auto done = [&](bool ok, const QSqlError& why) {
            if (!ok && !error.isValid())
                error = why.isValid() ? why
                                      : QSqlError(QString(), QStringLiteral("connection not open"), QSqlError::ConnectionError);
            return !error.isValid();
        };
        done(server.transaction(), server.lastError());
        // No RETURNING and no conflict target: the computer's account has no
        // right to read, and a row's identity is the only key that counts.
        const QString intro = QStringLiteral("INSERT INTO rechenkov.%1 VALUES (?, ?, ?, ?, ?, ?, ?, ");
        QSqlQuery q(server), g(server);
        if (!answers.empty() && !error.isValid())
            done(q.prepare(intro.arg(QStringLiteral("antworten (rechner, klasse, quelle, uid, lokale_id, zeit, kind, "
                                                    "rechenart, reihe, zeile, erwartet, eingegeben, richtig, ms)"))
                           + QStringLiteral("?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING")),
                 q.lastError());
        if (!games.empty() && !error.isValid())
            done(g.prepare(intro.arg(QStringLiteral("spiele (rechner, klasse, quelle, uid, lokale_id, zeit, kind, sekunden)"))
                           + QStringLiteral("?) ON CONFLICT DO NOTHING")),
                 g.lastError());
        for (auto [query, rows] : {std::pair{&q, &answers}, std::pair{&g, &games}}) {
            for (std::size_t i = 0; !error.isValid() && i < rows->size(); ++i) {
                const Row& row = (*rows)[i];
                query->addBindValue(row.computer.isEmpty() ? options_.computer : row.computer);
                query->addBindValue(row.klasse.isEmpty() ? options_.klasse : row.klasse);
                query->addBindValue(st.source);
                for (const QVariant& v : (*rows)[i].values)
                    query->addBindValue(v);
                done(query->exec(), query->lastError());
            }
        }
        if (!error.isValid())
            done(server.commit(), server.lastError());
        // The prepared statements go while their connection is still there.
        q = QSqlQuery();
        g = QSqlQuery();
        bool cut = false;
        {
            const std::lock_guard guard(mutex_);
            cut = cut_;
        }
        Busy(false);
        if (error.isValid()) {
            server.rollback();
            CloseServer();
            // A line that broke under way (a restarted server, a reset
            // connection: no SQLSTATE, or one of the classes of a lost
            // connection) gets one fresh attempt at once.
            const QString code = error.nativeErrorCode();
            if (!cut && !retried && (code.isEmpty() || code.startsWith(QLatin1String("08")) || code.startsWith(QLatin1String("57P")))) {
                retried = true;
                continue;
            }
            if (!st.failingSince.isValid())
                st.failingSince = began;
            st.reason = cut ? QStringLiteral("Der Schulserver hat auf eine Sendung nicht geantwortet; sie wurde "
                                             "abgebrochen und wird wiederholt.")
                            : GermanReason(error);
            result = Result::Failed;
            break;
        }
        if (!answers.empty()) {
            st.answersUpTo = answers.back().id;
            st.answersTime = answers.back().time;
        }
        if (!games.empty()) {
            st.gamesUpTo = games.back().id;
            st.gamesTime = games.back().time;
        }
        retried = false;
        st.failingSince = QDateTime();
        st.reason.clear();
        st.waiting = Waiting(local, st);
        result = Result::Sent;
        memory_ = st;
        Publish(st);
    }
    // Nothing waits, or the server cannot take it now: its slot is freed.
    CloseServer();
    {
        // A line cut after a stall counts for this send only.
        const std::lock_guard guard(mutex_);
        if (!stopping_)
            cut_ = false;
    }
    st.waiting = Waiting(local, st);
    memory_ = st;
    Publish(st);
    return result;
}

} // namespace school
