// The practice record over Qt SQL. Everything a user typed reaches SQL only
// as a bound value. The file is in WAL mode with synchronous=NORMAL: a
// commit is one append to the log, so an answer costs little, and a killed
// program loses at most the answer being written.

#include "record/HistoryStore.h"

#include <QCollator>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>
#include <QVariant>

#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <map>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace history {

namespace {

// The files (device and inode) of ours that stores of this process hold,
// with how many hold each. POSIX locks belong to the process, and closing
// any descriptor of a file drops all of the process's locks on it, SQLite's
// included: while a file is held here, nothing in this process opens it
// outside SQLite, and whoever looks at it compares identity with stat()
// only. A file is entered under the mutex right after its header was read,
// before any connection to it; while it is held, its inode cannot be given
// to another file.
std::mutex g_heldMutex;
std::map<QString, int> g_held;

QString IdentityOf(const struct stat& st) { return QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino)); }

// Marks the file as this program's, so a foreign SQLite file at the same place is recognised.
constexpr quint32 kApplicationId = 0x5245434B; // "RECK"

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

// Writes of this process to records take turns: a step of the conversion
// in the background and the child's answer never wait for each other
// through SQLite's busy handler, which sleeps in whole milliseconds.
std::mutex g_writeTurn;

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

// Whether the log beside a database file belongs to it. A log is read as
// SQLite reads it (the salts of its header in every frame, the running
// checksum, up to its last commit); what it says about the first page must
// fit the file: copies of the first page carry the change counter of the
// file they were made from plus one, and without such a copy every commit
// keeps the file's size in pages. A backup copied back beside the log of a
// later run fails this, and SQLite would otherwise lay the log's pages over
// the wrong file.
bool LogBelongs(const QString& log, const QByteArray& dbHeader)
{
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly))
        return true; // no log: nothing to lay over the file
    const QByteArray header = f.read(32);
    if (header.size() < 32 || (BigEndian32(header.constData()) & ~1u) != 0x377f0682u)
        return true; // SQLite ignores such a log
    const bool bigEndian = BigEndian32(header.constData()) & 1u;
    quint32 s0 = 0;
    quint32 s1 = 0;
    const auto sum = [&](const char* data, qint64 n) {
        for (qint64 i = 0; i + 8 <= n; i += 8) {
            quint32 x0;
            quint32 x1;
            std::memcpy(&x0, data + i, 4);
            std::memcpy(&x1, data + i + 4, 4);
            if (bigEndian == (QSysInfo::ByteOrder == QSysInfo::LittleEndian)) {
                x0 = qbswap(x0);
                x1 = qbswap(x1);
            }
            s0 += x0 + s1;
            s1 += x1 + s0;
        }
    };
    sum(header.constData(), 24);
    if (s0 != BigEndian32(header.constData() + 24) || s1 != BigEndian32(header.constData() + 28))
        return true; // a log whose header is torn is ignored by SQLite
    const qint64 pageSize = BigEndian32(header.constData() + 8);
    const quint32 dbPageSize = (quint32(uchar(dbHeader[16])) << 8 | uchar(dbHeader[17])) == 1
        ? 65536
        : (quint32(uchar(dbHeader[16])) << 8 | uchar(dbHeader[17]));
    const quint32 dbCounter = BigEndian32(dbHeader.constData() + 24);
    const quint32 dbPages = BigEndian32(dbHeader.constData() + 28);
    std::vector<quint32> counters; // of the copies of the first page, up to the last commit
    std::vector<quint32> sizes;    // the file's size in pages after each commit
    std::vector<quint32> pending;
    bool firstPagePending = false;
    QByteArray frame;
    for (;;) {
        frame = f.read(24 + pageSize);
        if (frame.size() < 24 + pageSize || frame.mid(8, 8) != header.mid(16, 8))
            break;
        sum(frame.constData(), 8);
        sum(frame.constData() + 24, pageSize);
        if (s0 != BigEndian32(frame.constData() + 16) || s1 != BigEndian32(frame.constData() + 20))
            break;
        if (BigEndian32(frame.constData()) == 1) {
            pending.push_back(BigEndian32(frame.constData() + 24 + 24));
            firstPagePending = true;
        }
        if (const quint32 commitSize = BigEndian32(frame.constData() + 4)) {
            counters.insert(counters.end(), pending.begin(), pending.end());
            pending.clear();
            if (!firstPagePending)
                sizes.push_back(commitSize);
            firstPagePending = false;
        }
    }
    if (counters.empty() && sizes.empty())
        return true; // nothing committed: SQLite lays nothing over the file
    if (pageSize != dbPageSize)
        return false;
    if (!counters.empty()) {
        const auto [least, most] = std::minmax_element(counters.begin(), counters.end());
        return dbCounter + 1 >= *least && dbCounter <= *most;
    }
    return std::all_of(sizes.begin(), sizes.end(), [&](quint32 n) { return n == dbPages; });
}

// Whether a program has the database file open through SQLite just now: it
// then holds a lock on the index of the log ("-shm"). Asked only where this
// process holds no connection to the file, so closing the descriptor drops
// no lock of ours.
bool LogInUse(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path + QStringLiteral("-shm")).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 128; // the byte every connection in WAL mode holds a shared lock on
    lock.l_len = 1;
    const bool inUse = ::fcntl(fd, F_GETLK, &lock) != 0 || lock.l_type != F_UNLCK;
    ::close(fd);
    return inUse;
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

} // namespace

// SQLite's log needs memory shared by all its users and locks that hold; on
// a network home (NFS, SMB) or a FUSE file system (which may be a network
// in disguise, as sshfs is) that is not sure, and the record is kept with a
// rollback journal instead, which needs only locks.
bool HistoryStore::OnLocalDisk(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    struct statfs fs {};
    if (::statfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return true;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x65735546: // FUSE
    case 0x6969:     // NFS
    case 0xFF534D42: // CIFS
    case 0xFE534D42: // SMB2
    case 0x517B:     // SMB
    case 0x01021997: // 9P
    case 0x00C36400: // Ceph
    case 0x6B414653: // AFS
    case 0x5346414F: // OpenAFS
    case 0x0BD00BD0: // Lustre
    case 0x47504653: // GPFS
        return false;
    default: return true;
    }
}

namespace {

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
    if (!held_.isEmpty()) {
        const std::lock_guard lock(g_heldMutex);
        if (--g_held[held_] <= 0)
            g_held.erase(held_);
        held_.clear();
    }
    if (state_ == State::Ready)
        state_ = State::Closed;
}

void HistoryStore::Hold(const QString& identity) const
{
    held_ = identity;
    ++g_held[identity];
}

void HistoryStore::SetAsideLog() const
{
    const QFileInfo info(path_);
    const QString target = info.absolutePath() + QLatin1Char('/') + info.completeBaseName()
        + QStringLiteral("-fremdes-protokoll-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss")) + QStringLiteral(".sqlite-wal");
    if (::rename(QFile::encodeName(path_ + QStringLiteral("-wal")).constData(), QFile::encodeName(target).constData()) == 0)
        QFile::remove(path_ + QStringLiteral("-shm")); // the index of the log set aside
}

QStringList HistoryStore::LogsSetAside(const QString& path)
{
    const QFileInfo info(path);
    QStringList names = info.absoluteDir().entryList(
        {info.completeBaseName() + QStringLiteral("-fremdes-protokoll-*.sqlite-wal")}, QDir::Files, QDir::Name);
    for (QString& name : names)
        name = info.absoluteDir().filePath(name);
    return names;
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

QString HistoryStore::Identity(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    return QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
}

QSqlDatabase HistoryStore::Connection() const { return QSqlDatabase::database(connection_, false); }

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
        const QString identity = IdentityOf(st);
        const std::lock_guard lock(g_heldMutex);
        if (g_held.count(identity)) {
            Hold(identity);
            return Kind::Ours;
        }
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
        f.close();
        if (kind == Kind::Ours && !LogInUse(path_) && !LogBelongs(path_ + QStringLiteral("-wal"), header))
            SetAsideLog();
        if (kind == Kind::Ours)
            Hold(identity);
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
