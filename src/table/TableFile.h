#pragma once
// Loading a row file into the shared row table, for both windows and for
// anything that loads a table before a window is shown; and what keeps a
// path from being read as one.

#include <QString>

namespace rows {

// Loads the row file `name` (a name in the working directory, as a file list
// shows it, or a path) into the row table of MODUL1. All 63 fields are read
// into a table of their own first; only a complete file reaches the row
// table, which is then marked changed (MODUL1::TableChanged) so that the main
// window draws it afresh when it is shown next. A file that cannot be opened
// or read in full leaves the row table and the marker as they were. Returns
// whether the file was loaded.
bool LoadTable(const QString& name);

// What is wrong with `path` as a table to read, in one German sentence: it
// is not there, is a folder, is no regular file (a device, a pipe) or may
// not be read. Empty for a readable regular file (whether its content is a
// table is the row reader's business) and for an empty path.
QString TableProblem(const QString& path);

} // namespace rows
