#pragma once
// What the command line does for the practice record without a window: the
// switch and the CSV. Each returns the exit code. The window "Lernverlauf"
// is a program of its own (rechenkov-verlauf), so the child's program never
// loads the chart libraries.

class QString;

namespace history {

// --aufzeichnung an|aus: sets the switch and prints its new state.
int RunRecordingSwitch(bool on);
// --verlauf-csv DATEI.csv: writes the whole record; exit 1 with a message on
// standard error when there is no record or the file cannot be written.
int RunHistoryCsv(const QString& path);

} // namespace history
