// Rechenkov: an arithmetic trainer for primary-school children.

#include "app/Application.h"
#include "app/Windows.h"
#include "main_window/Form1.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("rechenkov"));
    PrepareApplication(app);
    // Row files live in the working directory. A menu entry may start the
    // program in the root directory, where nobody can save; the home folder
    // is where a family looks for its tables.
    if (QDir::current().isRoot())
        QDir::setCurrent(QDir::homePath());
    Instance<Form1>().Show();
    return QApplication::exec();
}
