// A second yardstick for start-up: the bare window with one line of text, so
// that it pays for the font database as every window with text must.

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Rechne nochmal ..."));
    window.setWindowTitle(QStringLiteral("Bare with text"));
    window.setFixedSize(651, 451);
    window.show();
    return QApplication::exec();
}
