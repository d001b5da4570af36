#pragma once
// Every setting this program keeps or reads, in one place: each key is
// spelled here and nowhere else, so a stored file always finds its values
// under the same names.
//
// - the user's own settings (organisation and application "Rechenkov"):
//   the recording's switch, the last name and what the parents are told;
// - the computer's settings, section [Schule] of the system-wide files;
// - the school sender's small state file beside the local record.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

namespace settings {

// The computer's settings: /etc/xdg/Rechenkov/Rechenkov.conf (or the same
// path under each folder of XDG_CONFIG_DIRS, the first one's value winning),
// section [Schule]. Values are taken as written up to the end of the line,
// commas and quotes included.
struct School {
    QString connection; // Verbindung=: a libpq connection string ("host=... dbname=... user=...", "service=...")
    QString klasse;     // Klasse=: optional, such as "3b"
    QString file;       // the file that holds [Schule] (or, without one, the first place looked at)
    QString problem;    // in German, when a [Schule] section is there but cannot be used
    bool Configured() const { return !connection.trimmed().isEmpty(); }
};

// What the sender last knew, kept in a small file beside the local record so
// that the windows of any later run can read it.
struct SendState {
    QString source;       // a random id of the local record: the rows' key on the server with their row number
    qint64 answersUpTo = 0; // the last answer's row number the server holds
    QString answersTime;  // that row's time as stored, to notice a record emptied or replaced meanwhile
    qint64 gamesUpTo = 0;
    QString gamesTime;
    QDateTime failingSince; // invalid while sending works
    QString reason;       // why nothing could be sent, in German
    qint64 waiting = 0;   // answers and games not yet on the server after the last attempt
};

// The user's settings, read when made. Changes are kept in memory until
// Save(); several changes saved together go out in one write.
class User {
public:
    User();
    ~User();
    User(const User&) = delete;
    User& operator=(const User&) = delete;

    // The recording's switch; off when never set.
    bool RecordingOn() const;
    void SetRecordingOn(bool on);

    // The name used last while recording was on; empty when there is none.
    QString LastName() const;
    void SetLastName(const QString& name);

    // Why recording paused or could not write, in German for the parents.
    bool HasProblem() const;
    QString Problem() const;
    void SetProblem(const QString& reason);
    void RemoveProblem();

    // The record file (device and inode) a reader found damaged.
    bool HasDamagedFile() const;
    QString DamagedFile() const;
    void SetDamagedFile(const QString& file);
    void RemoveDamagedFile();

    // Stretches of practice that could not be recorded, a line each for the parents.
    QStringList Gaps() const;
    void SetGaps(const QStringList& gaps);
    void RemoveGaps();

    // The stretch still open: since when, and how many answers it lost so far.
    bool HasGapSince() const;
    QDateTime GapSince() const;
    void SetGapSince(const QDateTime& since);
    int GapAnswers() const; // 0 when not set
    void SetGapAnswers(int answers);
    void RemoveOpenGap(); // both of the above

    // The logs set aside beside the record that the parents were told of.
    QStringList LogsTold() const;
    void SetLogsTold(const QStringList& logs);

    // Writes the settings out, then makes the file and its folder the
    // user's alone (they hold children's names); a file or folder reached
    // through a symbolic link is someone's arrangement and left as it is.
    // False when the settings could not be written.
    bool Save();

private:
    std::unique_ptr<QSettings> s_;
};

// The computer's settings files, in the order they count: Rechenkov/Rechenkov.conf
// under each folder of XDG_CONFIG_DIRS (/etc/xdg without it). Only these count:
// a child's own settings cannot point the computer at another server.
QStringList SchoolFiles();
// Section [Schule] of these files, read by hand line by line, the first
// file's value winning key by key; with a German problem when the files
// cannot be read or the section is not usable.
School ReadSchool(const QStringList& files);

// The school sender's state file at `path`; a missing file gives an empty state.
SendState ReadSendState(const QString& path);
// Writes it, readable by its owner alone; false when it could not be written.
bool WriteSendState(const QString& path, const SendState& state);

} // namespace settings
