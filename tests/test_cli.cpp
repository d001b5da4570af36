// The command line: calls read into what to do, bad calls refused with a
// German sentence, and the first window of a call that opens one (a table
// loaded as from the file list, the row editor in front of the main window).

#include "TestSupport.h"
#include "WorkingDirectory.h"

#include "compat/FileListBox.h"
#include "table/MODUL1.h"
#include "compat/Windows.h"
#include "cli/CommandLine.h"
#include "cli/Run.h"
#include "main_window/Form1.h"
#include "editor/Form2.h"

#include <QProcess>
#include <QtTest>

#include <unistd.h>

using cli::Action;

class CliTest : public QObject {
    Q_OBJECT

private slots:
    void calls_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("read"); // action, file (table or CSV), pages, operation, output, flag
        const auto row = [](const char* name, QStringList args, const char* read) {
            QTest::newRow(name) << args << QString::fromUtf8(read);
        };
        row("no arguments", {}, "Start,,0,1,,0");
        row("a table", {"Mein Tisch.LST"}, "OpenTable,Mein Tisch.LST,0,1,,0");
        row("a table after --", {"--", "-x.LST"}, "OpenTable,-x.LST,0,1,,0");
        row("editor", {"--editor"}, "Editor,,0,1,,0");
        row("editor with a table", {"--editor", "T.LST"}, "Editor,T.LST,0,1,,0");
        row("worksheet window", {"--arbeitsblaetter"}, "WorksheetsWindow,,0,1,,0");
        row("window with a preset", {"--arbeitsblaetter", "--rechenart", "mal"}, "WorksheetsWindow,,0,3,,0");
        row("worksheets", {"--arbeitsblaetter", "25", "--rechenart", "minus", "--ausgabe", "a.pdf", "--ersetzen"},
            "Worksheets,,25,2,a.pdf,1");
        row("options first", {"--ausgabe=b.pdf", "--arbeitsblaetter=100"}, "Worksheets,,100,1,b.pdf,0");
        row("one page of a table", {"--arbeitsblaetter", "1", "--tabelle", "T.LST"}, "Worksheets,T.LST,1,1,,0");
        row("times pairs of a table", {"--arbeitsblaetter", "2", "--rechenart", "mal", "--tabelle", "T.LST"},
            "Worksheets,T.LST,2,3,,0");
        row("all of the times table", {"--arbeitsblaetter", "3", "--einmaleins", "--ausgabe", "x.pdf"},
            "Worksheets,,3,3,x.pdf,0");
        row("history", {"--verlauf"}, "ShowHistory,,0,1,,0");
        row("history csv", {"--verlauf-csv", "v.csv"}, "ExportHistoryCsv,v.csv,0,1,,0");
        row("recording on", {"--aufzeichnung", "an"}, "SetRecording,,0,1,,1");
        row("recording off", {"--aufzeichnung", "aus"}, "SetRecording,,0,1,,0");
        row("help wins", {"--editor", "--help"}, "ShowHelp,,0,1,,0");
        row("version", {"-v"}, "ShowVersion,,0,1,,0");
    }

    void calls()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, read);
        static const QStringList kActions = {"Start", "OpenTable", "Editor", "Worksheets", "WorksheetsWindow",
                                             "ShowHistory", "ExportHistoryCsv", "SetRecording", "ShowHelp",
                                             "ShowVersion", "BadUsage"};
        const cli::Request r = cli::Parse(args);
        const bool csv = r.action == Action::ExportHistoryCsv;
        const bool flag = r.action == Action::SetRecording ? r.recordingOn : r.replace;
        QCOMPARE(QStringList({kActions.value(int(r.action)), csv ? r.csvFile : r.tableFile, QString::number(r.pages),
                              QString::number(rows::Number(r.operation)), r.outputFile, QString::number(int(flag))})
                     .join(QLatin1Char(',')) + r.error,
                 read);
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
        QTest::newRow("a negative count") << QStringList{"--arbeitsblaetter", "-1"}
                                          << "„-1“ ist keine gültige Zahl von Blättern: erlaubt sind 1 bis 100 Blätter.";
        QTest::newRow("operation against pairs") << QStringList{"--arbeitsblaetter", "2", "--rechenart", "minus",
                                                                "--reihen", "a+b"}
                                                 << "„--rechenart minus“ passt nicht zu „--reihen a+b“";
        QTest::newRow("range for times") << QStringList{"--arbeitsblaetter", "2", "--zahlenraum", "100", "--reihen",
                                                        "a+b,b*f"}
                                         << "Einmaleins";
        QTest::newRow("range of a table") << QStringList{"--arbeitsblaetter", "2", "--zahlenraum", "20", "--tabelle",
                                                         "T.LST"}
                                          << "Tabelle bringt ihre Zahlen";
        QTest::newRow("times table for plus") << QStringList{"--arbeitsblaetter", "2", "--einmaleins", "3",
                                                             "--rechenart", "plus"}
                                              << "nur für Mal";
        QTest::newRow("no such range") << QStringList{"--arbeitsblaetter", "2", "--zahlenraum", "50"} << "„50“";
        QTest::newRow("no such row") << QStringList{"--arbeitsblaetter", "2", "--einmaleins", "3,11"} << "„3,11“";
        QTest::newRow("no stack code") << QStringList{"--arbeitsblaetter", "2", "--stapel", "K7MU"} << "„K7MU“";
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

    void tableOnTheCommandLine_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("not a table's name") << QStringLiteral("klasse 2b.txt");
        QTest::newRow("hidden") << QStringLiteral(".klasse.LST");
    }

    // A named table is loaded as a click in the main window's file list loads it,
    // whatever its name (the list shows neither of these), and the file lists
    // then show its folder.
    void tableOnTheCommandLine()
    {
        QFETCH(QString, name);
        FreshProgram();
        ScopedWorkingDirectory elsewhere;
        ScopedWorkingDirectory folder;
        QVERIFY(CopyRowFixture(QStringLiteral("good.LST"), name));
        const QString path = folder.Path() + QLatin1Char('/') + name;
        QVERIFY(QDir::setCurrent(elsewhere.Path()));

        QVERIFY(cli::OpenMainWindow(path));

        Form1& main = Instance<Form1>();
        QVERIFY(main.isVisible());
        QCOMPARE(QDir::current().canonicalPath(), QDir(folder.Path()).canonicalPath());
        for (int k = 1; k <= 7; ++k)
            for (int i = 1; i <= 9; ++i)
                QCOMPARE(MODUL1::ColumnAt(k)[i], Cell(10 * k + i));
        // The list is back to the table files of that folder.
        QCOMPARE(main.Datei1->ListCount(), 0);
    }

    void brokenTableTakesTheFileListsWay()
    {
        ScriptedDialogs& dialogs = FreshProgram();
        ScopedWorkingDirectory folder;
        QVERIFY(CopyRowFixture(QStringLiteral("letters.LST")));

        QVERIFY(cli::OpenMainWindow(QStringLiteral("letters.LST")));

        QCOMPARE(dialogs.calls.size(), std::size_t(1));
        QCOMPARE(dialogs.calls[0].text, QStringLiteral("Ein Ladefehler ist aufgetreten ...\r"));
        QVERIFY(Instance<Form1>().isVisible());
    }

    // A table that cannot be read opens no window; the reason is said in a box
    // too, for a start from the desktop, where nobody sees stderr.
    void missingTableOpensNothing()
    {
        ScriptedDialogs& dialogs = FreshProgram();
        ScopedWorkingDirectory folder;
        QVERIFY(!cli::OpenMainWindow(QStringLiteral("fehlt.LST")));
        QVERIFY(!Exists<Form1>());
        QVERIFY(!cli::OpenEditor(QStringLiteral("fehlt.LST")));
        QVERIFY(!Exists<Form2>());
        QVERIFY(QDir().mkdir(QStringLiteral("Ordner.LST")));
        QVERIFY(!cli::OpenWorksheetsWindow(rows::Operation::Plus, QStringLiteral("Ordner.LST")));
        QVERIFY(!cli::OpenEditor(QStringLiteral("/dev/zero")));
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
        QString said;
        for (const DialogCall& call : dialogs.calls)
            said += call.title + QLatin1Char(':') + call.text + QLatin1Char('\n');
        for (const char* part : {"Rechenkov:Die Tabelle „fehlt.LST“ gibt es nicht",
                                 "Rechenkov:„Ordner.LST“ ist ein Ordner",
                                 "Rechenkov:„/dev/zero“ ist keine gewöhnliche Datei"})
            QVERIFY2(said.contains(QString::fromUtf8(part)) && dialogs.calls.size() == 4, qPrintable(said));
    }

    // The editor comes first with the table loaded; its close button hands over
    // to the main window, which holds the table as the editor left it.
    void editorFirst()
    {
        FreshProgram();
        ScopedWorkingDirectory folder;
        QVERIFY(CopyRowFixture(QStringLiteral("good.LST")));

        QVERIFY(cli::OpenEditor(QStringLiteral("good.LST")));

        Form2& editor = Instance<Form2>();
        QVERIFY(editor.isVisible());
        QVERIFY(Exists<Form1>() && !Instance<Form1>().isVisible());
        QCOMPARE(editor.Liste3->List(4), QStringLiteral("35"));
        editor.Bild1_Click();
        QVERIFY(!editor.isVisible());
        QVERIFY(Instance<Form1>().isVisible());
        QCOMPARE(MODUL1::c[5], Cell(35));
    }

    // The real program as cron, tmux after logout or a closed "ssh -X" start
    // it: no display, or one that is gone. Qt alone aborts with 134.
    void programWithoutDisplay()
    {
        ScopedWorkingDirectory folder;
        QVERIFY(CopyRowFixture(QStringLiteral("good.LST")));
        QVERIFY(QDir().mkdir(QStringLiteral("Ordner.LST")));
        QProcessEnvironment none = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            none.remove(QString::fromLatin1(name));
        // The settings and the record of these runs stay in the test's folder.
        none.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.Path());
        none.insert(QStringLiteral("XDG_DATA_HOME"), folder.Path());
        // A display nobody serves (xvfb-run of other tests starts at :99).
        QProcessEnvironment dead = none;
        dead.insert(QStringLiteral("DISPLAY"), QStringLiteral(":4711"));
        QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X4711")));
        QString err;

        for (const QProcessEnvironment& env : {none, dead})
            for (const QStringList& args : {QStringList{}, QStringList{"good.LST"}, QStringList{"--editor"},
                                            QStringList{"--arbeitsblaetter", "--rechenart", "mal"},
                                            QStringList{"--verlauf"}}) {
                QCOMPARE(Run(args, env, &err), 1);
                QCOMPARE(err, QStringLiteral("Rechenkov braucht für dieses Fenster eine grafische Oberfläche.\n"));
            }

        // A table that cannot be read is said first (no window would open for it),
        // and what is wrong with it.
        for (const auto& [table, said] : {std::pair{"fehlt.LST", "gibt es nicht"}, {"Ordner.LST", "ist ein Ordner"},
                                          {"/dev/zero", "keine gewöhnliche Datei"}})
            for (const QStringList& args : {QStringList{table}, QStringList{"--editor", table},
                                            QStringList{"--arbeitsblaetter", "--tabelle", table},
                                            QStringList{"--arbeitsblaetter", "1", "--tabelle", table, "--ausgabe",
                                                        "x.pdf"}}) {
                QCOMPARE(Run(args, dead, &err), 1);
                QVERIFY2(err.contains(QStringLiteral("„%1“").arg(QString::fromUtf8(table))) &&
                             err.contains(QString::fromUtf8(said)) && !err.contains(QStringLiteral("grafische")),
                         qPrintable(err));
            }

        // Work without a window never needs the display, dead or not.
        QCOMPARE(Run({"--arbeitsblaetter", "1", "--tabelle", "good.LST", "--ausgabe", "a.pdf"}, dead, &err), 0);
        QVERIFY(QFileInfo(QStringLiteral("a.pdf")).size() > 0 && !QFile::exists(QStringLiteral("x.pdf")));
        QCOMPARE(Run({"--aufzeichnung", "aus"}, dead, &err), 0);
        QCOMPARE(Run({"--verlauf-csv", "v.csv"}, dead, &err), 1); // there is no record yet
        QVERIFY2(!err.contains(QStringLiteral("xcb")), qPrintable(err));

        // A table the program may not read says so. Root reads everything, so
        // then the program runs as nobody.
        QVERIFY(QFile::setPermissions(QStringLiteral("good.LST"), QFileDevice::Permissions()));
        QVERIFY(QFile::setPermissions(folder.Path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                         QFileDevice::ExeOwner | QFileDevice::ExeOther));
        QCOMPARE(Run({"--arbeitsblaetter", "1", "--tabelle", "good.LST", "--ausgabe", "b.pdf"}, dead, &err, true), 1);
        QVERIFY2(err.contains(QStringLiteral("„good.LST“ lässt sich nicht lesen")), qPrintable(err));
    }

private:
    // Runs the real program, if asked as nobody when the test runs as root;
    // returns its exit code, or -1 when it crashed or hung.
    static int Run(const QStringList& args, const QProcessEnvironment& env, QString* err, bool asNobody = false)
    {
        const QString program = QStringLiteral(RECHENKOV_BUILD_DIR "/rechenkov");
        const bool nobody = asNobody && geteuid() == 0;
        QProcess p;
        p.setProcessEnvironment(env);
        const QStringList setpriv = {"--reuid=65534", "--regid=65534", "--clear-groups", program};
        p.start(nobody ? QStringLiteral("setpriv") : program, (nobody ? setpriv : QStringList()) + args);
        const bool ended = p.waitForFinished(60000);
        *err = QString::fromUtf8(p.readAllStandardError());
        return ended && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
};

QTEST_MAIN(CliTest)
#include "test_cli.moc"
