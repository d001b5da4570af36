// rechenkov-verlauf: the window "Lernverlauf" for parents and teachers, a
// program of its own so that the child's program never loads the chart
// libraries. `rechenkov --verlauf` starts it.

#include "cli/Display.h"
#include "history_window/HistoryWindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    const auto app = cli::ApplicationOnDisplay(argc, argv, cli::NoDisplayText());
    // The parents' window stands alone: closing it ends the program.
    QApplication::setQuitOnLastWindowClosed(true);
    history::ShowHistoryWindow();
    return QApplication::exec();
}
