#pragma once
// What the command line does for the practice record: the switch, the CSV
// without a window, and the window "Lernverlauf". Each returns the exit code
// (or shows the window; the caller runs the event loop).

class QString;

namespace history {

// --aufzeichnung an|aus: sets the switch and prints its new state.
int RunRecordingSwitch(bool on);
// --verlauf-csv DATEI.csv: writes the whole record; exit 1 with a message on
// standard error when there is no record or the file cannot be written.
int RunHistoryCsv(const QString& path);
// --verlauf: shows the window "Lernverlauf" (it deletes itself when closed).
void ShowHistoryWindow();

} // namespace history
