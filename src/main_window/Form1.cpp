// Start-up, activation and the operation menu of the main window.

#include "main_window/Form1.h"

#include "compat/FileListBox.h"
#include "compat/Label.h"
#include "compat/ListBox.h"
#include "table/MODUL1.h"
#include "compat/PictureBox.h"
#include "record/Recording.h"
#include "table/ColumnRules.h"

using namespace MODUL1;

void Form1::Form_Load()
{
    // Centred once, at load; the window is never re-centred afterwards.
    CentreOnScreen();
    GameOpened = false;
    // The operation button still shows its own plus sign here, so the menu
    // gets the plus list; the table it draws is replaced right below.
    FillOperationMenu();
    CalcRow = 1;
    Operation = static_cast<short>(rows::Number(rows::Operation::Plus));
    CurrentLine = 1;
    GenerateRows();
    Bild8->SetPicture(Bild4->GetPicture());
    Bezeichnung1->SetCaption(history::StartName(Bezeichnung1->Caption()));
}

void Form1::Form_Activate()
{
    // A table loaded while this window was hidden is drawn afresh, so that
    // the expected result comes from the numbers on the screen.
    if (TableChanged)
        DrawTable();
    // Back from the reward game: only the flag is reset, and the answer's
    // time is counted from here.
    if (GameOpened) {
        GameOpened = false;
        history::MarkTaskSetUp();
        return;
    }
    // Setting the pattern re-reads the directory, so files saved in the row
    // editor appear in the list.
    Datei1->SetPattern(QStringLiteral("*.KOV"));
    Datei1->SetPattern(QStringLiteral("*.LST"));
}

void Form1::FillOperationMenu()
{
    Liste1->Clear();
    // The menu follows the sign the operation button shows; plus is the
    // fallback for any picture that is none of the stores.
    rows::Operation shown = rows::Operation::Plus;
    if (Bild8->GetPicture() == Bild5->GetPicture())
        shown = rows::Operation::Minus;
    else if (Bild8->GetPicture() == Bild6->GetPicture())
        shown = rows::Operation::Times;
    for (int row = 1; row <= 21; ++row)
        Liste1->AddItem(rows::CalcRowText(row, shown));
    CalcRow = 1;
    Liste1->SetListIndex(CalcRow - 1); // runs Liste1_Click
}

void Form1::Liste1_Click()
{
    const int index = Liste1->ListIndex();
    if (index < 0)
        return;
    CalcRow = static_cast<short>(index + 1);
    CurrentLine = 1;
    PlaceInputField();
    DrawTable();
}

void Form1::PlaceInputField() { Bezeichnung2->SetTop(500 * CurrentLine + 800); }
