// The yardstick for start-up: a bare Qt widget window of the main window's
// client size, shown and left running.

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.setFixedSize(651, 451);
    window.show();
    return QApplication::exec();
}
