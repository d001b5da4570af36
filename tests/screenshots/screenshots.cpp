// Renders the program's windows offscreen into PNG files, for people to look
// at next to the layout tables: screenshots <folder>.

#include "TestSupport.h"

#include "app/Windows.h"
#include "main_window/Form1.h"

#include <QApplication>
#include <QDir>

static void Save(QWidget& w, const QString& folder, const QString& name)
{
    w.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(folder);
    FreshProgram();
    Form1& main = Instance<Form1>();
    main.Show();
    QApplication::processEvents();
    Save(main, folder, QStringLiteral("main_window"));
    return 0;
}
