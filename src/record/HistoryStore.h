#pragma once
// The practice record on disk: one SQLite file holding every checked answer
// and every finished reward game, the queries behind the window
// "Lernverlauf", and the CSV export. It knows nothing of windows; whoever
// opens it decides whether a missing file may be created.
//
// Whether a file is ours is decided from its first bytes before SQLite ever
// opens it, so a file of another program is never changed, not even by the
// merge of its pending log. That look happens once, before this process's
// first connection to the file; afterwards only stat() compares identity. Every query is checked: a query that fails
// leaves the store in a state that says why, and its result is then empty
// and must not be shown as figures.

#include "record/Figures.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

class QSqlDatabase;
class QSqlError;
class QSqlQuery;

namespace history {

// One checked answer in the main window.
struct AnswerRecord {
    QDateTime time;
    QString child;    // the name label's caption
    int operation = 0; // as stored: rows::Number of the operation
    QString calcRow;  // the menu text of the calculation row, such as "c-e"
    int line = 0;     // 1..9
    QString expected;
    QString typed;
    bool right = false;
    qint64 ms = 0; // since the task was set up
};

// One finished reward game.
struct GameRecord {
    QDateTime time;
    QString child;
    qint64 seconds = 0;
};

// What the views ask for: one child (all children when null; an empty name
// is the answers given without a name) from a first
// day to a last day, both counted, in the reader's local time (open on a
// side whose day is null).
struct Filter {
    QString child;
    QDate from;
    QDate to = QDate();
};

class HistoryStore {
public:
    enum class State {
        Closed,      // not opened yet, or closed
        Ready,       // open and usable
        Missing,     // no file (or an empty one), and it was not to be created
        CannotOpen,  // no access to the file or its folder
        Corrupt,     // not an SQLite file, or a damaged one
        Foreign,     // a file of some other program
        Newer,       // written by a later version of this program: left alone
        WriteFailed, // disk full, read-only or similar while writing
        ReadFailed,  // a query failed for another reason than damage
        IsFolder,    // a folder stands where the file belongs
    };

    // The schema version this program writes; older files are upgraded in
    // place by the program that records, and read as they are by the others.
    static constexpr int kSchemaVersion = 3;

    explicit HistoryStore(QString path);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens the file for writing; with `create` a missing file (and its
    // folder) is made, private to the user. Returns whether the store is
    // Ready; otherwise State() says why.
    bool Open(bool create);
    // Opens the file for reading only: nothing is ever written, no log is
    // merged, and a folder without write permission is no obstacle. With
    // `check` the whole file is checked for damage first.
    bool OpenForReading(bool check = true);
    // Merges the log into the file (when opened for writing) and closes it.
    void Close();
    State GetState() const { return state_; }
    // Why the store is not usable, in plain German, the technical detail on a
    // line of its own; empty when Ready.
    QString Problem() const;
    const QString& Path() const { return path_; }
    // Whether the path still names the file that was opened (it may have
    // been set aside or removed meanwhile).
    bool StillAtPath() const;

    // The open connection, for a caller that runs its own queries in the thread that opened the store.
    QSqlDatabase Connection() const;

    // SQLite's automatic checkpoint of the log, on by default; off when
    // another thread checkpoints instead.
    void SetAutoCheckpoint(bool on);

    // Whether rows of an earlier schema still wait for ConvertStep.
    bool ConversionPending() const;
    // Converts up to `rows` waiting rows in one short transaction; the
    // number of rows handled (0 when nothing waits any longer), -1 when it
    // failed. The store must be open for writing.
    int ConvertStep(int rows);
    // Merges the log into the file as far as no reader needs it; false when
    // not all of it could be merged (the log then cannot begin anew).
    bool Checkpoint();

    // The class and the computer every later answer and game is recorded
    // with (a school's computer): they stay with the row, wherever and
    // whenever it is sent. Empty: none.
    void SetOrigin(const QString& klasse, const QString& computer)
    {
        klasse_ = klasse;
        computer_ = computer;
    }

    // Each in a transaction of its own; false (and WriteFailed or Corrupt)
    // when it could not be written. After WriteFailed the next write tries again.
    bool RecordAnswer(const AnswerRecord& a);
    bool RecordGame(const GameRecord& g);

    // The names with at least one answer or game, sorted.
    QStringList Children() const;
    bool IsEmpty() const;
    std::vector<DayCount> Days(const Filter& f) const;
    // Plus, minus and times, in that order; operations never practised are left out.
    std::vector<OperationStats> Operations(const Filter& f) const;
    // The rows with the most wrong answers (ties: the higher share) among
    // those answered at least `minAnswers` times.
    std::vector<WeakRow> WeakRows(const Filter& f, int limit = 5, int minAnswers = 5) const;
    GameStats Games(const Filter& f) const;
    // Every child with answers in the period (the filter's child is ignored), by name.
    std::vector<ChildStats> ChildTable(const Filter& f) const;

    // Every answer and game, oldest first, as UTF-8 CSV for a spreadsheet,
    // handed to `write` in pieces. False when the record could not be read
    // to its end or `write` failed.
    bool WriteCsv(const std::function<bool(const QByteArray&)>& write) const;

    // Deletes every answer and game in one transaction, then compacts the
    // file; a program recording into it meanwhile goes on into the same
    // file. The store must be open for writing.
    bool DeleteAll();

    // Removes the file with its log files, when it is damaged or not ours. Never a folder.
    static bool DeleteFile(const QString& path);
    // Renames the file with its log files to a free name beside it, so a
    // new record can begin; the new name in `*kept`. Never a folder.
    static bool SetAside(const QString& path, QString* kept);
    // The logs that were found beside the file at `path` but did not belong
    // to it (a backup copied back beside the log of a later run) and were
    // set aside under these names before the file was opened, oldest first.
    static QStringList LogsSetAside(const QString& path);
    // Whether the file's folder lies on this computer's own disk; elsewhere
    // (NFS, SMB, FUSE) the record is kept with a rollback journal.
    static bool OnLocalDisk(const QString& path);
    // Which file the path names now ("device:inode"), empty when none.
    static QString Identity(const QString& path);

private:
    enum class Kind { Absent, Empty, Ours, Foreign, NotDatabase, Folder, Unreadable };
    // Finds out what the path holds; a file of ours is then held (see Hold)
    // until Close.
    Kind Examine() const;
    // Renames the log (and removes its index) where no program uses it.
    void SetAsideLog() const;
    // Counts this store among the holders of the file (with the holders' mutex locked).
    void Hold(const QString& identity) const;
    bool Fail(State s, const QString& detail);
    // A write succeeded: a failure before it no longer holds.
    bool Written();
    bool FailFrom(const QSqlError& e, State otherwise);
    // Notes a failed query of a view; the caller's result is then empty.
    void ReadError(const QSqlError& e) const;
    bool CreateOrUpgrade(int fromVersion);
    bool ReadOldSchema(int version);
    bool ShowConvertedSoFar();
    // Reads the file's schema version into `*version`; false (CannotOpen, or
    // Newer for a file of a later program) when it cannot be used.
    bool ReadVersion(QSqlQuery& q, int* version);

    QString path_;
    QString connection_;
    mutable State state_ = State::Closed;
    mutable QString detail_;
    QString identity_;
    mutable QString held_; // the file this store holds, while it holds one
    bool Insert(const char* table, const QString& columns, QVariantList values, const QDateTime& time);

    bool writable_ = false;
    QString klasse_;
    QString computer_;
};

// The file under the application data folder of organisation and application "Rechenkov".
QString DefaultHistoryPath();

// A text field of a CSV line: a field that begins with = + - @, a tab or a
// carriage return, or whose first visible character is one of the first
// four, gets a leading ' so that no spreadsheet runs it as a formula;
// ; " and line breaks are quoted.
QString CsvTextField(const QString& text);

} // namespace history
