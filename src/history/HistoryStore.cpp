// The practice record over Qt SQL. Everything a user typed reaches SQL only
// as a bound value. The file is in WAL mode with synchronous=NORMAL: a
// commit is one append to the log, so an answer costs little, and a killed
// program loses at most the answer being written.

#include "history/HistoryStore.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace history {

namespace {

// Marks the file as this program's, so a foreign SQLite file at the same place is recognised.
constexpr quint32 kApplicationId = 0x5245434B; // "RECK"

// The same columns in both tables' time: the local clock time with its
// offset from UTC as text (what the CSV shows), and milliseconds since the
// epoch (what periods and the order are reckoned with).
const char* const kAnswerColumns = "id INTEGER PRIMARY KEY AUTOINCREMENT, zeit TEXT NOT NULL, utc INTEGER NOT NULL, "
                                   "kind TEXT NOT NULL, rechenart INTEGER NOT NULL, reihe TEXT NOT NULL, "
                                   "zeile INTEGER NOT NULL, erwartet TEXT NOT NULL, eingegeben TEXT NOT NULL, "
                                   "richtig INTEGER NOT NULL, ms INTEGER NOT NULL";
const char* const kGameColumns = "id INTEGER PRIMARY KEY AUTOINCREMENT, zeit TEXT NOT NULL, utc INTEGER NOT NULL, "
                                 "kind TEXT NOT NULL, sekunden INTEGER NOT NULL";

// The first schema kept the local clock time without a zone. Such a time is
// read as local time where it is read: its milliseconds since the epoch,
// and its text with the offset added (from the column `m`, the offset in minutes).
const char* const kOldOffset = "CAST(round((julianday(zeit) - julianday(zeit, 'utc')) * 1440.0) AS INTEGER)";
const char* const kOldUtc = "CAST(round((julianday(zeit, 'utc') - 2440587.5) * 86400000.0) AS INTEGER)";
const char* const kOldZeit =
    "zeit || printf('%s%02d:%02d', CASE WHEN m < 0 THEN '-' ELSE '+' END, abs(m) / 60, abs(m) % 60)";

QString OldAnswers()
{
    return QStringLiteral("SELECT id, %1 AS zeit, %2 AS utc, kind, rechenart, reihe, zeile, erwartet, eingegeben, "
                          "richtig, ms FROM (SELECT *, %3 AS m FROM main.antworten)")
        .arg(QLatin1String(kOldZeit), QLatin1String(kOldUtc), QLatin1String(kOldOffset));
}

QString OldGames()
{
    return QStringLiteral("SELECT id, %1 AS zeit, %2 AS utc, kind, sekunden FROM (SELECT *, %3 AS m FROM main.spiele)")
        .arg(QLatin1String(kOldZeit), QLatin1String(kOldUtc), QLatin1String(kOldOffset));
}

// SQLite's result codes (the low byte of an extended one) that mean the file itself is damaged.
bool IsDamage(const QSqlError& e)
{
    bool ok = false;
    const int code = e.nativeErrorCode().toInt(&ok) & 0xff;
    return (ok && (code == 11 || code == 26)) || e.databaseText().contains(QLatin1String("malformed"));
}

QString NextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("verlauf-%1").arg(++counter);
}

quint32 BigEndian32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return (quint32(u[0]) << 24) | (quint32(u[1]) << 16) | (quint32(u[2]) << 8) | quint32(u[3]);
}

// The application id that the newest copy of the first page in the log
// carries, if the log holds one: a file of ours that an older version put
// into WAL mode before its first merge has its mark only there.
std::optional<quint32> ApplicationIdInLog(const QString& log)
{
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray header = f.read(32);
    if (header.size() < 32 || (BigEndian32(header.constData()) & ~1u) != 0x377f0682u)
        return std::nullopt;
    const qint64 pageSize = BigEndian32(header.constData() + 8);
    if (pageSize < 512 || pageSize > 65536)
        return std::nullopt;
    const quint32 salt1 = BigEndian32(header.constData() + 16);
    const quint32 salt2 = BigEndian32(header.constData() + 20);
    std::optional<quint32> id;
    for (qint64 pos = 32; pos + 24 + pageSize <= f.size(); pos += 24 + pageSize) {
        f.seek(pos);
        const QByteArray frame = f.read(24 + 72);
        if (frame.size() < 96 || BigEndian32(frame.constData() + 8) != salt1
            || BigEndian32(frame.constData() + 12) != salt2)
            break; // the frames of an earlier round of the log
        if (BigEndian32(frame.constData()) == 1)
            id = BigEndian32(frame.constData() + 24 + 68);
    }
    return id;
}

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

// Qt binds a null string as SQL NULL; an empty answer field is text all the same.
QString Text(const QString& s) { return s.isNull() ? QStringLiteral("") : s; }

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

// A time as stored: the local clock time with its offset from UTC.
QString StoredTime(const QDateTime& t)
{
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

// Takes the rights of group and others from a file or folder of the record.
void MakePrivate(const QString& path, mode_t mode)
{
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) == 0 && (st.st_mode & 077) != 0)
        ::chmod(name.constData(), mode);
}

} // namespace

QString DefaultHistoryPath()
{
    // The application data folder as organisation and application "Rechenkov"
    // give it, whatever names the running program carries.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Rechenkov/Rechenkov/verlauf.sqlite");
}

QString OperationName(int operation)
{
    switch (operation) {
    case 1: return QStringLiteral("plus");
    case 2: return QStringLiteral("minus");
    case 3: return QStringLiteral("mal");
    default: return QString();
    }
}

QString CsvTextField(const QString& text)
{
    QString s = text;
    const QString formula = QStringLiteral("=+-@");
    const QString visible = s.trimmed();
    if (!s.isEmpty()
        && (formula.contains(s.front()) || s.front() == QLatin1Char('\t') || s.front() == QLatin1Char('\r')
            || (!visible.isEmpty() && formula.contains(visible.front()))))
        s.prepend(QLatin1Char('\''));
    if (s.contains(QLatin1Char(';')) || s.contains(QLatin1Char('"')) || s.contains(QLatin1Char('\n'))
        || s.contains(QLatin1Char('\r'))) {
        s.replace(QLatin1String("\""), QLatin1String("\"\""));
        s = QLatin1Char('"') + s + QLatin1Char('"');
    }
    return s;
}

HistoryStore::HistoryStore(QString path) : path_(std::move(path)), connection_(NextConnectionName()) {}

HistoryStore::~HistoryStore() { Close(); }

void HistoryStore::Close()
{
    if (QSqlDatabase::contains(connection_)) {
        {
            QSqlDatabase db = QSqlDatabase::database(connection_, false);
            // Everything goes into the file itself, so a copy of the file alone is whole.
            if (writable_ && state_ == State::Ready && db.isOpen())
                QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            db.close();
        }
        QSqlDatabase::removeDatabase(connection_);
    }
    if (state_ == State::Ready)
        state_ = State::Closed;
}

bool HistoryStore::Fail(State s, const QString& detail)
{
    state_ = s;
    detail_ = detail;
    return false;
}

bool HistoryStore::FailFrom(const QSqlError& e, State otherwise)
{
    return Fail(IsDamage(e) ? State::Corrupt : otherwise, e.databaseText().isEmpty() ? e.text() : e.databaseText());
}

void HistoryStore::ReadError(const QSqlError& e) const
{
    state_ = IsDamage(e) ? State::Corrupt : State::ReadFailed;
    detail_ = e.databaseText().isEmpty() ? e.text() : e.databaseText();
}

QString HistoryStore::Problem() const
{
    const QString where = QDir::toNativeSeparators(path_);
    QString text;
    switch (state_) {
    case State::Ready:
    case State::Closed: return QString();
    case State::Missing: return QStringLiteral("Es gibt noch keinen Lernverlauf.");
    case State::CannotOpen: text = QStringLiteral("Die Datei des Lernverlaufs kann nicht geöffnet werden: %1"); break;
    case State::Corrupt:
        text = QStringLiteral("Die Datei des Lernverlaufs ist beschädigt; ihren Zahlen ist nicht zu trauen: %1");
        break;
    case State::Foreign:
        text = QStringLiteral("An der Stelle des Lernverlaufs liegt eine fremde Datei; Rechenkov verändert sie "
                              "nicht: %1");
        break;
    case State::IsFolder:
        text = QStringLiteral("An der Stelle des Lernverlaufs liegt ein Ordner; Rechenkov verändert ihn nicht: %1");
        break;
    case State::Newer:
        text = QStringLiteral("Der Lernverlauf stammt von einer neueren Version von Rechenkov und wird nicht "
                              "verändert: %1");
        break;
    case State::WriteFailed:
        text = QStringLiteral("Der Lernverlauf kann nicht geschrieben werden (Speicher voll oder "
                              "schreibgeschützt?): %1");
        break;
    case State::ReadFailed: text = QStringLiteral("Der Lernverlauf konnte nicht gelesen werden: %1"); break;
    }
    text = text.arg(where);
    if (!detail_.isEmpty())
        text += QStringLiteral("\nTechnische Angabe: ") + detail_;
    return text;
}

QString HistoryStore::Identity(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    return QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
}

bool HistoryStore::StillAtPath() const { return !identity_.isEmpty() && Identity(path_) == identity_; }

HistoryStore::Kind HistoryStore::Examine() const
{
    const QByteArray name = QFile::encodeName(path_);
    for (int attempt = 0;; ++attempt) {
        struct stat st {};
        if (::stat(name.constData(), &st) != 0) {
            if (errno == ENOENT)
                return Kind::Absent;
            detail_ = QString::fromLocal8Bit(std::strerror(errno));
            return Kind::Unreadable;
        }
        if (S_ISDIR(st.st_mode))
            return Kind::Folder;
        if (!S_ISREG(st.st_mode))
            return Kind::Foreign;
        if (st.st_size == 0)
            return Kind::Empty;
        QFile f(path_);
        if (!f.open(QIODevice::ReadOnly)) {
            detail_ = f.errorString();
            return Kind::Unreadable;
        }
        const QByteArray header = f.read(100);
        Kind kind = Kind::NotDatabase;
        if (header.size() == 100 && header.startsWith(QByteArray::fromRawData("SQLite format 3\0", 16))) {
            const quint32 id = BigEndian32(header.constData() + 68);
            kind = id == kApplicationId || (id == 0 && ApplicationIdInLog(path_ + QStringLiteral("-wal")) == kApplicationId)
                ? Kind::Ours
                : Kind::Foreign;
        }
        // A program of ours may be writing the first page just now.
        if (kind == Kind::Ours || attempt >= 25 || !QFileInfo::exists(path_ + QStringLiteral("-journal")))
            return kind;
        QThread::msleep(20);
    }
}

bool HistoryStore::Open(bool create)
{
    Close();
    writable_ = true;
    detail_.clear();
    switch (Examine()) {
    case Kind::Absent: {
        if (!create)
            return Fail(State::Missing, QString());
        // The folders made here and the file hold children's names: they are the user's alone.
        QStringList made;
        for (QDir d = QFileInfo(path_).absoluteDir(); !d.exists() && !d.isRoot(); d.setPath(QFileInfo(d.absolutePath()).absolutePath()))
            made << d.absolutePath();
        if (!QDir().mkpath(QFileInfo(path_).absolutePath()))
            return Fail(State::CannotOpen, QStringLiteral("Der Ordner kann nicht angelegt werden."));
        for (const QString& folder : made)
            ::chmod(QFile::encodeName(folder).constData(), 0700);
        const int fd = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0)
            ::close(fd);
        else if (errno != EEXIST)
            return Fail(State::CannotOpen, QString::fromLocal8Bit(std::strerror(errno)));
        break;
    }
    case Kind::Empty:
        if (!create)
            return Fail(State::Missing, QString());
        break;
    case Kind::Ours: break;
    case Kind::Foreign: return Fail(State::Foreign, QString());
    case Kind::NotDatabase: return Fail(State::Corrupt, QString());
    case Kind::Folder: return Fail(State::IsFolder, QString());
    case Kind::Unreadable: return Fail(State::CannotOpen, detail_);
    }
    identity_ = Identity(path_);
    MakePrivate(QFileInfo(path_).absolutePath(), 0700);
    for (const char* suffix : {"", "-wal", "-shm"})
        MakePrivate(path_ + QLatin1String(suffix), 0600);

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(path_);
    if (!db.open())
        return FailFrom(db.lastError(), State::CannotOpen);
    QSqlQuery q(db);
    int version = 0;
    if (!ReadVersion(q, &version))
        return false;
    if (version < kSchemaVersion && !CreateOrUpgrade(version))
        return false;
    // Made after the file has its mark on the first page, so the mark is in the file itself.
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && IsDamage(q.lastError()))
        return FailFrom(q.lastError(), State::WriteFailed);
    if (!q.exec(QStringLiteral("PRAGMA synchronous=NORMAL")))
        return FailFrom(q.lastError(), State::WriteFailed);
    state_ = State::Ready;
    detail_.clear();
    return true;
}

bool HistoryStore::ReadVersion(QSqlQuery& q, int* version)
{
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return FailFrom(q.lastError(), State::CannotOpen);
    *version = q.value(0).toInt();
    q.finish();
    return *version <= kSchemaVersion || Fail(State::Newer, QString());
}

bool HistoryStore::OpenForReading(bool check)
{
    Close();
    writable_ = false;
    detail_.clear();
    switch (Examine()) {
    case Kind::Absent:
    case Kind::Empty: return Fail(State::Missing, QString());
    case Kind::Ours: break;
    case Kind::Foreign: return Fail(State::Foreign, QString());
    case Kind::NotDatabase: return Fail(State::Corrupt, QString());
    case Kind::Folder: return Fail(State::IsFolder, QString());
    case Kind::Unreadable: return Fail(State::CannotOpen, detail_);
    }
    identity_ = Identity(path_);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    // Where the log's index cannot be made, the file is read as it stands.
    const bool folderWritable = ::access(QFile::encodeName(QFileInfo(path_).absolutePath()).constData(), W_OK) == 0;
    if (folderWritable) {
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        db.setDatabaseName(path_);
    } else {
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
        db.setDatabaseName(QUrl::fromLocalFile(path_).toString(QUrl::FullyEncoded) + QStringLiteral("?immutable=1"));
    }
    if (!db.open())
        return FailFrom(db.lastError(), State::CannotOpen);
    QSqlQuery q(db);
    int version = 0;
    if (!ReadVersion(q, &version))
        return false;
    if (version < 1)
        return Fail(State::Missing, QString());
    if (check) {
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("PRAGMA quick_check")))
            return FailFrom(q.lastError(), State::ReadFailed);
        QStringList findings;
        while (q.next() && findings.size() < 3)
            findings << q.value(0).toString();
        if (q.lastError().isValid())
            return FailFrom(q.lastError(), State::ReadFailed);
        q.finish();
        if (findings != QStringList{QStringLiteral("ok")})
            return Fail(State::Corrupt, findings.join(QLatin1Char('\n')));
    }
    if (version < kSchemaVersion && !ReadOldSchema())
        return false;
    state_ = State::Ready;
    return true;
}

// A file of the first schema, opened for reading only, is read through
// temporary views of the current tables' shape.
bool HistoryStore::ReadOldSchema()
{
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec(QStringLiteral("CREATE TEMP VIEW antworten AS ") + OldAnswers())
        || !q.exec(QStringLiteral("CREATE TEMP VIEW spiele AS ") + OldGames()))
        return FailFrom(q.lastError(), State::ReadFailed);
    return true;
}

// Brings a file of schema version `fromVersion` (0: a new file) to the
// current version in one transaction, which waits for any other program
// doing the same and then looks again, so two first starts at once make the
// tables once. A later version adds its step here.
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
    if (version < 1) {
        steps << QStringLiteral("CREATE TABLE antworten (%1)").arg(QLatin1String(kAnswerColumns))
              << QStringLiteral("CREATE TABLE spiele (%1)").arg(QLatin1String(kGameColumns));
    } else if (version < 2) {
        // Times get their offset and milliseconds, the row ids grow only
        // (a deleted id is never given again); the ids stay as they were.
        steps << QStringLiteral("CREATE TABLE antworten_2 (%1)").arg(QLatin1String(kAnswerColumns))
              << QStringLiteral("INSERT INTO antworten_2 ") + OldAnswers()
              << QStringLiteral("DROP TABLE antworten")
              << QStringLiteral("ALTER TABLE antworten_2 RENAME TO antworten")
              << QStringLiteral("CREATE TABLE spiele_2 (%1)").arg(QLatin1String(kGameColumns))
              << QStringLiteral("INSERT INTO spiele_2 ") + OldGames()
              << QStringLiteral("DROP TABLE spiele")
              << QStringLiteral("ALTER TABLE spiele_2 RENAME TO spiele");
    }
    steps << QStringLiteral("CREATE INDEX antworten_kind_utc ON antworten (kind, utc)")
          << QStringLiteral("PRAGMA application_id = %1").arg(kApplicationId)
          << QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion);
    for (const QString& step : steps)
        if (!q.exec(step))
            return failed();
    if (!q.exec(QStringLiteral("COMMIT")))
        return failed();
    return true;
}

void HistoryStore::SetAutoCheckpoint(bool on)
{
    if (state_ == State::Ready)
        QSqlQuery(QSqlDatabase::database(connection_, false))
            .exec(QStringLiteral("PRAGMA wal_autocheckpoint=%1").arg(on ? 1000 : 0));
}

bool HistoryStore::RecordAnswer(const AnswerRecord& a)
{
    if (state_ != State::Ready || !writable_)
        return false;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    // A single statement outside a transaction is a transaction of its own.
    q.prepare(QStringLiteral("INSERT INTO antworten (zeit, utc, kind, rechenart, reihe, zeile, erwartet, "
                             "eingegeben, richtig, ms) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    q.addBindValue(StoredTime(a.time));
    q.addBindValue(a.time.toMSecsSinceEpoch());
    q.addBindValue(Text(a.child));
    q.addBindValue(a.operation);
    q.addBindValue(Text(a.calcRow));
    q.addBindValue(a.line);
    q.addBindValue(Text(a.expected));
    q.addBindValue(Text(a.typed));
    q.addBindValue(a.right ? 1 : 0);
    q.addBindValue(a.ms);
    if (!q.exec())
        return FailFrom(q.lastError(), State::WriteFailed);
    return true;
}

bool HistoryStore::RecordGame(const GameRecord& g)
{
    if (state_ != State::Ready || !writable_)
        return false;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral("INSERT INTO spiele (zeit, utc, kind, sekunden) VALUES (?, ?, ?, ?)"));
    q.addBindValue(StoredTime(g.time));
    q.addBindValue(g.time.toMSecsSinceEpoch());
    q.addBindValue(Text(g.child));
    q.addBindValue(g.seconds);
    if (!q.exec())
        return FailFrom(q.lastError(), State::WriteFailed);
    return true;
}

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
            result.push_back({q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt(), std::nullopt});
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
            rows.push_back({q.value(0).toString(), q.value(1).toInt(), q.value(2).toInt()});
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

bool HistoryStore::WriteCsv(const std::function<bool(const QByteArray&)>& write) const
{
    // The byte-order mark tells spreadsheets the text is UTF-8; the
    // semicolon is the separator a German spreadsheet expects.
    QByteArray out("\xEF\xBB\xBF"
                   "Zeit;Kind;Art;Rechenart;Reihe;Zeile;Erwartet;Eingegeben;Richtig;Millisekunden;Sekunden\r\n");
    if (state_ != State::Ready)
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    // Rows are read one at a time from the answers and the games, each in
    // the order it was written, merged by time; the text goes out in pieces,
    // so a record of any size never stands in memory as a whole.
    QSqlQuery answers(db);
    answers.setForwardOnly(true);
    QSqlQuery games(db);
    games.setForwardOnly(true);
    if (!answers.exec(QStringLiteral("SELECT utc, zeit, kind, rechenart, reihe, zeile, erwartet, eingegeben, richtig, "
                                     "ms FROM antworten ORDER BY id"))) {
        ReadError(answers.lastError());
        return false;
    }
    if (!games.exec(QStringLiteral("SELECT utc, zeit, kind, sekunden FROM spiele ORDER BY id"))) {
        ReadError(games.lastError());
        return false;
    }
    // The clock time as it was where the answer was given, with the seconds
    // and a blank for the T, which a spreadsheet reads as a date and time.
    const auto time = [](const QVariant& v) {
        QByteArray t = v.toByteArray().left(19);
        if (t.size() > 10)
            t[10] = ' ';
        return t;
    };
    // Names and rows repeat from line to line: each is made safe once.
    struct Last {
        QString text;
        QByteArray field;
        const QByteArray& operator()(const QVariant& v)
        {
            const QString s = v.toString();
            if (field.isNull() || s != text) {
                text = s;
                field = CsvTextField(s).toUtf8();
            }
            return field;
        }
    } kind, row, gameKind;
    // A typed answer of digits alone is a number, and needs no guard.
    const auto number = [](const QVariant& v) {
        const QByteArray b = v.toByteArray();
        for (char c : b)
            if (c < '0' || c > '9')
                return CsvTextField(QString::fromUtf8(b)).toUtf8();
        return b;
    };
    bool answer = answers.next();
    bool game = games.next();
    constexpr qsizetype kPiece = 64 * 1024;
    out.reserve(kPiece + 4096);
    while (answer || game) {
        if (answer && (!game || answers.value(0).toLongLong() <= games.value(0).toLongLong())) {
            out.append(time(answers.value(1))).append(';').append(kind(answers.value(2))).append(";Antwort;");
            out.append(OperationName(answers.value(3).toInt()).toLatin1()).append(';').append(row(answers.value(4)));
            out.append(';').append(QByteArray::number(answers.value(5).toInt())).append(';');
            out.append(number(answers.value(6))).append(';').append(number(answers.value(7))).append(';');
            out.append(answers.value(8).toInt() ? "ja;" : "nein;");
            out.append(QByteArray::number(answers.value(9).toLongLong())).append(";\r\n");
            answer = answers.next();
        } else {
            out += time(games.value(1)) + ';' + gameKind(games.value(2)) + ";Spiel;;;;;;;;"
                + games.value(3).toByteArray() + "\r\n";
            game = games.next();
        }
        if (out.size() >= kPiece) {
            if (!write(out))
                return false;
            out.resize(0); // keeps its capacity
        }
    }
    // A step that failed part-way is an error, never the end of the record.
    for (const QSqlQuery* q : {&answers, &games})
        if (q->lastError().isValid()) {
            ReadError(q->lastError());
            return false;
        }
    return write(out);
}

bool HistoryStore::DeleteAll()
{
    if (state_ != State::Ready || !writable_)
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return FailFrom(q.lastError(), State::WriteFailed);
    for (const char* statement : {"DELETE FROM antworten", "DELETE FROM spiele", "COMMIT"})
        if (!q.exec(QLatin1String(statement))) {
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

bool HistoryStore::SetAside(const QString& path, QString* kept)
{
    const QFileInfo info(path);
    if (info.isDir() || !info.exists())
        return false;
    const QString stem = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('-')
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QString target = stem + suffix;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo::exists(target + QStringLiteral("-wal")); ++n)
        target = stem + QStringLiteral("-%1").arg(n) + suffix;
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) != 0)
        return false;
    // The log belongs to the file; the index of the log is rebuilt from it.
    for (const char* log : {"-wal", "-journal"})
        if (QFileInfo(path + QLatin1String(log)).isFile())
            ::rename(QFile::encodeName(path + QLatin1String(log)).constData(),
                     QFile::encodeName(target + QLatin1String(log)).constData());
    if (QFileInfo(path + QStringLiteral("-shm")).isFile())
        QFile::remove(path + QStringLiteral("-shm"));
    if (kept)
        *kept = target;
    return true;
}

} // namespace history
