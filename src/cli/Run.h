#pragma once
// Carrying out a parsed call once the application object exists: the
// headless worksheets, and the first window of a call that opens one. Each
// action has its own function; src/main.cpp picks it.

#include "table/Operation.h"

class QString;

namespace cli {

struct Request;

// Says why a window does not open where the user sees it: on stderr for a
// terminal, and in a message box titled "Rechenkov" for a start from the
// desktop ("Öffnen mit", a menu action), where nobody reads stderr. Needs the
// application object.
void Refuse(const QString& problem);

// Writes or prints the worksheets of an Action::Worksheets request; reports
// on stdout or, in German, on stderr. Returns the exit code, 0 or 1.
int RunWorksheets(const Request& request);

// The first window of a call, with the table file named (if any) opened as a
// click in the window's file list opens it, from that file's own folder, so
// the file lists show its neighbours and the editor saves beside it. When
// the file cannot be read as a table file (rows::TableProblem), no window opens,
// the reason goes to stderr and into a message box titled "Rechenkov", and
// the function returns false.
bool OpenMainWindow(const QString& tableFile);
// The row editor in front; the main window exists behind it, loaded and
// hidden, so the editor's close button hands over to it as it always does.
bool OpenEditor(const QString& tableFile);
// The window "Arbeitsblätter", preset with an operation or a table.
bool OpenWorksheetsWindow(rows::Operation operation, const QString& tableFile);

} // namespace cli
