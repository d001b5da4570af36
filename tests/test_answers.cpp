// Answer entry in the main window: typing and editing the input field, right
// and wrong answers with their counters and marks, the wrap after line 9,
// and the reward game opening after every 18th correct answer.

#include "TestSupport.h"

#include "compat/Label.h"
#include "compat/ListBox.h"
#include "table/MODUL1.h"
#include "compat/Windows.h"
#include "game/fang.h"
#include "main_window/Form1.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QtTest>

using namespace MODUL1;

namespace {

// Keys go where the desktop sends them: to the focused menu, which passes
// the ones it ignores up to the window.
void Key(Form1& w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::keyClick(w.Liste1->Widget(), key, mods);
}

void Answer(Form1& w, const QString& text, Qt::Key enter = Qt::Key_Return)
{
    for (QChar ch : text)
        Key(w, Qt::Key(ch.unicode()));
    Key(w, enter, enter == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
}

void AnswerRight(Form1& w) { Answer(w, w.Bezeichnung3->Caption()); }

int CountOk(const Surface& s) { return static_cast<int>(PrintedTexts(s).count(QStringLiteral("ok"))); }

} // namespace

class TestAnswers : public QObject {
    Q_OBJECT
private slots:
    void typingAndEditingTheInputField();
    void wrongAnswersAreCountedAndLeaveEverythingElse();
    void rightAnswerMarksCountsAndMovesOn();
    void lineNineWrapsToLineOne();
    void everyEighteenthRightAnswerOpensTheGame();
};

void TestAnswers::typingAndEditingTheInputField()
{
    FreshProgram();
    Form1& w = Instance<Form1>();
    w.Show();
    const Label& field = *w.Bezeichnung2;
    Key(w, Qt::Key_Backspace);
    Key(w, Qt::Key_Delete);
    QCOMPARE(field.Caption(), QString());

    for (Qt::Key k : {Qt::Key_0, Qt::Key_7, Qt::Key_A, Qt::Key_Space})
        Key(w, k);
    Key(w, Qt::Key_5, Qt::KeypadModifier); // keypad digits type nothing
    // Shift+1 and Shift+0 of a German keyboard, as X11 sends them, still type digits.
    for (auto [key, scan] : {std::pair{Qt::Key_Exclam, 10u}, std::pair{Qt::Key_Equal, 19u}}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::ShiftModifier, scan, 0, 0, QString());
        QApplication::sendEvent(w.Liste1->Widget(), &press);
    }
    QCOMPARE(field.Caption(), QStringLiteral("0710"));

    Key(w, Qt::Key_Backspace);
    QCOMPARE(field.Caption(), QStringLiteral("071"));
    Key(w, Qt::Key_Delete);
    QCOMPARE(field.Caption(), QString());
}

void TestAnswers::wrongAnswersAreCountedAndLeaveEverythingElse()
{
    ScriptedDialogs& dialogs = FreshProgram();
    Form1& w = Instance<Form1>();
    w.Show();
    const QString expected = w.Bezeichnung3->Caption();
    const auto opsBefore = w.Drawing().Operations().size();

    Answer(w, QStringLiteral("0") + expected); // the same number, but not the same text
    QCOMPARE(w.Bezeichnung4->Caption(), QStringLiteral("1"));
    QCOMPARE(w.Bezeichnung2->Caption(), QStringLiteral("0") + expected);
    QCOMPARE(dialogs.calls.size(), std::size_t(1));
    QCOMPARE(dialogs.calls[0].text, QStringLiteral("Rechne nochmal ...\r"));
    QCOMPARE(dialogs.calls[0].title, QStringLiteral("Fehler"));
    QCOMPARE(dialogs.calls[0].style, MsgStyle::OkOnly);

    Key(w, Qt::Key_Delete);
    Answer(w, QString()); // an empty field is wrong as well
    QCOMPARE(w.Bezeichnung4->Caption(), QStringLiteral("2"));
    QCOMPARE(dialogs.calls.size(), std::size_t(2));
    QCOMPARE(CurrentLine, short(1));
    QCOMPARE(w.Bezeichnung2->Top(), 1300);
    QCOMPARE(w.Bezeichnung3->Caption(), expected);
    QCOMPARE(w.Bezeichnung5->Caption(), QStringLiteral("0"));
    QCOMPARE(w.Drawing().Operations().size(), opsBefore);
    QVERIFY(w.isVisible());
}

void TestAnswers::rightAnswerMarksCountsAndMovesOn()
{
    ScriptedDialogs& dialogs = FreshProgram();
    Form1& w = Instance<Form1>();
    w.Show();
    AnswerRight(w);
    QVERIFY(dialogs.calls.empty());
    QCOMPARE(CurrentLine, short(2));
    const DrawOp ok = OpsOfKind(w.Drawing(), DrawOp::Kind::Print).back();
    QCOMPARE(ok.text, QStringLiteral("ok"));
    QCOMPARE(QPoint(ok.x1, ok.y1), QPoint(8520 + 200, 1300));
    QCOMPARE(ok.fontName, QStringLiteral("Verdana"));
    QCOMPARE(ok.fontSize, 20.0);
    QVERIFY(ok.bold);
    QCOMPARE(ok.color, QColor(Qt::black));
    QCOMPARE(w.Bezeichnung2->Top(), 1800);
    QCOMPARE(w.Bezeichnung2->Caption(), QString());
    QCOMPARE(w.Bezeichnung5->Caption(), QStringLiteral("1"));
    QCOMPARE(w.Bezeichnung3->Caption(), QString::number(ValueOf(a[2]) + ValueOf(b[2])));

    Answer(w, w.Bezeichnung3->Caption(), Qt::Key_Enter); // Enter of the keypad
    QCOMPARE(CurrentLine, short(3));

    w.Bezeichnung5->SetCaption(QStringLiteral("9999999999")); // counters go beyond 32 bits
    AnswerRight(w);
    QCOMPARE(w.Bezeichnung5->Caption(), QStringLiteral("10000000000"));
    QVERIFY(dialogs.calls.empty());
}

void TestAnswers::lineNineWrapsToLineOne()
{
    FreshProgram();
    Form1& w = Instance<Form1>();
    w.Show();
    const QString first = w.Bezeichnung3->Caption();
    for (int i = 1; i <= 9; ++i)
        AnswerRight(w);
    QCOMPARE(CurrentLine, short(1));
    QCOMPARE(CalcRow, short(1));
    QCOMPARE(w.Bezeichnung2->Top(), 1300);
    QCOMPARE(w.Bezeichnung3->Caption(), first);
    QList<int> tops;
    for (const DrawOp& op : OpsOfKind(w.Drawing(), DrawOp::Kind::Print))
        if (op.text == QStringLiteral("ok") && op.x1 == 8720)
            tops << op.y1;
    QCOMPARE(tops, QList<int>({1300, 1800, 2300, 2800, 3300, 3800, 4300, 4800, 5300}));
    AnswerRight(w); // a new mark over the old one
    QCOMPARE(CountOk(w.Drawing()), 10);
}

void TestAnswers::everyEighteenthRightAnswerOpensTheGame()
{
    ScriptedDialogs& dialogs = FreshProgram();
    Form1& w = Instance<Form1>();
    w.Show();
    for (int i = 1; i <= 17; ++i)
        AnswerRight(w);
    Answer(w, QStringLiteral("0")); // a wrong one in between changes nothing
    Key(w, Qt::Key_Delete);
    QVERIFY(!Exists<fang>());
    AnswerRight(w);
    QVERIFY(Exists<fang>());
    fang& game = Instance<fang>();
    QVERIFY(game.isVisible());
    QVERIFY(!w.isVisible());
    QVERIFY(GameOpened);
    QCOMPARE(CatchText, QStringLiteral("0123456789"));

    const auto opsBefore = w.Drawing().Operations().size();
    dialogs.answers.push_back(MsgResult::Yes);
    QTest::keyClick(&game, Qt::Key_Escape);
    QVERIFY(w.isVisible());
    QVERIFY(!GameOpened);
    QCOMPARE(w.Drawing().Operations().size(), opsBefore);
    QCOMPARE(CountOk(w.Drawing()), 18);
    QCOMPARE(w.Liste1->ListIndex(), 0);
    QCOMPARE(w.Bezeichnung5->Caption(), QStringLiteral("18"));
    QCOMPARE(w.Bezeichnung4->Caption(), QStringLiteral("1"));
    QCOMPARE(w.Bezeichnung2->Top(), 1300);

    for (int i = 19; i <= 35; ++i)
        AnswerRight(w);
    QVERIFY(!game.isVisible());
    AnswerRight(w);
    QVERIFY(game.isVisible());
}

QTEST_MAIN(TestAnswers)
#include "test_answers.moc"
