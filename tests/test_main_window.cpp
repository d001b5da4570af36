// The main window at start-up, its table drawing, random rows, task set-up and menu.

#include "TestSupport.h"

#include "compat/Colors.h"
#include "compat/FileListBox.h"
#include "compat/Label.h"
#include "compat/ListBox.h"
#include "table/MODUL1.h"
#include "compat/PictureBox.h"
#include "compat/Twips.h"
#include "compat/Windows.h"
#include "main_window/Form1.h"
#include "editor/Form2.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <set>

using namespace MODUL1;

namespace {

const DrawOp* PrintAt(const Surface& s, int x, int y)
{
    for (const DrawOp& op : s.Operations())
        if (op.kind == DrawOp::Kind::Print && op.x1 == x && op.y1 == y)
            return &op;
    return nullptr;
}

int CountBoxes(const Surface& s, int x1, int y1, int x2, int y2, const QColor& color, int width)
{
    return static_cast<int>(std::count_if(s.Operations().begin(), s.Operations().end(), [&](const DrawOp& op) {
        return op.kind == DrawOp::Kind::Box && op.x1 == x1 && op.y1 == y1 && op.x2 == x2 && op.y2 == y2 &&
               op.color == color && op.width == width;
    }));
}

void FillTable(long long value)
{
    for (int k = 1; k <= 7; ++k)
        for (int i = 1; i <= 9; ++i)
            ColumnAt(k)[i] = value;
}

QStringList MenuItems(const Form1& w)
{
    QStringList items;
    for (int i = 0; i < w.Liste1->ListCount(); ++i)
        items << w.Liste1->List(i);
    return items;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshProgram(); }

    void startUpState()
    {
        Form1& w = Instance<Form1>();
        QCOMPARE(CalcRow, short(1));
        QCOMPARE(CurrentLine, short(1));
        QCOMPARE(Operation, short(1));
        QVERIFY(!GameOpened);
        QCOMPARE(w.Bezeichnung5->Caption(), QStringLiteral("0"));
        QCOMPARE(w.Bezeichnung4->Caption(), QStringLiteral("0"));
        QCOMPARE(w.Bezeichnung2->Caption(), QString());
        QCOMPARE(w.Bezeichnung2->Top(), 1300);
        for (int k = 1; k <= 7; ++k) {
            for (int i = 1; i <= 9; ++i)
                QVERIFY(ColumnAt(k)[i].has_value());
            QVERIFY(!ColumnAt(k)[10].has_value());
        }
        QCOMPARE(w.Bezeichnung3->Caption(), QString::number(*a[1] + *b[1]));
        // The operation button shows the very picture of the plus store.
        QVERIFY(w.Bild8->GetPicture() == w.Bild4->GetPicture());
        QCOMPARE(w.Liste1->ListIndex(), 0);
        QCOMPARE(w.Liste1->List(0), QStringLiteral("a+b"));
        QCOMPARE(w.Bild4->Left(), 1750);
        QCOMPARE(w.Bild4->Top(), 6100);
        QVERIFY(!w.Datei1->Visible());
        QCOMPARE(w.windowTitle(), QStringLiteral("Rechenkov"));
        QCOMPARE(w.size(), QSize(651, 451));
    }

    void hiddenControlsLieRightOfTheClientArea()
    {
        Form1& w = Instance<Form1>();
        for (const char* name : {"Bild4", "Bild5", "Bild6", "Bild7", "Bild13", "Bild14", "Bezeichnung3", "Datei1"}) {
            auto* c = w.findChild<Control*>(QString::fromLatin1(name));
            QVERIFY2(c, name);
            if (c == w.Bild4)
                continue; // brought into view as the plus sign
            QVERIFY2(c->Left() >= 9960 && c->geometry().left() >= w.width(), name);
        }
    }

    void generatedColumnsFollowTheColumnRules_data()
    {
        QTest::addColumn<int>("operation");
        QTest::newRow("plus") << 1;
        QTest::newRow("minus") << 2;
        QTest::newRow("times") << 3;
    }

    void generatedColumnsFollowTheColumnRules()
    {
        QFETCH(int, operation);
        Form1& w = Instance<Form1>();
        const long long kRule[7][2] = {{100, 0}, {110, 0}, {111, 0}, {10, 0}, {11, 0}, {9, 10}, {1, 0}};
        for (int seed = 0; seed < 200; ++seed) {
            FreshProgram(seed * 37.25);
            Form1& fresh = Instance<Form1>();
            Operation = static_cast<short>(operation);
            for (int k = 1; k <= 7; ++k)
                ColumnAt(k)[10] = 4711;
            CalcRow = 5;
            CurrentLine = 4;
            fresh.GenerateRows();
            QCOMPARE(CalcRow, short(5));
            QCOMPARE(CurrentLine, short(4));
            for (int k = 1; k <= 7; ++k) {
                std::set<long long> expected;
                std::set<long long> seen;
                for (int x = 1; x <= 9; ++x)
                    expected.insert(operation == 3 ? x : kRule[k - 1][0] * x + kRule[k - 1][1]);
                for (int i = 1; i <= 9; ++i)
                    seen.insert(*ColumnAt(k)[i]);
                QCOMPARE(seen, expected);
                QCOMPARE(*ColumnAt(k)[10], 4711LL);
            }
        }
        Q_UNUSED(w);
    }

    void differentSeedsGiveDifferentTables()
    {
        FreshProgram(100.0);
        Instance<Form1>();
        const auto first = a;
        FreshProgram(200.0);
        Instance<Form1>();
        bool differs = false;
        for (int i = 1; i <= 9; ++i)
            differs = differs || first[i] != a[i];
        QVERIFY(differs);
    }

    void expectedResults_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<long long>("p");
        QTest::addColumn<long long>("q");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plus") << 1 << 300LL << 440LL << "740";
        QTest::newRow("minus small from large") << 2 << 7LL << 3LL << "4";
        QTest::newRow("minus as the amount") << 2 << 3LL << 7LL << "4";
        QTest::newRow("minus equal") << 2 << 5LL << 5LL << "0";
        QTest::newRow("times") << 3 << 5LL << 9LL << "45";
    }

    void expectedResults()
    {
        QFETCH(int, operation);
        QFETCH(long long, p);
        QFETCH(long long, q);
        QFETCH(QString, expected);
        Form1& w = Instance<Form1>();
        Operation = static_cast<short>(operation);
        CalcRow = 13; // c and e
        CurrentLine = 6;
        c[6] = p;
        e[6] = q;
        w.SetUpTask();
        QCOMPARE(w.Bezeichnung3->Caption(), expected);
    }

    void emptyCellsCountAsZero()
    {
        Form1& w = Instance<Form1>();
        Operation = 1;
        CalcRow = 1;
        CurrentLine = 2;
        a[2].reset();
        b[2] = 77;
        w.SetUpTask();
        QCOMPARE(w.Bezeichnung3->Caption(), QStringLiteral("77"));
    }

    void taskMarksAndSign_data()
    {
        QTest::addColumn<int>("calcRow");
        QTest::addColumn<int>("operation");
        QTest::addColumn<int>("x1");
        QTest::addColumn<int>("x2");
        QTest::addColumn<QString>("sign");
        QTest::addColumn<int>("signLeft");
        QTest::newRow("a+b") << 1 << 1 << 1000 << 2000 << "Bild4" << 1750;
        QTest::newRow("a*g") << 6 << 3 << 1000 << 7000 << "Bild6" << 4250;
        QTest::newRow("f-g") << 21 << 2 << 6000 << 7000 << "Bild5" << 6750;
        QTest::newRow("c+e") << 13 << 1 << 3000 << 5000 << "Bild4" << 4250;
    }

    void taskMarksAndSign()
    {
        QFETCH(int, calcRow);
        QFETCH(int, operation);
        QFETCH(int, x1);
        QFETCH(int, x2);
        QFETCH(QString, sign);
        QFETCH(int, signLeft);
        Form1& w = Instance<Form1>();
        Operation = static_cast<short>(operation);
        CalcRow = static_cast<short>(calcRow);
        w.DrawTable();
        const Surface& s = w.Drawing();
        const QColor red = Bgr(0x000000FF);
        for (int i = 1; i <= 9; ++i) {
            QCOMPARE(CountBoxes(s, x1, 800 + 500 * i, x1 + 1000, 1300 + 500 * i, red, 3), 1);
            QCOMPARE(CountBoxes(s, x2, 800 + 500 * i, x2 + 1000, 1300 + 500 * i, red, 3), 1);
        }
        const auto lines = OpsOfKind(s, DrawOp::Kind::Line);
        QCOMPARE(lines.size(), std::size_t(3));
        QCOMPARE(QList<int>({lines[0].x1, lines[0].y1, lines[0].x2, lines[0].y2}),
                 QList<int>({x1 + 500, 5800, x1 + 500, 6300}));
        QCOMPARE(QList<int>({lines[1].x1, lines[1].y1, lines[1].x2, lines[1].y2}),
                 QList<int>({x2 + 500, 5800, x2 + 500, 6300}));
        QCOMPARE(QList<int>({lines[2].x1, lines[2].y1, lines[2].x2, lines[2].y2}),
                 QList<int>({x1 + 500, 6300, x2 + 500, 6300}));
        for (const DrawOp& l : lines) {
            QCOMPARE(l.color, red);
            QCOMPARE(l.width, 3);
        }
        QCOMPARE(s.DrawWidth(), 1);
        for (PictureBox* store : {w.Bild4, w.Bild5, w.Bild6, w.Bild7}) {
            if (store->objectName() == sign) {
                QCOMPARE(store->Left(), signLeft);
                QCOMPARE(store->Top(), 6100);
            } else {
                QCOMPARE(store->Left(), 10000);
            }
        }
        QVERIFY(w.Bild7->Left() == 10000 && w.Bild7->Top() == 1920);
    }

    void valuesArePlacedByTheLengthOfTheirText()
    {
        Form1& w = Instance<Form1>();
        FillTable(5);
        a[1] = 300;  // three characters: at the box's left edge
        b[1] = 44;   // two: 200 further right
        c[1] = 7;    // one: 400 further right
        d[1] = 1234; // four: 200 left of the box
        e[1].reset(); // empty: nothing but its box
        w.DrawTable();
        const Surface& s = w.Drawing();
        QCOMPARE(PrintAt(s, 1000, 1300)->text, QStringLiteral(" 300"));
        QCOMPARE(PrintAt(s, 2200, 1300)->text, QStringLiteral(" 44"));
        QCOMPARE(PrintAt(s, 3400, 1300)->text, QStringLiteral(" 7"));
        QCOMPARE(PrintAt(s, 3800, 1300)->text, QStringLiteral(" 1234"));
        for (const DrawOp& op : OpsOfKind(s, DrawOp::Kind::Print))
            QVERIFY(!(op.y1 == 1300 && op.x1 >= 5000 && op.x1 < 6000));
        QCOMPARE(CountBoxes(s, 5000, 1300, 6000, 1800, Qt::black, 1), 1);
        const DrawOp* value = PrintAt(s, 1000, 1300);
        QCOMPARE(value->fontName, QStringLiteral("Verdana"));
        QCOMPARE(value->fontSize, 20.0);
        QVERIFY(value->bold);
        QCOMPARE(value->color, QColor(Qt::black));
    }

    void drawTableDrawsTheWholeGridEveryTime()
    {
        Form1& w = Instance<Form1>();
        for (int k = 1; k <= 7; ++k)
            for (int i = 1; i <= 10; ++i)
                ColumnAt(k)[i].reset();
        CurrentLine = 7;
        w.DrawTable();
        const Surface& s = w.Drawing();
        // An empty table: the seven heads, 63 empty boxes and nine answer boxes.
        QCOMPARE(PrintedTexts(s), QStringList({"a", "b", "c", "d", "e", "f", "g"}));
        for (int k = 1; k <= 7; ++k)
            QCOMPARE(PrintAt(s, 400 + 1000 * k, 800)->color, Bgr(0x00FF0000));
        int blackBoxes = 0;
        for (const DrawOp& op : OpsOfKind(s, DrawOp::Kind::Box))
            blackBoxes += op.color == QColor(Qt::black) && op.width == 1;
        QCOMPARE(blackBoxes, 63 + 9);
        for (int i = 1; i <= 9; ++i)
            QCOMPARE(CountBoxes(s, 8500, 800 + 500 * i, 9500, 1300 + 500 * i, Qt::black, 1), 1);
        const auto first = s.Operations();
        w.DrawTable();
        QCOMPARE(s.Operations().size(), first.size());
    }

    void generatedPictureEqualsDrawnPicture()
    {
        Form1& w = Instance<Form1>();
        w.GenerateRows();
        auto key = [](const DrawOp& op) {
            return std::make_tuple(int(op.kind), op.x1, op.y1, op.x2, op.y2, op.text, op.color.rgb(), op.width);
        };
        std::vector<decltype(key(DrawOp{}))> generated;
        for (const DrawOp& op : w.Drawing().Operations())
            generated.push_back(key(op));
        w.DrawTable();
        std::vector<decltype(key(DrawOp{}))> drawn;
        for (const DrawOp& op : w.Drawing().Operations())
            drawn.push_back(key(op));
        std::sort(generated.begin(), generated.end());
        std::sort(drawn.begin(), drawn.end());
        QVERIFY(generated == drawn);
    }

    void menuClickStartsTheRowAgain()
    {
        Form1& w = Instance<Form1>();
        const auto numbers = std::make_tuple(a, b, c, d, e, f, g);
        CurrentLine = 5;
        w.Bezeichnung2->SetCaption(QStringLiteral("12"));
        w.Bezeichnung2->SetTop(3300);
        w.Bezeichnung5->SetCaption(QStringLiteral("4"));
        w.Drawing().SetCurrentX(8700);
        w.Drawing().SetCurrentY(3300);
        w.Drawing().Print(QStringLiteral("ok"));
        w.Liste1->SetListIndex(7);
        QCOMPARE(CalcRow, short(8));
        QCOMPARE(CurrentLine, short(1));
        QCOMPARE(w.Bezeichnung2->Top(), 1300);
        QCOMPARE(w.Bezeichnung2->Caption(), QStringLiteral("12"));
        QCOMPARE(w.Bezeichnung5->Caption(), QStringLiteral("4"));
        QCOMPARE(Operation, short(1));
        QVERIFY(std::make_tuple(a, b, c, d, e, f, g) == numbers);
        QVERIFY(!PrintedTexts(w.Drawing()).contains(QStringLiteral("ok")));
        QCOMPARE(w.Bezeichnung3->Caption(), QString::number(*b[1] + *d[1]));
    }

    void menuFollowsTheSignOnTheOperationButton()
    {
        Form1& w = Instance<Form1>();
        QStringList plus;
        QStringList minus;
        QStringList times;
        for (QChar p : QStringLiteral("abcdef"))
            for (QChar q : QStringLiteral("abcdefg"))
                if (q > p) {
                    plus << QString(p) + '+' + q;
                    minus << QString(p) + '-' + q;
                    times << QString(p) + '*' + q;
                }
        QCOMPARE(MenuItems(w), plus);
        w.Bild8->SetPicture(w.Bild5->GetPicture());
        w.FillOperationMenu();
        QCOMPARE(MenuItems(w), minus);
        QCOMPARE(w.Liste1->ListIndex(), 0);
        w.Bild8->SetPicture(w.Bild6->GetPicture());
        w.FillOperationMenu();
        QCOMPARE(MenuItems(w), times);
        // A picture that merely looks like a store's is not one of them.
        w.Bild8->SetPicture(LoadPicture(QStringLiteral("minus.xpm")));
        w.FillOperationMenu();
        QCOMPARE(MenuItems(w), plus);
        QCOMPARE(CalcRow, short(1));
    }

    void activationReReadsTheFileList()
    {
        QTemporaryDir dir;
        const QString old = QDir::currentPath();
        QDir::setCurrent(dir.path());
        auto touch = [&](const char* name) {
            QFile file(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        };
        touch("b.LST");
        Form1& w = Instance<Form1>();
        touch("a.lst");
        touch("c.txt");
        QCOMPARE(w.Datei1->ListCount(), 1);
        w.Show();
        QCOMPARE(w.Datei1->ListCount(), 2);
        QCOMPARE(w.Datei1->List(0), QStringLiteral("a.lst"));
        QCOMPARE(w.Datei1->List(1), QStringLiteral("b.LST"));
        QCOMPARE(w.Datei1->Pattern(), QStringLiteral("*.LST"));
        // Back from the reward game the list stays as it was, once.
        touch("d.LST");
        GameOpened = true;
        w.Show();
        QVERIFY(!GameOpened);
        QCOMPARE(w.Datei1->ListCount(), 2);
        w.Show();
        QCOMPARE(w.Datei1->ListCount(), 3);
        QDir::setCurrent(old);
    }

    // Keys reach the answer, never the menu by chance: the quit button holds
    // the focus at start-up, Tab follows the tab indexes, Ctrl+click keeps the
    // entry selected, and a held Enter checks once while held digits repeat.
    void focusClicksAndHeldKeys()
    {
        ScriptedDialogs& dialogs = FreshProgram();
        Form1& w = Instance<Form1>();
        w.Show();
        QCOMPARE(w.focusWidget(), w.Bild1);
        QCOMPARE(Instance<Form2>().focusWidget(), Instance<Form2>().Liste1->Widget());
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_End, Qt::Key_PageUp, Qt::Key_D})
            QTest::keyClick(w.focusWidget(), key);
        QCOMPARE(w.Liste1->ListIndex(), 0);
        QTest::keyClick(w.focusWidget(), Qt::Key_Tab);
        QCOMPARE(w.focusWidget(), w.Bild2);
        QTest::keyClick(w.focusWidget(), Qt::Key_Tab);
        QCOMPARE(w.focusWidget(), w.Liste1->Widget());

        QListWidget* list = w.Liste1->Widget();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          list->visualItemRect(list->item(0)).center());
        QCOMPARE(w.Liste1->ListIndex(), 0);

        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QKeyEvent held(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
        QKeyEvent heldDigit(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"), true);
        // After the message box took the first repeat, X's release-and-press
        // pairs of one time stamp reach the window as fresh presses.
        QKeyEvent pairRelease(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QKeyEvent pairPress(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        pairRelease.setTimestamp(4711);
        pairPress.setTimestamp(4711);
        for (QKeyEvent* key : {&press, &held, &pairRelease, &pairPress, &heldDigit, &heldDigit})
            QApplication::sendEvent(w.focusWidget(), key);
        QCOMPARE(w.Bezeichnung4->Caption(), QStringLiteral("1"));
        QCOMPARE(dialogs.calls.size(), std::size_t(1));
        QCOMPARE(w.Bezeichnung2->Caption(), QStringLiteral("55"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
