// Rechenkov: an arithmetic trainer for primary-school children.

#include "app/Application.h"
#include "app/Windows.h"
#include "main_window/Form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("rechenkov"));
    PrepareApplication(app);
    Instance<Form1>().Show();
    return QApplication::exec();
}
