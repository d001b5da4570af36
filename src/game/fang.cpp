// The rules of the catch game: preparing a game at every activation, the
// start click, the catcher's moves and the catch test, the clock with its
// scatterings, and the two ways out (all caught, or quit).

#include "game/fang.h"

#include "compat/Dialogs.h"
#include "compat/HScrollBar.h"
#include "compat/KeyCodes.h"
#include "compat/Label.h"
#include "table/MODUL1.h"
#include "platform/Platform.h"
#include "compat/PictureBox.h"
#include "compat/Windows.h"
#include "record/Recording.h"
#include "main_window/Form1.h"

#include <QTimer>

#include <algorithm>

using namespace MODUL1;

namespace {

// Cells of the playing field are 400 twips square.
constexpr int kCell = 400;
// Characters go to columns 0..16 and lines 0..10; the catcher may also
// enter column 17, which never holds a character.
constexpr int kCharacterColumns = 17;
constexpr int kLines = 11;
constexpr int kLastCatcherColumn = 17;
constexpr int kLastLine = 10;
// DigitCol and DigitLine hold this many cells.
constexpr int kMaxCharacters = 30;

// How many characters of the catch text have a cell; the arrays end at 30.
int CharactersPlaced() { return std::min<int>(static_cast<int>(CatchText.size()), kMaxCharacters); }

} // namespace

void fang::Form_Load()
{
    CentreOnScreen();
}

void fang::Form_Activate()
{
    ClearField();
    ColIndex = 9;
    LineIndex = 6;
    if (CatchText.isEmpty() || CatchText.size() > kMaxCharacters)
        CatchText = QStringLiteral("Schnatterwort");
    Bezeichnung3->SetCaption(CatchText.left(1));
    Bezeichnung4->SetCaption(QString());
    Bezeichnung5->SetCaption(CatchText.mid(1));
    Bezeichnung6->SetCaption(QStringLiteral("0"));

    Surface& s = Bild5->Drawing();
    s.Print();
    s.Print();
    s.Print();
    s.Print(QStringLiteral("          Zum Starten hier klicken . . ."));
    s.Print();
    s.Print(QStringLiteral("          (Anleitung über Hilfe-Knopf)"));
    // The child arrives here from typing answers; with the focus on the quit
    // button an Enter or a blank would ask to end the game before it began.
    Bild5->setFocus();
}

void fang::Form_KeyDown(int keyCode, int)
{
    // Before the start click the catcher is not on the field yet: moving it
    // there could catch the characters left from the last game and win a game
    // that never ran. Only Escape works then. The clock runs exactly while a
    // game runs.
    if (!Zeit1->isActive() && keyCode != KeyCode::Escape)
        return;
    switch (keyCode) {
    case KeyCode::Up: MoveUp(); break;
    case KeyCode::Down: MoveDown(); break;
    case KeyCode::Left: MoveLeft(); break;
    case KeyCode::Right: MoveRight(); break;
    case KeyCode::Escape: Befehl1_Click(); break;
    default: break;
    }
}

// The close box asks the same question as the quit button, so the game never
// vanishes while the main window stays hidden.
void fang::Form_TitleBarClose() { Befehl1_Click(); }

void fang::Bild5_Click()
{
    // Enabling a running clock must not restart its second.
    if (!Zeit1->isActive())
        Zeit1->start();
    ClearField();
    ScatterCharacters();
    CheckCatch();
    Bild5->setFocus();
    Bezeichnung8->SetVisible(true);
}

void fang::Zeit1_Timer()
{
    const long long seconds = Bezeichnung6->Caption().toLongLong() + 1;
    Bezeichnung6->SetCaption(QString::number(seconds));
    // The speed is read at every tick, so a change takes effect at once.
    const int speed = HBildlauf1->Value();
    if (speed > 0 && seconds % speed == 0) {
        ClearField();
        ScatterCharacters();
        CheckCatch();
    }
}

void fang::HBildlauf1_Change()
{
    Bezeichnung9->SetCaption(QString::number(HBildlauf1->Value()));
    Bild5->setFocus();
}

void fang::HBildlauf1_Scroll() { HBildlauf1_Change(); }

void fang::Befehl1_Click()
{
    if (MsgBox(QStringLiteral("Dieses Spiel jetzt beenden?") + CR, MsgStyle::YesNoStopYesDefault,
               QStringLiteral("Dudazazor")) != MsgResult::No)
        EndGame();
}

void fang::Befehl2_Click()
{
    MsgBox(QStringLiteral("Du musst die Ziffern von 0 bis 9 der Reihe") + CR +
               QStringLiteral("nach fangen. Gesteuert wird mit den vier") + CR +
               QStringLiteral("Pfeiltasten rechts auf deiner PC-Tastatur.") + CR,
           MsgStyle::OkOnly, QStringLiteral("Dudazazor: Hilfe"));
    Bild5->setFocus();
}

void fang::ClearField() { Bild5->Drawing().Cls(); }

void fang::ScatterCharacters()
{
    for (int i = 1; i <= CharactersPlaced(); ++i) {
        // Drawn again until the cell is neither the catcher's nor taken by
        // an earlier character; 187 cells for at most 30 characters.
        for (;;) {
            DigitCol[i] = static_cast<short>(Platform::Rnd() * kCharacterColumns);
            DigitLine[i] = static_cast<short>(Platform::Rnd() * kLines);
            bool free = !(DigitCol[i] == ColIndex && DigitLine[i] == LineIndex);
            for (int j = 1; free && j < i; ++j)
                free = !(DigitCol[j] == DigitCol[i] && DigitLine[j] == DigitLine[i]);
            if (free)
                break;
        }
        PrintAtCell(CatchText.at(i - 1), DigitCol[i], DigitLine[i]);
    }
}

void fang::DrawCharacters()
{
    for (int i = 1; i <= CharactersPlaced(); ++i)
        PrintAtCell(CatchText.at(i - 1), DigitCol[i], DigitLine[i]);
}

void fang::PrintAtCell(QChar character, int column, int line)
{
    Surface& s = Bild5->Drawing();
    s.SetCurrentX(column * kCell);
    s.SetCurrentY(line * kCell);
    s.Print(QString(character));
}

void fang::CheckCatch()
{
    // Only the next character can be caught; the others are passed over.
    if (!CatchText.isEmpty() && DigitCol[1] == ColIndex && DigitLine[1] == LineIndex) {
        ClearField();
        for (int i = 1; i < CharactersPlaced(); ++i) {
            DigitCol[i] = DigitCol[i + 1];
            DigitLine[i] = DigitLine[i + 1];
        }
        Bezeichnung4->SetCaption(Bezeichnung4->Caption() + Bezeichnung3->Caption());
        Bezeichnung5->SetCaption(Bezeichnung5->Caption().mid(1));
        CatchText = CatchText.mid(1);
        DrawCharacters();
    }
    Bezeichnung8->Move(ColIndex * kCell, LineIndex * kCell);
    Bezeichnung3->SetCaption(CatchText.left(1));
    if (CatchText.isEmpty())
        FinishGame();
}

void fang::MoveUp()
{
    if (LineIndex > 0)
        --LineIndex;
    CheckCatch();
}

void fang::MoveDown()
{
    if (LineIndex < kLastLine)
        ++LineIndex;
    CheckCatch();
}

void fang::MoveLeft()
{
    if (ColIndex > 0)
        --ColIndex;
    CheckCatch();
}

void fang::MoveRight()
{
    if (ColIndex < kLastCatcherColumn)
        ++ColIndex;
    CheckCatch();
}

void fang::FinishGame()
{
    const long long seconds = Bezeichnung6->Caption().toLongLong();
    history::RecordGame(seconds);
    // The message box runs its own event loop; a tick in it could catch again
    // and open this message a second time, so the clock stops first.
    Zeit1->stop();
    MsgBox(QStringLiteral("Du hast es in ") + QString::number(seconds) + QStringLiteral(" Sekunden geschafft.") + CR,
           MsgStyle::OkOnly, QStringLiteral("Silbenhasch"));
    EndGame();
}

void fang::EndGame()
{
    Bezeichnung8->SetVisible(false);
    Zeit1->setInterval(1000);
    Zeit1->stop();
    Hide();
    Instance<Form1>().Show();
}
