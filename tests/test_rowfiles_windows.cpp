// Row files in the two windows: saving the editor's lists, loading a file in
// the editor and in the main window, the failure paths of both, and the two
// file lists.

#include "TestSupport.h"
#include "WorkingDirectory.h"

#include "compat/FileListBox.h"
#include "compat/Label.h"
#include "compat/ListBox.h"
#include "table/MODUL1.h"
#include "compat/Picture.h"
#include "compat/PictureBox.h"
#include "compat/TextBox.h"
#include "compat/Windows.h"
#include "main_window/Form1.h"
#include "editor/Form2.h"

#include <QDir>
#include <QListWidget>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

using namespace MODUL1;

namespace {

const QString kLoadFailedMain = QStringLiteral("Ein Ladefehler ist aufgetreten ...\r");
const QString kLoadFailedEditor = QStringLiteral("Es ist ein Ladefehler aufgetreten ...\r");
const QString kSaveFailed = QStringLiteral("Die Datei konnte nicht gespeichert werden ...\r");

void FillTable(long long value)
{
    for (int k = 1; k <= 7; ++k)
        for (int i = 1; i <= 9; ++i)
            ColumnAt(k)[i] = value;
}

// The value fixture file line n (1..63) holds: column k, line i give 10k + i.
long long FixtureValue(int field) { return 10 * (field / 9 + 1) + field % 9 + 1; }

Cell CellAt(int field) { return ColumnAt(field / 9 + 1)[field % 9 + 1]; }

bool Choose(FileListBox* list, const QString& name)
{
    for (int i = 0; i < list->ListCount(); ++i) {
        if (list->List(i) == name) {
            list->SetListIndex(i); // raises Click, as choosing the entry does
            return true;
        }
    }
    return false;
}

QStringList Entries(const FileListBox* list)
{
    QStringList names;
    for (int i = 0; i < list->ListCount(); ++i)
        names << list->List(i);
    return names;
}

} // namespace

class TestRowFilesWindows : public QObject {
    Q_OBJECT
private slots:
    void savedFileHasTheItemsAsTypedAndLoadsBack()
    {
        ScopedWorkingDirectory dir;
        ScriptedDialogs& dialogs = FreshProgram();
        Form1& main = Instance<Form1>();
        Form2& editor = Instance<Form2>();
        main.Bild13_DblClick();
        editor.Liste1->SetList(0, QStringLiteral("007"));
        editor.Liste7->SetList(8, QString());
        QByteArray expected;
        for (int k = 1; k <= 7; ++k)
            for (int i = 0; i < 9; ++i)
                expected += editor.ListeAt(k)->List(i).toLatin1() + "\r\n";
        QVERIFY(expected.startsWith("007\r\n"));
        QVERIFY(expected.endsWith(QByteArray::number(ValueOf(g[8])) + "\r\n\r\n"));

        dialogs.inputs = {QStringLiteral("MEINE.LST")};
        editor.Bild2_Click();
        QCOMPARE(FileBytes(QStringLiteral("MEINE.LST")), expected);
        QCOMPARE(int(dialogs.calls.size()), 2);
        QCOMPARE(dialogs.calls[0].text + dialogs.calls[0].title + dialogs.calls[0].defaultText,
                 QStringLiteral("Name der Datei:Tabelle speichernKOVTAB.LST"));
        QCOMPARE(dialogs.calls[1].text, QStringLiteral("MEINE.LST wurde gespeichert.\r"));
        QCOMPARE(dialogs.calls[1].title, QStringLiteral("Tabelle speichern"));

        // Back in the main window the new file is listed; the editor's list was read once only.
        QVERIFY(!Entries(editor.Datei1).contains(QStringLiteral("MEINE.LST")));
        editor.Bild1_Click();
        QVERIFY(!Entries(editor.Datei1).contains(QStringLiteral("MEINE.LST")));
        QVERIFY(Entries(main.Datei1).contains(QStringLiteral("MEINE.LST")));

        const Cell oldA2 = a[2];
        CurrentLine = 5;
        // A real click: the handler must see the clicked entry as the selected one.
        main.Datei1->SetVisible(true);
        QListWidget* names = main.Datei1->Widget();
        const QList<QListWidgetItem*> found = names->findItems(QStringLiteral("MEINE.LST"), Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        QTest::mouseClick(names->viewport(), Qt::LeftButton, {}, names->visualItemRect(found[0]).center());
        QVERIFY(!main.Datei1->Visible());
        QCOMPARE(a[1], Cell(7)); // leading zeros are lost
        QCOMPARE(a[2], oldA2);
        QCOMPARE(g[9], Cell()); // an empty line is an empty cell
        QCOMPARE(CurrentLine, short(1));
        QCOMPARE(main.Bezeichnung2->Top(), 1300);
        QVERIFY(PrintedTexts(main.Drawing()).contains(QStringLiteral(" 7")));
        QCOMPARE(int(dialogs.calls.size()), 2);
    }

    void cancelOverwriteAndFailedSaves()
    {
        ScopedWorkingDirectory dir;
        ScriptedDialogs& dialogs = FreshProgram();
        Form2& editor = Instance<Form2>();
        editor.Show();
        editor.Bild2_Click(); // Cancel
        QCOMPARE(int(dialogs.calls.size()), 1);
        QVERIFY(QDir().entryList(QDir::Files | QDir::Hidden).isEmpty());

        QVERIFY(CopyRowFixture(QStringLiteral("good.LST"), QStringLiteral("KOVTAB.LST")));
        editor.Bild3_Click();
        dialogs.inputs = {QStringLiteral("KOVTAB.LST")};
        editor.Bild2_Click();
        QCOMPARE(FileBytes(QStringLiteral("KOVTAB.LST")), QByteArray("0\r\n").repeated(63));
        QCOMPARE(dialogs.calls.back().text, QStringLiteral("KOVTAB.LST wurde gespeichert.\r"));

        // A name that is a folder, and a name in a folder that does not exist.
        QVERIFY(QDir().mkdir(QStringLiteral("ORDNER.LST")));
        QVERIFY(CopyRowFixture(QStringLiteral("good.LST"), QStringLiteral("ORDNER.LST/inside.LST")));
        for (const QString& name : {QStringLiteral("ORDNER.LST"), QStringLiteral("fehlt/KOVTAB.LST")}) {
            dialogs.calls.clear();
            dialogs.inputs = {name};
            editor.Bild2_Click();
            QCOMPARE(int(dialogs.calls.size()), 2);
            QCOMPARE(dialogs.calls[1].text, kSaveFailed);
            QCOMPARE(dialogs.calls[1].title, QStringLiteral("Tabelle speichern"));
            QCOMPARE(dialogs.calls[1].style, MsgStyle::OkOnly);
        }
        QCOMPARE(FileBytes(QStringLiteral("ORDNER.LST/inside.LST")), FileBytes(RECHENKOV_TEST_DATA "/rowfiles/good.LST"));
        QVERIFY(!QDir(QStringLiteral("fehlt")).exists());
        QVERIFY(editor.isVisible());
    }

    void mainWindowLoads_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<bool>("loads");
        QTest::newRow("63 lines") << "good.LST" << true;
        QTest::newRow("70 lines, the rest ignored") << "long70.LST" << true;
        QTest::newRow("two fields on one line") << "comma.LST" << true;
        QTest::newRow("quotes and blanks") << "quoted.LST" << true;
        QTest::newRow("byte order mark") << "bom.LST" << true;
        QTest::newRow("62 fields") << "short62.LST" << false;
        QTest::newRow("letters") << "letters.LST" << false;
        QTest::newRow("decimal point") << "decimal.LST" << false;
        QTest::newRow("ten digits") << "tendigits.LST" << false;
    }

    void mainWindowLoads()
    {
        QFETCH(QString, fixture);
        QFETCH(bool, loads);
        ScopedWorkingDirectory dir;
        QVERIFY(CopyRowFixture(fixture));
        ScriptedDialogs& dialogs = FreshProgram();
        Form1& main = Instance<Form1>();
        main.Show();
        CurrentLine = 3;
        main.Bezeichnung2->SetTop(2300);
        QVERIFY(Choose(main.Datei1, fixture));
        QCOMPARE(CurrentLine, short(1));
        QCOMPARE(main.Bezeichnung2->Top(), 1300);
        if (!loads) {
            QCOMPARE(int(dialogs.calls.size()), 1);
            QCOMPARE(dialogs.calls[0].text, kLoadFailedMain);
            QCOMPARE(dialogs.calls[0].title, QStringLiteral("Dateifehler"));
            // New random rows: a holds hundreds and g each digit once; the file's a starts 11, 12.
            QCOMPARE(ValueOf(a[1]) % 100, 0LL);
            QList<long long> digits;
            for (int i = 1; i <= 9; ++i)
                digits << ValueOf(g[i]);
            std::sort(digits.begin(), digits.end());
            QCOMPARE(digits, (QList<long long>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
            return;
        }
        QVERIFY(dialogs.calls.empty());
        for (int field = 0; field < 63; ++field) {
            Cell expected = FixtureValue(field);
            if (fixture == QStringLiteral("quoted.LST") && field < 4)
                expected = field == 0 ? Cell(5) : field == 1 ? Cell(7) : Cell();
            QCOMPARE(CellAt(field), expected);
        }
    }

    void editorLoads_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<int>("fieldsRead"); // 63 when the file loads
        QTest::newRow("63 lines") << "good.LST" << 63;
        QTest::newRow("byte order mark") << "bom.LST" << 63;
        QTest::newRow("62 fields") << "short62.LST" << 62;
        QTest::newRow("letters in field 21") << "letters.LST" << 20;
        QTest::newRow("ten digits in field 21") << "tendigits.LST" << 20;
    }

    void editorLoads()
    {
        QFETCH(QString, fixture);
        QFETCH(int, fieldsRead);
        ScopedWorkingDirectory dir;
        QVERIFY(CopyRowFixture(fixture));
        ScriptedDialogs& dialogs = FreshProgram();
        Instance<Form1>();
        FillTable(5);
        Form2& editor = Instance<Form2>();
        editor.Show();
        QVERIFY(Choose(editor.Datei1, fixture));
        QVERIFY(editor.Text1->HasFocus());
        for (int field = 0; field < 63; ++field) // a file that fails part way changes nothing
            QCOMPARE(CellAt(field), fieldsRead == 63 ? Cell(FixtureValue(field)) : Cell(5));
        const bool loaded = fieldsRead == 63;
        QCOMPARE(int(dialogs.calls.size()), loaded ? 0 : 1);
        if (!loaded) {
            QCOMPARE(dialogs.calls[0].text, kLoadFailedEditor);
            QCOMPARE(dialogs.calls[0].title, QStringLiteral("Dateifehler"));
        }
        for (int field = 0; field < 63; ++field) {
            const QString shown = editor.ListeAt(field / 9 + 1)->List(field % 9);
            QCOMPARE(shown, loaded ? QString::number(FixtureValue(field)) : QStringLiteral("0"));
        }
    }

    // Only regular files and links to them are listed, and each loads. A table
    // loaded in the editor is drawn, and expected, when the main window is back.
    void oddFilesAndTheEditorsLoad()
    {
        ScopedWorkingDirectory dir;
        QVERIFY(CopyRowFixture("good.LST", ":a.LST") && CopyRowFixture("good.LST", "b.LST"));
        QVERIFY(!::mkfifo("fifo.LST", 0600) && !::symlink("fifo.LST", "d.LST") && !::symlink("b.LST", "c.LST"));
        ::close(::open("\xff.LST", O_CREAT | O_WRONLY, 0644)); // its name is no text to open it by
        FreshProgram();
        Form1& main = Instance<Form1>();
        main.Show();
        QCOMPARE(Entries(main.Datei1), (QStringList{":a.LST", "b.LST", "c.LST"}));
        for (const QString& name : Entries(main.Datei1)) {
            FillTable(5);
            QVERIFY(Choose(main.Datei1, name) && CellAt(62) == Cell(FixtureValue(62)));
        }
        main.GenerateRows();
        main.Bild13_DblClick();
        QVERIFY(Choose(Instance<Form2>().Datei1, QStringLiteral(":a.LST")));
        Instance<Form2>().Bild1_Click();
        QCOMPARE(main.Bezeichnung3->Caption(), QStringLiteral("32")); // a1 + b1 = 11 + 21
        QVERIFY(PrintedTexts(main.Drawing()).contains(QStringLiteral(" 11")));
    }

    void bild13SwitchesTheListOnlyWithTheBone()
    {
        FreshProgram();
        Form1& main = Instance<Form1>();
        main.Bild13_Click();
        QVERIFY(!main.Datei1->Visible());
        // A bone of its own is another picture, however alike it looks.
        main.Bild13->SetPicture(LoadPicture(QStringLiteral("bone.xpm")));
        main.Bild13_Click();
        QVERIFY(!main.Datei1->Visible());
        main.Bild13->SetPicture(main.Bild14->GetPicture());
        main.Bild13_Click();
        QVERIFY(main.Datei1->Visible());
        main.Bild13_Click();
        QVERIFY(!main.Datei1->Visible());
        main.Bild13_Click();
        main.Bild13_DblClick();
        QVERIFY(!main.Datei1->Visible());
        QVERIFY(Instance<Form2>().isVisible());
    }
};

QTEST_MAIN(TestRowFilesWindows)
#include "test_rowfiles_windows.moc"
