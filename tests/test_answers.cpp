// Answer entry in the main window: typing and editing the input field, right
// and wrong answers with their counters and marks, the wrap after line 9,
// and the reward game opening after every 18th correct answer.

#include "TestSupport.h"

#include "app/Label.h"
#include "app/ListBox.h"
#include "app/MODUL1.h"
#include "app/Windows.h"
#include "game/fang.h"
#include "main_window/Form1.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QtTest>

using namespace MODUL1;

namespace {

// Types `text` on the real window's keyboard and presses Enter.
void Answer(Form1& w, const QString& text)
{
    for (QChar ch : text)
        QTest::keyClick(&w, ch.toLatin1());
    QTest::keyClick(&w, Qt::Key_Return);
}

void AnswerRight(Form1& w) { Answer(w, w.Bezeichnung3->Caption()); }

// A main-row digit key held with Shift, as X11 delivers it: the shifted
// character's key with the physical key's scan code.
void ShiftDigit(Form1& w, Qt::Key key, quint32 scanCode, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::ShiftModifier, scanCode, 0, 0, text);
    QApplication::sendEvent(&w, &press);
}

int CountOk(const Surface& s) { return static_cast<int>(PrintedTexts(s).count(QStringLiteral("ok"))); }

} // namespace

class TestAnswers : public QObject {
    Q_OBJECT
private slots:
    void typingAndEditingTheInputField();
    void wrongAnswersAreCountedAndLeaveEverythingElse();
    void rightAnswerMarksCountsAndMovesOn();
    void keysReachingAFocusedControlAreHandledOnce();
    void lineNineWrapsToLineOne();
    void everyEighteenthRightAnswerOpensTheGame();
};

void TestAnswers::typingAndEditingTheInputField()
{
    FreshProgram();
    Form1& w = Instance<Form1>();
    w.Show();
    Label& field = *w.Bezeichnung2;

    QTest::keyClick(&w, Qt::Key_Backspace);
    QTest::keyClick(&w, Qt::Key_Delete);
    QCOMPARE(field.Caption(), QString());

    QTest::keyClick(&w, Qt::Key_0);
    QTest::keyClick(&w, Qt::Key_7);
    QTest::keyClick(&w, Qt::Key_A);
    QTest::keyClick(&w, Qt::Key_Space);
    QCOMPARE(field.Caption(), QStringLiteral("07"));

    // Keypad digits type nothing.
    QTest::keyClick(&w, Qt::Key_5, Qt::KeypadModifier);
    QCOMPARE(field.Caption(), QStringLiteral("07"));

    // Shift+1 and Shift+0 of a German keyboard still type their digits.
    ShiftDigit(w, Qt::Key_Exclam, 10, QStringLiteral("!"));
    ShiftDigit(w, Qt::Key_Equal, 19, QStringLiteral("="));
    QCOMPARE(field.Caption(), QStringLiteral("0710"));

    QTest::keyClick(&w, Qt::Key_Backspace);
    QCOMPARE(field.Caption(), QStringLiteral("071"));
    QTest::keyClick(&w, Qt::Key_Delete);
    QCOMPARE(field.Caption(), QString());
}

void TestAnswers::wrongAnswersAreCountedAndLeaveEverythingElse()
{
    ScriptedDialogs& dialogs = FreshProgram();
    Form1& w = Instance<Form1>();
    w.Show();
    const QString expected = w.Bezeichnung3->Caption();
    const auto opsBefore = w.Drawing().Operations().size();

    // A leading zero makes the text differ, though the number is the same.
    Answer(w, QStringLiteral("0") + expected);
    QCOMPARE(w.Bezeichnung4->Caption(), QStringLiteral("1"));
    QCOMPARE(w.Bezeichnung2->Caption(), QStringLiteral("0") + expected);
    QCOMPARE(dialogs.calls.size(), std::size_t(1));
    QCOMPARE(dialogs.calls[0].text, QStringLiteral("Rechne nochmal ...\r"));
    QCOMPARE(dialogs.calls[0].title, QStringLiteral("Fehler"));
    QCOMPARE(dialogs.calls[0].style, MsgStyle::OkOnly);

    // An empty field is wrong as well.
    QTest::keyClick(&w, Qt::Key_Delete);
    QTest::keyClick(&w, Qt::Key_Return);
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
    const auto prints = OpsOfKind(w.Drawing(), DrawOp::Kind::Print);
    const DrawOp& ok = prints.back();
    QCOMPARE(ok.text, QStringLiteral("ok"));
    QCOMPARE(ok.x1, 8520 + 200);
    QCOMPARE(ok.y1, 1300);
    QCOMPARE(ok.fontName, QStringLiteral("Verdana"));
    QCOMPARE(ok.fontSize, 20.0);
    QVERIFY(ok.bold);
    QCOMPARE(ok.color, QColor(Qt::black));

    QCOMPARE(w.Bezeichnung2->Top(), 1800);
    QCOMPARE(w.Bezeichnung2->Caption(), QString());
    QCOMPARE(w.Bezeichnung5->Caption(), QStringLiteral("1"));
    // The next task is line 2 of "a+b"; Enter on the keypad checks it too.
    QCOMPARE(w.Bezeichnung3->Caption(), QString::number(ValueOf(a[2]) + ValueOf(b[2])));
    for (QChar ch : w.Bezeichnung3->Caption())
        QTest::keyClick(&w, ch.toLatin1());
    QTest::keyClick(&w, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(CurrentLine, short(3));
    QCOMPARE(w.Bezeichnung5->Caption(), QStringLiteral("2"));

    // The counters go beyond 32 bits.
    w.Bezeichnung5->SetCaption(QStringLiteral("9999999999"));
    AnswerRight(w);
    QCOMPARE(w.Bezeichnung5->Caption(), QStringLiteral("10000000000"));
    QVERIFY(w.isVisible());
}

void TestAnswers::keysReachingAFocusedControlAreHandledOnce()
{
    // On the desktop the keys go to the focused menu, which passes Enter and
    // Backspace on to its parents; the window must check the answer once.
    ScriptedDialogs& dialogs = FreshProgram();
    Form1& w = Instance<Form1>();
    w.Show();
    QWidget* menu = w.Liste1->Widget();
    for (QChar ch : w.Bezeichnung3->Caption())
        QTest::keyClick(menu, ch.toLatin1());
    QTest::keyClick(menu, Qt::Key_Return);
    QCOMPARE(w.Bezeichnung5->Caption(), QStringLiteral("1"));
    QCOMPARE(w.Bezeichnung4->Caption(), QStringLiteral("0"));
    QVERIFY(dialogs.calls.empty());

    QTest::keyClick(menu, Qt::Key_4);
    QTest::keyClick(menu, Qt::Key_2);
    QTest::keyClick(menu, Qt::Key_Backspace);
    QCOMPARE(w.Bezeichnung2->Caption(), QStringLiteral("4"));
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
    QCOMPARE(w.Bezeichnung2->Top(), 1300);
    QCOMPARE(w.Bezeichnung3->Caption(), first);
    QCOMPARE(CalcRow, short(1));
    // One mark in each answer box, all still there.
    QCOMPARE(CountOk(w.Drawing()), 9);
    for (int line = 1; line <= 9; ++line) {
        const auto prints = OpsOfKind(w.Drawing(), DrawOp::Kind::Print);
        QVERIFY(std::any_of(prints.begin(), prints.end(), [&](const DrawOp& op) {
            return op.text == QStringLiteral("ok") && op.x1 == 8720 && op.y1 == 500 * line + 800;
        }));
    }
    AnswerRight(w);
    QCOMPARE(CountOk(w.Drawing()), 10);
    QCOMPARE(CurrentLine, short(2));
}

void TestAnswers::everyEighteenthRightAnswerOpensTheGame()
{
    ScriptedDialogs& dialogs = FreshProgram();
    Form1& w = Instance<Form1>();
    w.Show();
    for (int i = 1; i <= 17; ++i)
        AnswerRight(w);
    Answer(w, QStringLiteral("0")); // a wrong one in between changes nothing
    QTest::keyClick(&w, Qt::Key_Delete);
    QVERIFY(!Exists<fang>());
    QVERIFY(w.isVisible());

    AnswerRight(w);
    QVERIFY(Exists<fang>());
    fang& game = Instance<fang>();
    QVERIFY(game.isVisible());
    QVERIFY(!w.isVisible());
    QVERIFY(GameOpened);
    QCOMPARE(CatchText, QStringLiteral("0123456789"));
    QCOMPARE(game.Bezeichnung5->Caption(), QStringLiteral("123456789"));

    const auto opsBefore = w.Drawing().Operations();
    const int menuBefore = w.Liste1->ListIndex();
    dialogs.answers.push_back(MsgResult::Yes);
    QTest::keyClick(&game, Qt::Key_Escape);
    QVERIFY(!game.isVisible());
    QVERIFY(w.isVisible());
    QVERIFY(!GameOpened);
    QCOMPARE(w.Drawing().Operations().size(), opsBefore.size());
    QCOMPARE(CountOk(w.Drawing()), 18);
    QCOMPARE(w.Liste1->ListIndex(), menuBefore);
    QCOMPARE(w.Bezeichnung5->Caption(), QStringLiteral("18"));
    QCOMPARE(w.Bezeichnung4->Caption(), QStringLiteral("1"));
    QCOMPARE(CurrentLine, short(1));
    QCOMPARE(w.Bezeichnung2->Top(), 1300);

    for (int i = 19; i <= 35; ++i) {
        AnswerRight(w);
        QVERIFY2(!game.isVisible(), qPrintable(QString::number(i)));
    }
    AnswerRight(w);
    QVERIFY(game.isVisible());
    QVERIFY(!w.isVisible());
}

QTEST_MAIN(TestAnswers)
#include "test_answers.moc"
