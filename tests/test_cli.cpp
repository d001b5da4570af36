// The command line: calls read into what to do, bad calls refused with a
// German sentence, and the first window of a call that opens one (a table
// loaded as from the file list, the row editor in front of the main window).

#include "TestSupport.h"
#include "WorkingDirectory.h"

#include "app/FileListBox.h"
#include "app/MODUL1.h"
#include "app/Windows.h"
#include "cli/CommandLine.h"
#include "cli/Run.h"
#include "main_window/Form1.h"
#include "rows/Form2.h"

#include <QtTest>

using cli::Action;

class CliTest : public QObject {
    Q_OBJECT

private slots:
    void calls_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("file"); // table file or CSV file
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("operation");
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("flag"); // --ersetzen, or the recording switch
        const auto row = [](const char* name, QStringList args, Action a, QString file = {}, int pages = 0,
                            int op = 1, QString output = {}, bool flag = false) {
            QTest::newRow(name) << args << int(a) << file << pages << op << output << flag;
        };
        row("no arguments", {}, Action::Start);
        row("a table", {"Mein Tisch.LST"}, Action::OpenTable, "Mein Tisch.LST");
        row("a table after --", {"--", "-x.LST"}, Action::OpenTable, "-x.LST");
        row("editor", {"--editor"}, Action::Editor);
        row("editor with a table", {"--editor", "T.LST"}, Action::Editor, "T.LST");
        row("worksheet window", {"--arbeitsblaetter"}, Action::WorksheetsWindow);
        row("window with a preset", {"--arbeitsblaetter", "--rechenart", "mal"}, Action::WorksheetsWindow, {}, 0, 3);
        row("worksheets", {"--arbeitsblaetter", "25", "--rechenart", "minus", "--ausgabe", "a.pdf", "--ersetzen"},
            Action::Worksheets, {}, 25, 2, "a.pdf", true);
        row("options first", {"--ausgabe=b.pdf", "--arbeitsblaetter=100"}, Action::Worksheets, {}, 100, 1, "b.pdf");
        row("one page of a table", {"--arbeitsblaetter", "1", "--tabelle", "T.LST"}, Action::Worksheets, "T.LST", 1);
        row("history", {"--verlauf"}, Action::ShowHistory);
        row("history csv", {"--verlauf-csv", "v.csv"}, Action::ExportHistoryCsv, "v.csv");
        row("recording on", {"--aufzeichnung", "an"}, Action::SetRecording, {}, 0, 1, {}, true);
        row("recording off", {"--aufzeichnung", "aus"}, Action::SetRecording);
        row("help wins", {"--editor", "--help"}, Action::ShowHelp);
        row("version", {"-v"}, Action::ShowVersion);
    }

    void calls()
    {
        QFETCH(QStringList, args);
        QFETCH(int, action);
        const cli::Request r = cli::Parse(args);
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QCOMPARE(int(r.action), action);
        QFETCH(QString, file);
        QCOMPARE(r.action == Action::ExportHistoryCsv ? r.csvFile : r.tableFile, file);
        QFETCH(int, pages);
        QCOMPARE(r.pages, pages);
        QFETCH(int, operation);
        QCOMPARE(r.operation, operation);
        QFETCH(QString, output);
        QCOMPARE(r.outputFile, output);
        QFETCH(bool, flag);
        QCOMPARE(r.action == Action::SetRecording ? r.recordingOn : r.replace, flag);
    }

    void badCalls_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("named"); // what the message must name
        QTest::newRow("no pages") << QStringList{"--arbeitsblaetter", "0"} << "„0“";
        QTest::newRow("too many pages") << QStringList{"--arbeitsblaetter", "101"} << "„101“";
        QTest::newRow("pages in words") << QStringList{"--arbeitsblaetter", "zehn"} << "„zehn“";
        QTest::newRow("negative pages") << QStringList{"--arbeitsblaetter=-3"} << "„-3“";
        QTest::newRow("unknown operation") << QStringList{"--arbeitsblaetter", "2", "--rechenart", "geteilt"}
                                           << "„geteilt“";
        QTest::newRow("unknown option") << QStringList{"--drucken"} << "„--drucken“";
        QTest::newRow("missing value") << QStringList{"--arbeitsblaetter", "2", "--tabelle"} << "--tabelle“";
        QTest::newRow("empty file name") << QStringList{"--arbeitsblaetter", "2", "--ausgabe", ""} << "„--ausgabe“";
        QTest::newRow("value for a switch") << QStringList{"--editor=T.LST"} << "--editor“";
        QTest::newRow("output without pages") << QStringList{"--arbeitsblaetter", "--ausgabe", "a.pdf"}
                                              << "„--ausgabe“";
        QTest::newRow("replace without output") << QStringList{"--arbeitsblaetter", "2", "--ersetzen"}
                                                << "„--ersetzen“";
        QTest::newRow("worksheet option alone") << QStringList{"--rechenart", "mal"} << "„--rechenart“";
        QTest::newRow("operation and table") << QStringList{"--arbeitsblaetter", "2", "--rechenart", "mal",
                                                            "--tabelle", "T.LST"}
                                             << "„--tabelle“";
        QTest::newRow("two doors") << QStringList{"--editor", "--arbeitsblaetter"} << "„--arbeitsblaetter“";
        QTest::newRow("two tables") << QStringList{"A.LST", "B.LST"} << "„B.LST“";
        QTest::newRow("twice") << QStringList{"--arbeitsblaetter", "2", "--ausgabe", "a.pdf", "--ausgabe", "b.pdf"}
                               << "„--ausgabe“";
        QTest::newRow("recording maybe") << QStringList{"--aufzeichnung", "vielleicht"} << "„vielleicht“";
        QTest::newRow("history with a table") << QStringList{"--verlauf", "T.LST"} << "„T.LST“";
    }

    void badCalls()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, named);
        const cli::Request r = cli::Parse(args);
        QCOMPARE(int(r.action), int(Action::BadUsage));
        QVERIFY2(r.error.contains(named), qPrintable(r.error));
        QVERIFY2(!r.error.contains(QStringLiteral("Missing")) && !r.error.contains(QStringLiteral("Unknown")),
                 qPrintable(r.error));
    }

    // A named table is loaded as a click in the main window's file list loads it,
    // whatever its name, and the file lists then show its folder.
    void tableOnTheCommandLine()
    {
        FreshProgram();
        ScopedWorkingDirectory elsewhere;
        ScopedWorkingDirectory folder;
        QVERIFY(CopyRowFixture(QStringLiteral("good.LST"), QStringLiteral("klasse 2b.txt")));
        const QString path = folder.Path() + QStringLiteral("/klasse 2b.txt");
        QVERIFY(QDir::setCurrent(elsewhere.Path()));

        QVERIFY(cli::OpenFirstWindow(cli::Parse({path})));

        Form1& main = Instance<Form1>();
        QVERIFY(main.isVisible());
        QCOMPARE(QDir::current().canonicalPath(), QDir(folder.Path()).canonicalPath());
        for (int k = 1; k <= 7; ++k)
            for (int i = 1; i <= 9; ++i)
                QCOMPARE(MODUL1::ColumnAt(k)[i], MODUL1::Cell(10 * k + i));
        // The list is back to the table files of that folder.
        QCOMPARE(main.Datei1->ListCount(), 0);
    }

    void brokenTableTakesTheFileListsWay()
    {
        ScriptedDialogs& dialogs = FreshProgram();
        ScopedWorkingDirectory folder;
        QVERIFY(CopyRowFixture(QStringLiteral("letters.LST")));

        QVERIFY(cli::OpenFirstWindow(cli::Parse({QStringLiteral("letters.LST")})));

        QCOMPARE(dialogs.calls.size(), std::size_t(1));
        QCOMPARE(dialogs.calls[0].text, QStringLiteral("Ein Ladefehler ist aufgetreten ...\r"));
        QVERIFY(Instance<Form1>().isVisible());
    }

    void missingTableOpensNothing()
    {
        FreshProgram();
        ScopedWorkingDirectory folder;
        QVERIFY(!cli::OpenFirstWindow(cli::Parse({QStringLiteral("fehlt.LST")})));
        QVERIFY(!Exists<Form1>());
        QVERIFY(!cli::OpenFirstWindow(cli::Parse({QStringLiteral("--editor"), QStringLiteral("fehlt.LST")})));
        QVERIFY(!Exists<Form2>());
    }

    // The editor comes first with the table loaded; its close button hands over
    // to the main window, which holds the table as the editor left it.
    void editorFirst()
    {
        FreshProgram();
        ScopedWorkingDirectory folder;
        QVERIFY(CopyRowFixture(QStringLiteral("good.LST")));

        QVERIFY(cli::OpenFirstWindow(cli::Parse({QStringLiteral("--editor"), QStringLiteral("good.LST")})));

        Form2& editor = Instance<Form2>();
        QVERIFY(editor.isVisible());
        QVERIFY(Exists<Form1>() && !Instance<Form1>().isVisible());
        QCOMPARE(editor.Liste3->List(4), QStringLiteral("35"));
        editor.Bild1_Click();
        QVERIFY(!editor.isVisible());
        QVERIFY(Instance<Form1>().isVisible());
        QCOMPARE(MODUL1::c[5], MODUL1::Cell(35));
    }
};

QTEST_MAIN(CliTest)
#include "test_cli.moc"
