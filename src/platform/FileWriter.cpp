#include "platform/FileWriter.h"

#include "platform/FileNames.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <stdio.h> // renameat2
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace files {

namespace {

// Visible temporary files (only where the folder takes no unnamed file) are
// listed here so that SIGINT, SIGTERM and SIGHUP remove them before the
// program ends. The handler may only touch plain memory and call unlink.
constexpr int kMaxPending = 8;
char pendingNames[kMaxPending][4096];
std::atomic<bool> pendingUsed[kMaxPending];
struct sigaction previousActions[NSIG];

void RemovePendingAndReraise(int signal)
{
    for (int i = 0; i < kMaxPending; ++i)
        if (pendingUsed[i].load())
            ::unlink(pendingNames[i]);
    sigaction(signal, &previousActions[signal], nullptr);
    raise(signal);
}

void InstallCleanupHandlers()
{
    static std::atomic<bool> installed{false};
    if (installed.exchange(true))
        return;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        action.sa_handler = RemovePendingAndReraise;
        sigemptyset(&action.sa_mask);
        struct sigaction previous {};
        sigaction(signal, nullptr, &previous);
        // A signal someone chose to ignore stays ignored.
        if (previous.sa_handler == SIG_IGN)
            continue;
        previousActions[signal] = previous;
        sigaction(signal, &action, nullptr);
    }
}

int AddPending(const QByteArray& name)
{
    InstallCleanupHandlers();
    if (name.size() >= static_cast<qsizetype>(sizeof pendingNames[0]))
        return -1;
    for (int i = 0; i < kMaxPending; ++i) {
        bool expected = false;
        if (!pendingUsed[i].load() && pendingUsed[i].compare_exchange_strong(expected, true)) {
            // The slot is marked used before its name is complete; a signal in
            // between unlinks a stale or empty name, which is harmless.
            std::memcpy(pendingNames[i], name.constData(), static_cast<std::size_t>(name.size()) + 1);
            return i;
        }
    }
    return -1;
}

void RemovePending(const QByteArray& name)
{
    for (int i = 0; i < kMaxPending; ++i)
        if (pendingUsed[i].load() && name == pendingNames[i])
            pendingUsed[i].store(false);
}

// Holds off the signals that end a program while a file changes its name, so
// that no half-done step is left behind (SIGKILL aside, which nobody can hold).
class SignalsHeld {
public:
    SignalsHeld()
    {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            sigaddset(&set, signal);
        pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_;
};

unsigned CurrentUmask()
{
    // There is no call that only reads the umask; setting it back at once is
    // safe here since files are only made from this thread.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

QByteArray RandomHiddenName(const QByteArray& folder)
{
    return folder + "/.rechenkov-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".part";
}

// The answers of a file system that does not offer a call at all.
bool Unsupported(int error) { return error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP; }

QByteArray FolderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

// The device QPdfWriter and the like write through.
class WriterDevice final : public QIODevice {
public:
    explicit WriterDevice(FileWriter& writer) : writer_(writer) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override { return writer_.Write(data, size) ? size : -1; }

private:
    FileWriter& writer_;
};

} // namespace

FileWriter::FileWriter(const QString& path, Replace replace) : path_(path), replace_(replace) {}

FileWriter::~FileWriter() { Cancel(); }

bool FileWriter::Fail(Error error, int errorNumber)
{
    if (error_ == Error::None) {
        error_ = error;
        errno_ = errorNumber;
    }
    return false;
}

bool FileWriter::Open()
{
    // A file grown past `ulimit -f` must fail its write, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);

    const QString local = LocalPath(path_);
    target_ = QFile::encodeName(local);
    if (target_.isEmpty() || target_.endsWith('/'))
        return Fail(Error::IsFolder, 0);

    struct stat status {};
    if (::lstat(target_.constData(), &status) == 0 && S_ISLNK(status.st_mode)) {
        if (::stat(target_.constData(), &status) == 0) {
            // A symbolic link stays a link: the file it points to is the one replaced.
            target_ = QFile::encodeName(QFileInfo(local).canonicalFilePath());
        } else {
            // A link to nothing is replaced itself, only when replacing is asked for:
            // writing through it could create a file anywhere the link happens to point.
            danglingLink_ = true;
            if (replace_ == Replace::Never)
                return Fail(Error::Exists, EEXIST);
            existed_ = true;
            mode_ = 0666 & ~CurrentUmask();
        }
    }
    if (!danglingLink_ && ::stat(target_.constData(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            return Fail(Error::IsFolder, 0);
        if (!S_ISREG(status.st_mode))
            return Fail(Error::NotRegular, 0);
        if (replace_ == Replace::Never)
            return Fail(Error::Exists, EEXIST);
        if (::access(target_.constData(), W_OK) != 0)
            return Fail(Error::NoPermission, errno);
        existed_ = true;
        mode_ = status.st_mode & 07777;
    } else if (!danglingLink_) {
        struct stat folderStatus {};
        if (::stat(FolderOf(target_).constData(), &folderStatus) != 0 || !S_ISDIR(folderStatus.st_mode)) {
            const int error = errno;
            if (error == EACCES)
                return Fail(Error::NoPermission, error);
            return Fail(error == ENOENT || error == ENOTDIR || error == 0 ? Error::FolderMissing : Error::WriteFailed,
                        error);
        }
        mode_ = 0666 & ~CurrentUmask();
    }

    const QByteArray folder = FolderOf(target_);
#ifdef O_TMPFILE
    // Linking an unnamed file by its /proc name needs /proc; without it the
    // hidden temporary file below does the work. FAT, most FUSE and network
    // file systems take no unnamed file either.
    if (::access("/proc/self/fd", X_OK) == 0) {
        fd_ = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd_ >= 0)
            return true;
        if (errno == EACCES || errno == EPERM || errno == EROFS)
            return Fail(Error::NoPermission, errno);
    }
#endif
    return OpenHidden();
}

bool FileWriter::OpenHidden()
{
    const QByteArray folder = FolderOf(target_);
    for (int attempt = 0; attempt < 8 && fd_ < 0; ++attempt) {
        tempName_ = RandomHiddenName(folder);
        if (AddPending(tempName_) < 0)
            return Fail(Error::WriteFailed, ENFILE);
        fd_ = ::open(tempName_.constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            const int error = errno;
            RemovePending(tempName_);
            tempName_.clear();
            if (error != EEXIST)
                return Fail(error == EACCES || error == EROFS ? Error::NoPermission : Error::WriteFailed, error);
        }
    }
    return fd_ >= 0 || Fail(Error::WriteFailed, EEXIST);
}

bool FileWriter::Write(const char* data, qint64 size)
{
    if (fd_ < 0 || error_ != Error::None)
        return Fail(Error::WriteFailed, EBADF);
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            // Some FUSE file systems (fusefat) answer a full disk with "not
            // permitted"; the free space tells what really happened.
            const int error = errno;
            struct statvfs space {};
            diskFull_ = ::fstatvfs(fd_, &space) == 0 && space.f_blocks > 0 && space.f_bavail == 0;
            return Fail(Error::WriteFailed, error);
        }
        if (written == 0)
            return Fail(Error::WriteFailed, ENOSPC);
        data += written;
        size -= written;
    }
    return true;
}

QIODevice& FileWriter::Device()
{
    if (!device_)
        device_ = std::make_unique<WriterDevice>(*this);
    return *device_;
}

bool FileWriter::Commit()
{
    if (fd_ < 0 || error_ != Error::None) {
        Cancel();
        return Fail(Error::WriteFailed, EBADF);
    }
    // FAT and many FUSE file systems know no modes and say so; the file is
    // written all the same. A sync they do not offer is no failure either.
    if ((::fchmod(fd_, static_cast<mode_t>(mode_)) != 0 && !Unsupported(errno) && errno != EPERM)
        || (::fsync(fd_) != 0 && !Unsupported(errno) && errno != EINVAL)) {
        Fail(Error::WriteFailed, errno);
        Cancel();
        return false;
    }

    bool placed = false;
    {
        const SignalsHeld held;
        if (tempName_.isEmpty()) {
            // The unnamed file: straight into place when new, since linking never
            // replaces; otherwise it takes a hidden name first and is renamed below.
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd_);
            if (!existed_
                && ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, target_.constData(), AT_SYMLINK_FOLLOW) == 0)
                placed = true;
            else if (!existed_ && errno == EEXIST && replace_ == Replace::Never)
                Fail(Error::Exists, EEXIST);
            else
                NameTheUnnamed(self);
        }
        if (!placed && error_ == Error::None)
            placed = PlaceNamed();
        if (!tempName_.isEmpty()) {
            if (!placed)
                ::unlink(tempName_.constData());
            RemovePending(tempName_);
            tempName_.clear();
        }
    }
    if (placed) {
        // The new name lasts through a power cut only once the folder is on disk too.
        const int folder = ::open(FolderOf(target_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
    }
    Cancel();
    return placed;
}

bool FileWriter::NameTheUnnamed(const QByteArray& self)
{
    tempName_ = RandomHiddenName(FolderOf(target_));
    if (AddPending(tempName_) < 0) {
        tempName_.clear();
        return Fail(Error::WriteFailed, ENFILE);
    }
    if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, tempName_.constData(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    if (!Unsupported(errno) && errno != EPERM && errno != EMLINK) {
        RemovePending(tempName_);
        tempName_.clear();
        return Fail(Error::WriteFailed, errno);
    }
    // A file system that makes unnamed files but cannot link them: the content
    // is copied into a hidden file of its own.
    RemovePending(tempName_);
    tempName_.clear();
    const int unnamed = fd_;
    fd_ = -1;
    bool copied = OpenHidden() && ::lseek(unnamed, 0, SEEK_SET) == 0;
    char buffer[65536];
    for (ssize_t got = 0; copied && (got = ::read(unnamed, buffer, sizeof buffer)) != 0;)
        copied = got > 0 ? Write(buffer, got) : (errno == EINTR || Fail(Error::WriteFailed, errno));
    ::close(unnamed);
    if (!copied)
        return Fail(Error::WriteFailed, errno);
    ::fchmod(fd_, static_cast<mode_t>(mode_)); // as in Commit: a file system without modes is no failure
    return ::fsync(fd_) == 0 || Unsupported(errno) || errno == EINVAL || Fail(Error::WriteFailed, errno);
}

bool FileWriter::PlaceNamed()
{
    const char* from = tempName_.constData();
    const char* to = target_.constData();
    if (existed_)
        return ::rename(from, to) == 0 || Fail(Error::WriteFailed, errno);
    // A new name: never over a file that has appeared meanwhile, unless
    // replacing was asked for, and then only over a regular file.
    struct stat status {};
    if (replace_ == Replace::Always) {
        if (::lstat(to, &status) == 0 && !S_ISREG(status.st_mode))
            return Fail(S_ISDIR(status.st_mode) ? Error::IsFolder : Error::NotRegular, 0);
        return ::rename(from, to) == 0 || Fail(Error::WriteFailed, errno);
    }
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EEXIST)
        return Fail(Error::Exists, EEXIST);
    if (errno != EINVAL && !Unsupported(errno))
        return Fail(Error::WriteFailed, errno);
    // No renaming that refuses to replace (NFS, CIFS, FUSE): a second link does
    // the same, and the hidden name is removed afterwards.
    if (::link(from, to) == 0) {
        ::unlink(from);
        return true;
    }
    if (errno == EEXIST)
        return Fail(Error::Exists, EEXIST);
    if (errno != EPERM && errno != EMLINK && !Unsupported(errno))
        return Fail(Error::WriteFailed, errno);
    // No links either (FAT, exFAT, some FUSE and SMB shares): a look just before
    // the rename. A file another program creates under that name between the
    // look and the rename is replaced; nothing closes that gap on such a file system.
    if (::lstat(to, &status) == 0 || errno != ENOENT)
        return Fail(Error::Exists, EEXIST);
    return ::rename(from, to) == 0 || Fail(Error::WriteFailed, errno);
}

void FileWriter::Cancel()
{
    if (device_ && device_->isOpen())
        device_->close();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempName_.isEmpty()) {
        ::unlink(tempName_.constData());
        RemovePending(tempName_);
        tempName_.clear();
    }
}

namespace {

// The usual causes in words a person knows; what the system itself says goes
// on a line of its own.
QString Cause(int error, const QString& fileName)
{
    // FAT and SMB refuse these characters in a name, with "not permitted" or "invalid".
    const bool oddName = fileName.contains(QRegularExpression(QStringLiteral("[\\\\:*?\"<>|]")));
    const QString oddChars = QStringLiteral("der Name enthält Zeichen, die dieser Datenträger nicht erlaubt "
                                            "(\\ : * ? \" < > |)");
    switch (error) {
    case ENOSPC:
    case EDQUOT: return QStringLiteral("der Speicherplatz ist voll");
    case EFBIG: return QStringLiteral("die Datei wäre größer als erlaubt");
    case EROFS: return QStringLiteral("der Datenträger ist schreibgeschützt");
    case EIO: return QStringLiteral("der Datenträger meldet einen Ein-/Ausgabefehler");
    case EINVAL:
        if (oddName)
            return oddChars;
        return QStringLiteral("der Datenträger unterstützt das nicht");
    case EACCES:
    case EPERM:
        if (oddName)
            return oddChars;
        return QStringLiteral("keine Berechtigung");
    case ENOENT:
    case ENOTDIR: return QStringLiteral("der Ordner ist nicht mehr da oder nimmt keine neuen Dateien an");
    case ENAMETOOLONG: return QStringLiteral("der Name ist zu lang");
    case ENOSYS:
    case EOPNOTSUPP:
    case EXDEV:
    case EMLINK: return QStringLiteral("der Datenträger unterstützt das nicht");
    case ESTALE:
    case ENOTCONN:
    case ENXIO:
    case ENODEV:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case ETIMEDOUT:
    case ECONNRESET:
    case ECONNABORTED: return QStringLiteral("der Datenträger oder das Netzlaufwerk ist nicht mehr erreichbar");
    case EMFILE:
    case ENFILE: return QStringLiteral("es sind zu viele Dateien geöffnet");
    case ENOMEM: return QStringLiteral("der Arbeitsspeicher reicht nicht");
    case ELOOP: return QStringLiteral("symbolische Verknüpfungen zeigen im Kreis");
    case EBUSY:
    case ETXTBSY: return QStringLiteral("die Datei ist gerade in Benutzung");
    case EEXIST: return QStringLiteral("eine Datei dieses Namens ist eben erst entstanden");
    default: return QStringLiteral("ein unerwarteter Fehler des Systems");
    }
}

} // namespace

QString FileWriter::Problem() const
{
    const QString name = path_;
    const QString folder = QFileInfo(LocalPath(path_)).absolutePath();
    switch (error_) {
    case Error::None: return {};
    case Error::Exists:
        if (danglingLink_)
            return QStringLiteral("„%1“ ist eine Verknüpfung auf „%2“, das es nicht gibt.")
                .arg(name, QFileInfo(LocalPath(path_)).symLinkTarget());
        return QStringLiteral("Die Datei „%1“ gibt es schon.").arg(name);
    case Error::IsFolder: return QStringLiteral("„%1“ ist ein Ordner, keine Datei.").arg(name);
    case Error::NotRegular:
        return QStringLiteral("„%1“ ist keine gewöhnliche Datei und wird nicht ersetzt.").arg(name);
    case Error::FolderMissing: return QStringLiteral("Den Ordner „%1“ gibt es nicht.").arg(folder);
    case Error::NoPermission:
        if (errno_ == EROFS)
            return QStringLiteral("„%1“ kann nicht geschrieben werden: der Datenträger ist schreibgeschützt.").arg(name);
        if (existed_ || QFileInfo::exists(LocalPath(path_)))
            return QStringLiteral("Die Datei „%1“ darf nicht überschrieben werden (keine Berechtigung).").arg(name);
        return QStringLiteral("In den Ordner „%1“ darf nicht geschrieben werden (keine Berechtigung).").arg(folder);
    case Error::WriteFailed:
        return QStringLiteral("Die Datei „%1“ konnte nicht geschrieben werden: %2. Eine vorhandene Datei "
                              "dieses Namens ist unverändert.\nTechnische Angabe: %3 (errno %4)")
            .arg(name, Cause(diskFull_ ? ENOSPC : errno_, QFileInfo(path_).fileName()),
                 QString::fromLocal8Bit(std::strerror(errno_)))
            .arg(errno_);
    case Error::NoContent: return QStringLiteral("Der Inhalt für „%1“ konnte nicht erstellt werden.").arg(name);
    }
    return {};
}

Error WriteFile(const QString& path, Replace replace, const std::function<bool(FileWriter&)>& produce,
                QString* problem)
{
    FileWriter writer(path, replace);
    Error error = Error::None;
    if (!writer.Open()) {
        error = writer.GetError();
    } else if (!produce(writer)) {
        writer.Cancel();
        error = writer.GetError() == Error::None ? Error::NoContent : writer.GetError();
    } else if (!writer.Commit()) {
        error = writer.GetError();
    }
    if (error != Error::None && problem)
        *problem = error == Error::NoContent ? QString() : writer.Problem();
    return error;
}

QString WithExtension(const QString& path, const QString& extension)
{
    const QString name = QFileInfo(path).fileName();
    // A leading dot makes a hidden name, not an extension.
    if (name.isEmpty() || name.lastIndexOf(QLatin1Char('.')) > 0)
        return path;
    return path + extension;
}

} // namespace files
