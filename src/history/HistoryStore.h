#pragma once
// The practice record on disk: one SQLite file holding every checked answer
// and every finished reward game, the queries behind the window
// "Lernverlauf", and the CSV export. It knows nothing of windows; whoever
// opens it decides whether a missing file may be created.

#include <QDate>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace history {

// One checked answer in the main window.
struct AnswerRecord {
    QDateTime time;
    QString child;    // the name label's caption
    int operation = 0; // 1 plus, 2 minus, 3 times
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

struct DayCount {
    QDate day;
    int right = 0;
    int wrong = 0;
};

struct OperationStats {
    int operation = 0;
    int answers = 0;
    int right = 0;
    std::optional<double> medianSeconds; // of the right answers; none without one
};

struct WeakRow {
    QString calcRow;
    int wrong = 0;
    int answers = 0;
};

struct GameStats {
    int count = 0;
    std::optional<qint64> bestSeconds;
};

// What the views ask for: one child (all children when empty) from a first
// day on (all days when null).
struct Filter {
    QString child;
    QDate from;
};

class HistoryStore {
public:
    enum class State {
        Closed,     // not opened yet, or closed
        Ready,      // open and usable
        Missing,    // no file, and it was not to be created
        CannotOpen, // no access to the file or its folder
        Corrupt,    // not an SQLite file, or a damaged one
        Foreign,    // an SQLite file of some other program
        Newer,      // written by a later version of this program: left alone
        WriteFailed // disk full, read-only or similar while writing
    };

    // The schema version this program writes; older files are upgraded in place.
    static constexpr int kSchemaVersion = 1;

    explicit HistoryStore(QString path);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens the file; with `create` a missing file (and its folder) is made.
    // Returns whether the store is Ready; otherwise State() says why.
    bool Open(bool create);
    void Close();
    State GetState() const { return state_; }
    // Why the store is not usable, as a sentence for parents; empty when Ready.
    QString Problem() const;
    const QString& Path() const { return path_; }

    // SQLite's automatic checkpoint of the log, on by default; off when
    // another thread checkpoints instead.
    void SetAutoCheckpoint(bool on);

    // Each in a transaction of its own; false (and WriteFailed) when it could not be written.
    bool RecordAnswer(const AnswerRecord& a);
    bool RecordGame(const GameRecord& g);

    // The names with at least one answer or game, sorted.
    QStringList Children() const;
    bool IsEmpty() const;
    std::vector<DayCount> Days(const Filter& f) const;
    // Plus, minus and times, in that order; operations never practised are left out.
    std::vector<OperationStats> Operations(const Filter& f) const;
    // The rows with the highest share of wrong answers among those answered at least `minAnswers` times.
    std::vector<WeakRow> WeakRows(const Filter& f, int limit = 5, int minAnswers = 5) const;
    GameStats Games(const Filter& f) const;

    // Every answer and game, oldest first, as UTF-8 CSV for a spreadsheet,
    // handed to `write` in pieces. False when the record could not be read
    // to its end or `write` failed.
    bool WriteCsv(const std::function<bool(const QByteArray&)>& write) const;

    // Removes the file with its journal files. The store must be closed.
    static bool DeleteFile(const QString& path);

private:
    bool Fail(State s, const QString& detail);
    bool CreateOrUpgrade(int fromVersion);

    QString path_;
    QString connection_;
    State state_ = State::Closed;
    QString detail_;
};

// The file under the application data folder of organisation and application "Rechenkov".
QString DefaultHistoryPath();

// The operation's name in the CSV and the window.
QString OperationName(int operation);

// A text field of a CSV line: a leading = + - @ gets a ' so that no
// spreadsheet runs it as a formula; ; " and line breaks are quoted.
QString CsvTextField(const QString& text);

} // namespace history
