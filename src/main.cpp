// Rechenkov: an arithmetic trainer for primary-school children.

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/Display.h"
#include "cli/Run.h"
#include "cli/HistoryCommands.h"
#include "cli/SchoolCheck.h"
#include "table/TableFile.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

namespace {

int Write(std::FILE* stream, const QString& text, int exitCode)
{
    cli::Put(stream, text);
    return exitCode;
}

QStringList Arguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// The window "Lernverlauf" is a program of its own beside this one (in the
// build folder) or in the package's libexec folder; it replaces this process.
// With `option` it shows the window that option names.
int StartHistoryWindow(int& argc, char** argv, const char* option = nullptr)
{
    const char* self = argv[0];
    char exe[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    const std::string dir = length > 0 ? std::filesystem::path(exe).parent_path().string() : std::string(".");
    for (const std::string& candidate : {dir + "/rechenkov-verlauf", dir + "/../libexec/rechenkov/rechenkov-verlauf"}) {
        if (access(candidate.c_str(), X_OK) == 0) {
            execl(candidate.c_str(), self, option, static_cast<char*>(nullptr));
            break;
        }
    }
    const QString problem =
        QStringLiteral("Das Fenster Lernverlauf konnte nicht gestartet werden (rechenkov-verlauf fehlt).");
    // Without a display the message on stderr is all there is.
    const auto app = cli::ApplicationOnDisplay(argc, argv, problem);
    cli::Refuse(problem);
    return 1;
}

// Work that opens no window: Qt without a display. Returns the work's exit code.
int WithoutWindow(int& argc, char** argv, const std::function<int()>& work)
{
    const auto app = cli::ApplicationWithoutDisplay(argc, argv);
    return work();
}

// A window: it needs a display. A table named on the command line that
// cannot be read is the first thing said, display or not, since no window
// would open for it anyway.
int WithWindow(int& argc, char** argv, const QString& tableFile, const std::function<bool()>& open)
{
    const QString problem = rows::TableProblem(tableFile);
    const auto app = cli::ApplicationOnDisplay(argc, argv, problem.isEmpty() ? cli::NoDisplayText() : problem);
    // Row files live in the working directory. A menu entry may start the
    // program in the root directory, where nobody can save; the home folder
    // is where a family looks for its tables. Names given on the command line
    // are read from where they were given.
    if (QDir::current().isRoot() && tableFile.isEmpty())
        QDir::setCurrent(QDir::homePath());
    if (!open())
        return 1;
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[])
{
    using cli::Action;
    const cli::Request request = cli::Parse(Arguments(argc, argv));
    // The one dispatch of what the command line asked for: each action's case
    // says what it needs (nothing, Qt without a display, a display) and what
    // does it. There is no default, so an action without its case does not
    // compile (-Werror=switch for this file).
    switch (request.action) {
    case Action::ShowHelp: return Write(stdout, cli::HelpText(), 0);
    case Action::ShowVersion: return Write(stdout, cli::VersionText() + QLatin1Char('\n'), 0);
    case Action::BadUsage:
        return Write(stderr,
                     request.error + QStringLiteral("\n\n") + cli::ShortUsage() +
                         QStringLiteral("Mehr dazu: rechenkov --help\n"),
                     2);
    case Action::Worksheets: return WithoutWindow(argc, argv, [&] { return cli::RunWorksheets(request); });
    case Action::ExportHistoryCsv:
        return WithoutWindow(argc, argv, [&] { return history::RunHistoryCsv(request.csvFile); });
    case Action::SetRecording:
        return WithoutWindow(argc, argv, [&] { return history::RunRecordingSwitch(request.recordingOn); });
    case Action::Start: return WithWindow(argc, argv, QString(), [] { return cli::OpenMainWindow(QString()); });
    case Action::OpenTable:
        return WithWindow(argc, argv, request.tableFile, [&] { return cli::OpenMainWindow(request.tableFile); });
    case Action::Editor:
        return WithWindow(argc, argv, request.tableFile, [&] { return cli::OpenEditor(request.tableFile); });
    case Action::WorksheetsWindow:
        return WithWindow(argc, argv, request.tableFile,
                          [&] { return cli::OpenWorksheetsWindow(request.operation, request.tableFile); });
    // A program of its own, which checks for a display itself.
    case Action::ShowHistory: return StartHistoryWindow(argc, argv);
    case Action::ShowClass: return StartHistoryWindow(argc, argv, "--klasse");
    case Action::CheckSchool: return WithoutWindow(argc, argv, [] { return school::RunSchoolCheck(); });
    }
    return 1; // not reached: every action returns from its case
}
