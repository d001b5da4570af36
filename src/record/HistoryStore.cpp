// The practice record over Qt SQL. Everything a user typed reaches SQL only
// as a bound value. The file is in WAL mode with synchronous=NORMAL: a
// commit is one append to the log, so an answer costs little, and a killed
// program loses at most the answer being written.

#include "record/HistoryStore.h"
#include "record/RecordInternals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QUrl>
#include <QVariant>

#include <QtEndian>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace history {

using namespace detail;

namespace detail {

// Writes of this process to records take turns: a step of the conversion
// in the background and the child's answer never wait for each other
// through SQLite's busy handler, which sleeps in whole milliseconds.
std::mutex g_writeTurn;

// Qt binds a null string as SQL NULL; an empty answer field is text all the same.
QString Text(const QString& s) { return s.isNull() ? QStringLiteral("") : s; }

} // namespace detail

namespace {

// What is not known is stored as NULL, not as an empty text.
QVariant OrNull(const QString& s) { return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s); }

// A new row's uid: the milliseconds since the epoch, big-endian, then
// random bits with the version (7) and variant marks of RFC 9562.
QByteArray NewUid(qint64 ms)
{
    QByteArray uid(16, '\0');
    for (int i = 0; i < 6; ++i)
        uid[i] = char((ms >> (40 - 8 * i)) & 0xff);
    quint32 random[3];
    QRandomGenerator::global()->fillRange(random);
    std::memcpy(uid.data() + 6, random, 10);
    uid[6] = char((uid[6] & 0x0f) | 0x70);
    uid[8] = char((uid[8] & 0x3f) | 0x80);
    return uid;
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

// A time as stored: the local clock time with its offset from UTC.
QString StoredTime(const QDateTime& t)
{
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

// Whether the path or one of its `levels - 1` folders above is a symbolic
// link: a place someone set up (a folder shared with a group, say).
bool ReachedThroughLink(QString path, int levels)
{
    for (int i = 0; i < levels && !path.isEmpty() && path != QLatin1String("/"); ++i) {
        struct stat st {};
        if (::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode))
            return true;
        path = QFileInfo(path).absolutePath();
    }
    return false;
}

// Takes the rights of group and others from a file or folder of the record.
void MakePrivate(const QString& path, mode_t mode)
{
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &st) == 0 && !S_ISLNK(st.st_mode) && (st.st_mode & 077) != 0)
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
    if (!held_.isEmpty()) {
        const std::lock_guard lock(g_heldMutex);
        if (--g_held[held_] <= 0)
            g_held.erase(held_);
        held_.clear();
    }
    if (state_ == State::Ready)
        state_ = State::Closed;
}

bool HistoryStore::Written()
{
    state_ = State::Ready;
    detail_.clear();
    return true;
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

QSqlDatabase HistoryStore::Connection() const { return QSqlDatabase::database(connection_, false); }

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
    if (held_.isEmpty()) {
        // A new or empty file becomes ours before the first connection to it.
        const std::lock_guard lock(g_heldMutex);
        Hold(identity_);
    }
    // The record holds children's names: its folder and files are the
    // user's alone, unless the folder (Rechenkov/Rechenkov) is reached
    // through a link, which someone made on purpose.
    if (!ReachedThroughLink(QFileInfo(path_).absolutePath(), 2)) {
        MakePrivate(QFileInfo(path_).absolutePath(), 0700);
        for (const char* suffix : {"", "-wal", "-shm"})
            MakePrivate(path_ + QLatin1String(suffix), 0600);
    }

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
    if (!ShowConvertedSoFar())
        return false;
    // Made after the file has its mark on the first page, so the mark is in
    // the file itself. A file in WAL mode that another program uses just
    // now stays in it.
    const bool local = OnLocalDisk(path_);
    if (!q.exec(local ? QStringLiteral("PRAGMA journal_mode=WAL") : QStringLiteral("PRAGMA journal_mode=DELETE"))
        && IsDamage(q.lastError()))
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
    if (version < kSchemaVersion ? !ReadOldSchema(version) : !ShowConvertedSoFar())
        return false;
    state_ = State::Ready;
    return true;
}

bool HistoryStore::Checkpoint()
{
    if (state_ != State::Ready || !writable_)
        return false;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    // The result: whether it could not be made, the log's pages, the pages merged.
    if (!q.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)")) || !q.next())
        return FailFrom(q.lastError(), State::WriteFailed);
    return q.value(0).toInt() == 0 && q.value(1).toInt() == q.value(2).toInt();
}

void HistoryStore::SetAutoCheckpoint(bool on)
{
    if (state_ == State::Ready)
        QSqlQuery(QSqlDatabase::database(connection_, false))
            .exec(QStringLiteral("PRAGMA wal_autocheckpoint=%1").arg(on ? 1000 : 0));
}

// One row into `table`, its values followed by what every row carries: its
// identity made from its time, the class and the computer.
bool HistoryStore::Insert(const char* table, const QString& columns, QVariantList values, const QDateTime& time)
{
    // After a failed write (a full disk) every write tries again.
    if ((state_ != State::Ready && state_ != State::WriteFailed) || !writable_)
        return false;
    const std::lock_guard turn(g_writeTurn);
    values << NewUid(time.toMSecsSinceEpoch()) << OrNull(klasse_) << OrNull(computer_);
    QStringList marks;
    for (qsizetype n = 0; n < values.size(); ++n)
        marks << QStringLiteral("?");
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    // A single statement outside a transaction is a transaction of its own.
    q.prepare(QStringLiteral("INSERT INTO main.%1 (%2, uid, klasse, rechner) VALUES (%3)")
                  .arg(QLatin1String(table), columns, marks.join(QStringLiteral(", "))));
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        return FailFrom(q.lastError(), State::WriteFailed);
    return Written();
}

bool HistoryStore::RecordAnswer(const AnswerRecord& a)
{
    return Insert("antworten",
                  QStringLiteral("zeit, utc, kind, rechenart, reihe, zeile, erwartet, eingegeben, richtig, ms"),
                  {StoredTime(a.time), a.time.toMSecsSinceEpoch(), Text(a.child), a.operation, Text(a.calcRow), a.line,
                   Text(a.expected), Text(a.typed), a.right ? 1 : 0, a.ms},
                  a.time);
}

bool HistoryStore::RecordGame(const GameRecord& g)
{
    return Insert("spiele", QStringLiteral("zeit, utc, kind, sekunden"),
                  {StoredTime(g.time), g.time.toMSecsSinceEpoch(), Text(g.child), g.seconds}, g.time);
}

} // namespace history
