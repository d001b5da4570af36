#pragma once
// The opt-in recording as the child's windows see it: a handful of calls,
// each one line at its place in the main window and the game. While the
// switch is off each of them returns at once and opens or creates no file.
// Trouble with the file never reaches the child: recording pauses and the
// window "Lernverlauf" tells the adults why.

#include <QString>

namespace history {

// The switch, kept in the settings of organisation and application "Rechenkov".
// It is read again before every answer, so a parent's "aus" holds from the
// next answer on, in a program already running too.
bool RecordingOn();
// False when the setting could not be saved.
bool SetRecordingOn(bool on);

// The name the main window starts with: the one used last while recording
// is on, `fallback` otherwise.
QString StartName(const QString& fallback);
// The name used last while recording was on; empty when there is none.
QString LastName();
// Keeps a newly entered name for the next start (only while recording is on).
void RememberName(const QString& name);

// Called when a task is set up and when the reward game closes; the
// answer's time is counted from here.
void MarkTaskSetUp();
// Called after every check of an answer in the main window.
void RecordAnswer(const QString& child, int operation, int calcRow, int line, const QString& expected,
                  const QString& typed);
// Called when a reward game is finished, with its seconds; the child is the
// one of the last answer.
void RecordGame(long long seconds);
// Called when the program ends: everything written goes into the file itself.
void CloseRecord();

// Why recording paused, and the stretches of practice that could not be
// recorded (a full disk: each answer tries again), for the parents' window;
// empty when nothing is to be said. A stretch is kept over restarts until
// this is first asked, then shown by this program as long as it runs.
QString PausedReason();
// Only why recording paused (the first part of the above), without asking
// anything else; empty when it records.
QString PausedProblem();
// A parent made a new beginning: nothing of the above holds any longer.
void ClearPausedReason();
// Whether recording is paused in this run.
bool RecordingPaused();
// A reader found the file at `path` damaged: a program recording into it
// stops before its next answer.
void NoteDamagedRecord(const QString& path);

// Closes the open file and forgets a pause (tests; deleting the record).
void ResetRecorder();

} // namespace history
