#include "app/FileWriter.h"

#include "app/FileNames.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
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

    QString local = LocalPath(path_);
    // A symbolic link stays a link: the file it points to is the one replaced.
    const QFileInfo info(local);
    if (info.isSymLink() && info.exists())
        local = info.canonicalFilePath();
    target_ = QFile::encodeName(local);
    if (target_.isEmpty() || target_.endsWith('/'))
        return Fail(Error::IsFolder, 0);

    struct stat status {};
    if (::stat(target_.constData(), &status) == 0) {
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
    } else {
        const QByteArray folder = FolderOf(target_);
        struct stat folderStatus {};
        if (::stat(folder.constData(), &folderStatus) != 0 || !S_ISDIR(folderStatus.st_mode))
            return Fail(Error::FolderMissing, errno);
        mode_ = 0666 & ~CurrentUmask();
    }

    const QByteArray folder = FolderOf(target_);
#ifdef O_TMPFILE
    // Linking an unnamed file by its /proc name needs /proc; without it the
    // visible temporary file below does the work.
    if (::access("/proc/self/fd", X_OK) == 0) {
        fd_ = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd_ >= 0)
            return true;
        if (errno == EACCES || errno == EPERM || errno == EROFS)
            return Fail(Error::NoPermission, errno);
    }
#endif
    for (int attempt = 0; attempt < 8 && fd_ < 0; ++attempt) {
        tempName_ = RandomHiddenName(folder);
        if (AddPending(tempName_) < 0)
            return Fail(Error::WriteFailed, ENFILE);
        fd_ = ::open(tempName_.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            const int error = errno;
            RemovePending(tempName_);
            tempName_.clear();
            if (error != EEXIST)
                return Fail(error == EACCES || error == EPERM || error == EROFS ? Error::NoPermission
                                                                               : Error::WriteFailed,
                            error);
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
            return Fail(Error::WriteFailed, errno);
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
    if (::fchmod(fd_, static_cast<mode_t>(mode_)) != 0 || ::fsync(fd_) != 0) {
        Fail(Error::WriteFailed, errno);
        Cancel();
        return false;
    }

    bool placed = false;
    {
        const SignalsHeld held;
        if (tempName_.isEmpty()) {
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd_);
            if (!existed_) {
                // Linking fails when a file of that name has appeared meanwhile.
                placed = ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, target_.constData(), AT_SYMLINK_FOLLOW) == 0;
                if (!placed)
                    Fail(errno == EEXIST && replace_ == Replace::Never ? Error::Exists : Error::WriteFailed, errno);
            } else {
                // A name of its own first, then over the old file in one step.
                const QByteArray temp = RandomHiddenName(FolderOf(target_));
                if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, temp.constData(), AT_SYMLINK_FOLLOW) != 0) {
                    Fail(Error::WriteFailed, errno);
                } else if (::rename(temp.constData(), target_.constData()) != 0) {
                    Fail(Error::WriteFailed, errno);
                    ::unlink(temp.constData());
                } else {
                    placed = true;
                }
            }
        } else if (existed_) {
            placed = ::rename(tempName_.constData(), target_.constData()) == 0;
            if (!placed)
                Fail(Error::WriteFailed, errno);
        } else {
            // link() never replaces a file that has appeared meanwhile.
            placed = ::link(tempName_.constData(), target_.constData()) == 0;
            if (!placed)
                Fail(errno == EEXIST && replace_ == Replace::Never ? Error::Exists : Error::WriteFailed, errno);
            ::unlink(tempName_.constData());
        }
        if (!tempName_.isEmpty())
            RemovePending(tempName_);
        if (placed)
            tempName_.clear();
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

QString FileWriter::Problem() const
{
    const QString name = path_;
    const QString folder = QFileInfo(LocalPath(path_)).absolutePath();
    switch (error_) {
    case Error::None: return {};
    case Error::Exists: return QStringLiteral("Die Datei „%1“ gibt es schon.").arg(name);
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
    case Error::WriteFailed: {
        QString why;
        switch (errno_) {
        case ENOSPC:
        case EDQUOT: why = QStringLiteral("der Speicherplatz ist voll"); break;
        case EFBIG: why = QStringLiteral("die Datei wäre größer als erlaubt"); break;
        case EROFS: why = QStringLiteral("der Datenträger ist schreibgeschützt"); break;
        case EIO: why = QStringLiteral("ein Ein-/Ausgabefehler des Datenträgers"); break;
        case EACCES:
        case EPERM: why = QStringLiteral("keine Berechtigung"); break;
        default: why = QString::fromLocal8Bit(std::strerror(errno_)); break;
        }
        return QStringLiteral("Die Datei „%1“ konnte nicht geschrieben werden: %2. Eine vorhandene Datei "
                              "dieses Namens ist unverändert.")
            .arg(name, why);
    }
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
