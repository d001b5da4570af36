// Rechenkov: an arithmetic trainer for primary-school children.

#include "app/Application.h"
#include "cli/CommandLine.h"
#include "cli/Run.h"
#include "history/HistoryCommands.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

namespace {

void Write(std::FILE* stream, const QString& text) { std::fputs(text.toLocal8Bit().constData(), stream); }

QStringList Arguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
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
    case cli::Action::ShowHistory:
        // The parents' window stands alone: closing it ends the program.
        QApplication::setQuitOnLastWindowClosed(true);
        history::ShowHistoryWindow();
        return QApplication::exec();
    default: break;
    }
    if (!cli::OpenFirstWindow(request))
        return 1;
    return QApplication::exec();
}
