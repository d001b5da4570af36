// Answer entry in the main window: the digits typed into the red input field,
// the check of the answer against the expected result, the two counters, the
// "ok" mark of a solved line and the hand-over to the reward game.

#include "main_window/Form1.h"

#include "compat/Dialogs.h"
#include "compat/KeyCodes.h"
#include "compat/Label.h"
#include "table/MODUL1.h"
#include "compat/Windows.h"
#include "game/fang.h"
#include "record/Recording.h"

using namespace MODUL1;

namespace {

// Correct answers between two rewards: two calculation rows of nine lines.
constexpr long long kAnswersPerReward = 18;

// A counter lives in its caption; it is read as a number and written back.
long long CounterValue(const Label& counter) { return counter.Caption().toLongLong(); }

void IncreaseCounter(Label& counter) { counter.SetCaption(QString::number(CounterValue(counter) + 1)); }

} // namespace

void Form1::Form_KeyDown(int keyCode, int)
{
    if (keyCode == KeyCode::Delete) {
        Bezeichnung2->SetCaption(QString());
        return;
    }
    if (keyCode == KeyCode::Back) {
        QString typed = Bezeichnung2->Caption();
        typed.chop(1);
        Bezeichnung2->SetCaption(typed);
        return;
    }
    // The keypad digits have codes of their own (96..105), which are no
    // digit characters, so only the main row types.
    if (keyCode >= KeyCode::Digit0 && keyCode <= KeyCode::Digit0 + 9) {
        Bezeichnung2->SetCaption(Bezeichnung2->Caption() + QChar(keyCode));
        return;
    }
    // A held Enter would close the message and check again many times a
    // second; an answer is checked once per press.
    if (keyCode != KeyCode::Return || KeyAutoRepeat())
        return;
    history::RecordAnswer(Bezeichnung1->Caption(), Operation, CalcRow, CurrentLine, Bezeichnung3->Caption(),
                          Bezeichnung2->Caption());

    // The answer is compared as text, so "07" is not 7 and an empty field is wrong.
    if (Bezeichnung2->Caption() != Bezeichnung3->Caption()) {
        IncreaseCounter(*Bezeichnung4);
        MsgBox(QStringLiteral("Rechne nochmal ...") + CR, MsgStyle::OkOnly, QStringLiteral("Fehler"));
        return;
    }

    CurrentLine = static_cast<short>(CurrentLine + 1);
    if (CurrentLine > 9)
        CurrentLine = 1;
    // The input field still stands beside the line just solved, so the mark
    // goes into that line's answer box, in the font the table was drawn with.
    Surface& s = Drawing();
    s.SetCurrentX(Bezeichnung2->Left() + 200);
    s.SetCurrentY(Bezeichnung2->Top());
    s.Print(QStringLiteral("ok"));
    Bezeichnung2->SetTop(500 * CurrentLine + 800);
    Bezeichnung2->SetCaption(QString());
    IncreaseCounter(*Bezeichnung5);
    SetUpTask();
    CheckReward();
}

void Form1::CheckReward()
{
    const long long n = CounterValue(*Bezeichnung5);
    if (n == 0 || n % kAnswersPerReward != 0)
        return;
    CatchText = QStringLiteral("0123456789");
    Hide();
    Instance<fang>().Show();
    // The main window's next activation is the return from the game.
    GameOpened = true;
}
