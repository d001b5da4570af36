// rechenkov-verlauf: the window "Lernverlauf" for parents and teachers, a
// program of its own so that the child's program never loads the chart
// libraries. `rechenkov --verlauf` starts it.

#include "app/Application.h"
#include "history_window/HistoryWindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("rechenkov"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Rechenkov"));
    PrepareApplication(app);
    // The parents' window stands alone: closing it ends the program.
    QApplication::setQuitOnLastWindowClosed(true);
    history::ShowHistoryWindow();
    return QApplication::exec();
}
