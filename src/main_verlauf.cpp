// rechenkov-verlauf: the window "Lernverlauf" for parents and teachers, a
// program of its own so that the child's program never loads the chart
// libraries. `rechenkov --verlauf` starts it; `rechenkov --klasse` starts it
// with --klasse for the teacher's window "Klassenverlauf".

#include "app/Application.h"
#include "history_window/ClassWindow.h"
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
    if (QApplication::arguments().contains(QStringLiteral("--klasse")))
        school::ShowClassWindow();
    else
        history::ShowHistoryWindow();
    return QApplication::exec();
}
