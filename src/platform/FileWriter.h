#pragma once
// The one way this program writes a file a user sees: a row file, the
// printout's PDF, worksheets, a CSV of the practice record. The file appears
// under its name only when it is complete; until then the old file (if any)
// stays as it was, and nothing of ours is left in the folder when the work
// stops half-way, whether by a full disk, a signal or SIGKILL. On Linux the
// content goes into an unnamed file in the target folder (O_TMPFILE) that is
// linked into place at the end; where the file system takes no unnamed file
// or no link (FAT, FUSE, network shares) a hidden temporary file beside the
// target is renamed into place and removed again on SIGINT, SIGTERM and
// SIGHUP. A new file gets 0666 less the umask, a replaced one keeps its mode
// (where the file system knows modes); only a regular file is ever replaced,
// and a symbolic link to nothing only when replacing is asked for.

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QIODevice;

namespace files {

enum class Replace {
    Never,  // an existing file of that name is an error (Error::Exists)
    Always, // an existing regular file is replaced once the new one is complete
};

enum class Error {
    None,
    Exists,        // the file is there and may not be replaced
    IsFolder,      // the name is that of a folder
    NotRegular,    // a device, a pipe, a socket: never replaced
    FolderMissing, // the folder the file should go into is not there
    NoPermission,  // the folder or the file may not be written
    WriteFailed,   // writing or putting the file in place failed (full disk, I/O error, ...)
    NoContent,     // the content could not be made (WriteFile's producer gave up)
};

class FileWriter {
public:
    FileWriter(const QString& path, Replace replace);
    ~FileWriter(); // cancels unless committed
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    // Checks the name and opens the new, still invisible file. False (with
    // GetError() and Problem() saying why) when it cannot be written there.
    bool Open();
    // Appends all of `data`; false once anything could not be written. A
    // failure sticks: every later write and the commit fail too.
    bool Write(const char* data, qint64 size);
    bool Write(const QByteArray& data) { return Write(data.constData(), data.size()); }
    // A write-only device over Write, for writers that want one (QPdfWriter).
    QIODevice& Device();
    // Gives the file its mode and puts it in place under its name. False, and
    // the old file untouched, when any write failed or it cannot be placed.
    bool Commit();
    // Throws the new file away; the old one stays.
    void Cancel();

    Error GetError() const { return error_; }
    // What went wrong, as a German sentence naming the file; empty when nothing did.
    QString Problem() const;
    // The path the file is written to, as given.
    const QString& Path() const { return path_; }

private:
    bool Fail(Error error, int errorNumber);
    bool OpenHidden();
    bool NameTheUnnamed(const QByteArray& self);
    bool PlaceNamed();

    QString path_;
    QByteArray target_; // the file system path, symbolic links followed
    Replace replace_;
    Error error_ = Error::None;
    int errno_ = 0;
    int fd_ = -1;
    QByteArray tempName_; // the hidden temporary file where there is no O_TMPFILE
    bool existed_ = false;
    bool danglingLink_ = false; // the name is a symbolic link to nothing
    bool diskFull_ = false;     // a write failed with no space left, whatever the error said
    unsigned mode_ = 0666;
    std::unique_ptr<QIODevice> device_;
};

// Opens `path`, lets `produce` write the content in pieces, and commits.
// Returns Error::None when the file is in place; otherwise the new file is
// thrown away, the old one stays, and `*problem` says why in German. When
// `produce` itself gives up (returns false with every write done) the result
// is Error::NoContent, and the producer is the one to say why.
Error WriteFile(const QString& path, Replace replace, const std::function<bool(FileWriter&)>& produce,
                QString* problem = nullptr);

// `path` with `extension` (".pdf") appended when its file name has no
// extension of its own ("Klasse 3b" becomes "Klasse 3b.pdf").
QString WithExtension(const QString& path, const QString& extension);

} // namespace files
