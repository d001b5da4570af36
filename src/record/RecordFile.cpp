// Which file the practice record is: its identity on the disk (device and
// inode), whether a file at the record's place is ours, whether the log
// beside it belongs to it, and setting aside what is not ours.

#include "record/HistoryStore.h"
#include "record/RecordInternals.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace history {

using namespace detail;

namespace detail {

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

} // namespace detail

namespace {

QString IdentityOf(const struct stat& st) { return QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino)); }

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
