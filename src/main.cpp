// Rechenkov: an arithmetic trainer for primary-school children.

#include "app/Application.h"
#include "cli/CommandLine.h"
#include "cli/Run.h"
#include "history/HistoryCommands.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

void Write(std::FILE* stream, const QString& text) { std::fputs(text.toLocal8Bit().constData(), stream); }

QStringList Arguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// The window "Lernverlauf" is a program of its own beside this one (in the
// build folder) or in the package's libexec folder; it replaces this process.
int StartHistoryWindow(const char* self)
{
    char exe[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    const std::string dir = length > 0 ? std::filesystem::path(exe).parent_path().string() : std::string(".");
    for (const std::string& candidate : {dir + "/rechenkov-verlauf", dir + "/../libexec/rechenkov/rechenkov-verlauf"}) {
        if (access(candidate.c_str(), X_OK) == 0) {
            execl(candidate.c_str(), self, static_cast<char*>(nullptr));
            break;
        }
    }
    Write(stderr, QStringLiteral("Das Fenster Lernverlauf konnte nicht gestartet werden (rechenkov-verlauf fehlt).\n"));
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    const cli::Request request = cli::Parse(Arguments(argc, argv));
    switch (request.action) {
    case cli::Action::ShowHelp: Write(stdout, cli::HelpText()); return 0;
    case cli::Action::ShowVersion: Write(stdout, cli::VersionText() + QLatin1Char('\n')); return 0;
    case cli::Action::BadUsage:
        Write(stderr, request.error + QStringLiteral("\n\n") + cli::ShortUsage() +
                          QStringLiteral("Mehr dazu: rechenkov --help\n"));
        return 2;
    case cli::Action::ShowHistory: return StartHistoryWindow(argv[0]);
    default: break;
    }

    // Work without a window needs no display: where there is none, Qt draws offscreen.
    if (cli::IsHeadless(request) && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("rechenkov"));
    // The windows belong to the menu entry of this name, on X11 and on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Rechenkov"));
    PrepareApplication(app);
    // Row files live in the working directory. A menu entry may start the
    // program in the root directory, where nobody can save; the home folder
    // is where a family looks for its tables. Names given on the command line
    // are read from where they were given.
    if (QDir::current().isRoot() && !cli::IsHeadless(request) && request.tableFile.isEmpty())
        QDir::setCurrent(QDir::homePath());

    switch (request.action) {
    case cli::Action::Worksheets: return cli::RunWorksheets(request);
    case cli::Action::SetRecording: return history::RunRecordingSwitch(request.recordingOn);
    case cli::Action::ExportHistoryCsv: return history::RunHistoryCsv(request.csvFile);
    default: break;
    }
    if (!cli::OpenFirstWindow(request))
        return 1;
    return QApplication::exec();
}
