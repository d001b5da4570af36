// rechenkov-verlauf: the window "Lernverlauf" for parents and teachers, a
// program of its own so that the child's program never loads the chart
// libraries. `rechenkov --verlauf` starts it; `rechenkov --klasse` starts it
// with --klasse for the teacher's window "Klassenverlauf".

#include "cli/Display.h"
#include "history_window/ClassWindow.h"
#include "history_window/HistoryWindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    const auto app = cli::ApplicationOnDisplay(argc, argv, cli::NoDisplayText());
    // The parents' window stands alone: closing it ends the program.
    QApplication::setQuitOnLastWindowClosed(true);
    if (QApplication::arguments().contains(QStringLiteral("--klasse")))
        school::ShowClassWindow();
    else
        history::ShowHistoryWindow();
    return QApplication::exec();
}
