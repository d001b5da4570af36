// Renders the program's four windows offscreen into PNG files, for people to
// look at next to the layout tables: screenshots <folder>. With
// QT_SCALE_FACTOR=2 in the environment they come out at twice the size.

#include "TestSupport.h"

#include "compat/KeyCodes.h"
#include "compat/Label.h"
#include "table/MODUL1.h"
#include "compat/Windows.h"
#include "game/fang.h"
#include "info/KOVLABEL.h"
#include "main_window/Form1.h"
#include "editor/Form2.h"

#include <QApplication>
#include <QDir>

static void Save(QWidget& w, const QString& folder, const QString& name)
{
    QApplication::processEvents();
    w.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(folder);
    FreshProgram();

    // The main window after two right answers, with a third one typed.
    Form1& main = Instance<Form1>();
    main.Show();
    for (int i = 0; i < 2; ++i) {
        main.Bezeichnung2->SetCaption(main.Bezeichnung3->Caption());
        main.PreviewKey(KeyCode::Return);
    }
    main.Bezeichnung2->SetCaption(main.Bezeichnung3->Caption());
    Save(main, folder, QStringLiteral("main_window"));

    // The row editor, opened the way the main window opens it.
    main.Bild13_DblClick();
    Form2& editor = Instance<Form2>();
    Save(editor, folder, QStringLiteral("row_editor"));
    editor.Bild1_Click();

    // The catch game before and after the start click.
    MODUL1::CatchText = QStringLiteral("0123456789");
    main.Hide();
    fang& game = Instance<fang>();
    game.Show();
    Save(game, folder, QStringLiteral("game_waiting"));
    game.Bild5_Click();
    Save(game, folder, QStringLiteral("game"));
    game.EndGame();

    main.Bild9_Click();
    KOVLABEL& info = Instance<KOVLABEL>();
    Save(info, folder, QStringLiteral("info"));
    return 0;
}
