#pragma once
// The opt-in recording as the child's windows see it: a handful of calls,
// each one line at its place in the main window and the game. While the
// switch is off each of them returns at once and opens or creates no file.
// Trouble with the file never reaches the child: recording pauses for the
// rest of the run and the window "Lernverlauf" tells the adults why.

#include <QString>

namespace history {

// The switch, kept in the settings of organisation and application "Rechenkov".
// A run reads it once; switching in another run takes effect at the next start.
bool RecordingOn();
// False when the setting could not be saved.
bool SetRecordingOn(bool on);

// The name the main window starts with: the one used last while recording
// is on, `fallback` otherwise.
QString StartName(const QString& fallback);
// Keeps a newly entered name for the next start (only while recording is on).
void RememberName(const QString& name);

// Called when a task is set up; the answer's time is counted from here.
void MarkTaskSetUp();
// Called after every check of an answer in the main window.
void RecordAnswer(const QString& child, int operation, int calcRow, int line, const QString& expected,
                  const QString& typed);
// Called when a reward game is finished, with its seconds; the child is the
// one of the last answer.
void RecordGame(long long seconds);

// Why recording paused in an earlier run, for the window; empty when it did not.
QString PausedReason();
void ClearPausedReason();
// Whether recording is paused in this run.
bool RecordingPaused();

// Closes the open file, forgets a pause and reads the switch afresh (tests; deleting the record).
void ResetRecorder();

} // namespace history
