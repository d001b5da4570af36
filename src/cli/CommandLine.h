#pragma once
// The program's command line, for the adults: what a call asks for, read
// from the arguments alone (no file is looked at, no window needed), and the
// German help and usage texts. Started without arguments the program is the
// child's trainer, exactly as ever.

#include "print/Worksheets.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace cli {

// What a call asks for. src/main.cpp dispatches it in one switch without a
// default, so an action added here without its case there does not compile.
// A new door is an Action, its reading in Parse (with its fields in
// Request), and its one case in that switch, which picks Qt without a
// display or a display for windows.
enum class Action {
    Start,            // the main window, as always
    OpenTable,        // the main window with a table file loaded
    Editor,           // the row editor first, with a table file loaded if one is named
    Worksheets,       // N worksheet pages to a PDF file or the default printer, no window
    WorksheetsWindow, // the window "Arbeitsblätter"
    ShowHistory,      // the practice record's window
    ExportHistoryCsv, // the practice record as a CSV file
    SetRecording,     // switch the practice record on or off
    ShowHelp,
    ShowVersion,
    BadUsage,
    CheckSchool, // check this computer's connection to the school's server
    ShowClass,   // the teacher's window over the school's server
};

struct Request {
    Action action = Action::Start;
    QString tableFile;        // OpenTable, Editor (may be empty), worksheets' --tabelle
    int pages = 0;            // Worksheets: 1..100
    rows::Operation operation = rows::Operation::Plus; // worksheets: --rechenart
    bool operationGiven = false;
    QString outputFile;       // Worksheets: --ausgabe; empty means a printer
    std::vector<rows::CalcRow> tasks; // Worksheets: --reihen; empty means drawn per sheet
    bool key = false;         // Worksheets: --loesungen
    QString recordChild;      // Worksheets: --aus-verlauf, the child whose weakest calculation rows are asked for
    QString printer;          // Worksheets: --drucker; empty means the default printer
    QString stackCode;        // Worksheets: --stapel, the stack to make again; empty means a new one
    int range = 0;            // Worksheets: --zahlenraum 20, 100 or 1000; 0 means the program's columns
    std::vector<int> timesRows; // Worksheets: --einmaleins, the rows of the times table; empty means none
    bool replace = false;     // --ersetzen
    QString csvFile;          // ExportHistoryCsv
    bool recordingOn = false; // SetRecording
    QString error;            // BadUsage: what is wrong, one German sentence
};

// Reads the arguments after the program's name.
Request Parse(const QStringList& arguments);

QString HelpText();
QString ShortUsage();
QString VersionText();

} // namespace cli
