// The row editor: filling and marking the column lists, typing a value and
// setting it with Enter, the width limit of the entry, the waste bin, the
// option group and the way back to the main window.

#include "TestSupport.h"

#include "compat/Colors.h"
#include "compat/KeyCodes.h"
#include "compat/Label.h"
#include "compat/ListBox.h"
#include "table/MODUL1.h"
#include "compat/OptionButton.h"
#include "compat/Shape.h"
#include "compat/TextBox.h"
#include "compat/Windows.h"
#include "main_window/Form1.h"
#include "editor/Form2.h"

#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>

using namespace MODUL1;

namespace {

// Opens the editor as the main window does, on a table whose cell (k, i) is 10k + i.
Form2& OpenEditor()
{
    Instance<Form1>();
    for (int k = 1; k <= 7; ++k)
        for (int i = 1; i <= 9; ++i)
            ColumnAt(k)[i] = 10 * k + i;
    Form2& editor = Instance<Form2>();
    editor.Show();
    return editor;
}

void Type(Form2& editor, std::initializer_list<int> keys)
{
    for (int key : keys)
        editor.PreviewKey(key);
}

} // namespace

class TestEditor : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshProgram(); }

    void showingFillsTheListsFromTheTable()
    {
        Form2& editor = OpenEditor();
        b[4] = std::nullopt;
        editor.Show();
        for (int k = 1; k <= 7; ++k) {
            ListBox* list = editor.ListeAt(k);
            QCOMPARE(list->ListCount(), 9);
            QCOMPARE(list->ListIndex(), -1);
            for (int i = 1; i <= 9; ++i)
                QCOMPARE(list->List(i - 1), k == 2 && i == 4 ? QString() : QString::number(10 * k + i));
        }
        // The waste bin zeroes the lists only; showing again brings back the table.
        editor.Bild3_Click();
        for (int k = 1; k <= 7; ++k)
            for (int i = 0; i < 9; ++i)
                QCOMPARE(editor.ListeAt(k)->List(i), QStringLiteral("0"));
        QCOMPARE(g[9], Cell(79));
        editor.Show();
        QCOMPARE(editor.Liste1->List(0), QStringLiteral("11"));
    }

    void clickingAListMarksItAlone()
    {
        Form2& editor = OpenEditor();
        editor.Liste3->SetListIndex(2);
        QCOMPARE(SelectedList, short(3));
        QVERIFY(editor.Text1->HasFocus());
        editor.Liste5->SetListIndex(0);
        QCOMPARE(SelectedList, short(5));
        for (int k = 1; k <= 7; ++k)
            QCOMPARE(editor.ListeAt(k)->BackColor(), k == 5 ? Bgr(0x0000FFFF) : ClassicColor(15));
        // Showing again unmarks every list but remembers which one was marked;
        // that list then has no selected item, so Enter has nothing to overwrite.
        editor.Show();
        QCOMPARE(editor.Liste5->BackColor(), ClassicColor(15));
        QCOMPARE(SelectedList, short(5));
        Type(editor, {53, KeyCode::Return});
        for (int i = 1; i <= 9; ++i)
            QCOMPARE(editor.Liste5->List(i - 1), QString::number(50 + i));
    }

    void enterBeforeAnyListWasClickedChangesNothing()
    {
        Form2& editor = OpenEditor();
        Type(editor, {53, KeyCode::Return});
        for (int k = 1; k <= 7; ++k)
            for (int i = 1; i <= 9; ++i)
                QCOMPARE(editor.ListeAt(k)->List(i - 1), QString::number(10 * k + i));
    }

    void typedValueGoesIntoTheSelectedItem()
    {
        Form2& editor = OpenEditor();
        editor.Liste2->SetListIndex(3);
        Type(editor, {49, 50, KeyCode::Back, 51, KeyCode::Return});
        QCOMPARE(editor.Liste2->List(3), QStringLiteral("13"));
        QCOMPARE(b[4], Cell(24)); // the table changes only through a row file
        // The entry stays, so the same value can go into another item.
        editor.Liste2->SetListIndex(5);
        editor.PreviewKey(KeyCode::Return);
        QCOMPARE(editor.Liste2->List(5), QStringLiteral("13"));
        // Keypad digits, letters and Shift do not add to the entry; Shift+digit does.
        Type(editor, {KeyCode::Numpad0 + 4, 65, 16});
        QCOMPARE(editor.Bezeichnung9->Caption(), QStringLiteral("13"));
        editor.PreviewKey(52, kShiftMask);
        QCOMPARE(editor.Bezeichnung9->Caption(), QStringLiteral("134"));
        // Delete, then Enter sets an empty text; leading zeros stay as typed.
        Type(editor, {KeyCode::Delete, KeyCode::Return});
        QCOMPARE(editor.Liste2->List(5), QString());
        editor.Liste7->SetListIndex(8);
        Type(editor, {48, 48, 55, KeyCode::Return});
        QCOMPARE(editor.Liste7->List(8), QStringLiteral("007"));
    }

    void realClicksAndKeysReachTheHandlers()
    {
        Form2& editor = OpenEditor();
        QListWidget* items = editor.Liste4->Widget();
        const QRect second = items->visualItemRect(items->item(1));
        QTest::mouseClick(items->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(SelectedList, short(4));
        QCOMPARE(editor.Liste4->ListIndex(), 1);
        QTest::keyClick(editor.Text1->Widget(), Qt::Key_8);
        QTest::keyClick(editor.Text1->Widget(), Qt::Key_Return);
        QCOMPARE(editor.Liste4->List(1), QStringLiteral("8"));
        QCOMPARE(editor.Text1->Text(), QStringLiteral("8")); // the key reached the holder after the entry changed
    }

    void entryNeverGrowsWiderThanItsBox()
    {
        Form2& editor = OpenEditor();
        QCOMPARE(editor.Bezeichnung9->Width(), 135);
        QString typed;
        for (int i = 0; i < 20; ++i) {
            const int key = 49 + i % 9;
            editor.PreviewKey(key);
            typed += QChar(key);
            QVERIFY(editor.Bezeichnung9->Width() <= editor.Figur2->Width());
        }
        const QString entry = editor.Bezeichnung9->Caption();
        QVERIFY(entry.size() > 3 && entry.size() < 20);
        QVERIFY(typed.startsWith(entry));
        QVERIFY(editor.Text1->Text().isEmpty());
        editor.PreviewKey(KeyCode::Back);
        QCOMPARE(editor.Bezeichnung9->Caption(), entry.chopped(1));
    }

    void optionsFormOneGroup()
    {
        Form2& editor = Instance<Form2>();
        QVERIFY(editor.Option2->Value());
        editor.Option1->Widget()->click();
        QVERIFY(editor.Option1->Value());
        QVERIFY(!editor.Option2->Value() && !editor.Option3->Value());
        editor.Option3->SetValue(true);
        QVERIFY(!editor.Option1->Value() && editor.Option3->Value());
    }

    void closingGoesBackToTheMainWindow()
    {
        Form2& editor = OpenEditor();
        Form1& main = Instance<Form1>();
        main.Hide();
        editor.close(); // the title-bar close box
        QVERIFY(!editor.isVisible());
        QVERIFY(main.isVisible());
    }
};

QTEST_MAIN(TestEditor)
#include "test_editor.moc"
