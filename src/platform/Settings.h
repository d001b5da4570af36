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

namespace school {
struct Settings;
struct SendState;
} // namespace school

namespace settings {

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
school::Settings ReadSchool(const QStringList& files);

// The school sender's state file at `path`; a missing file gives an empty state.
school::SendState ReadSendState(const QString& path);
// Writes it, readable by its owner alone; false when it could not be written.
bool WriteSendState(const QString& path, const school::SendState& state);

} // namespace settings
