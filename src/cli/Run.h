#pragma once
// Carrying out a parsed call once the application object exists: the
// headless worksheets, and the first window of a call that opens one.

namespace cli {

struct Request;

// Writes or prints the worksheets of an Action::Worksheets request; reports
// on stdout or, in German, on stderr. Returns the exit code, 0 or 1.
int RunWorksheets(const Request& request);

// Opens the first window of a Start, OpenTable, Editor or WorksheetsWindow
// request. Returns false, with a message on stderr, when the named table
// file is not there; then no window opens.
bool OpenFirstWindow(const Request& request);

} // namespace cli
