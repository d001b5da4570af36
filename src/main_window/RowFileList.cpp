// The main window's way to row files: its hidden file list, shown and hidden
// by a click on Bild13, loading the chosen file into the table, and the
// double click on Bild13 that opens the row editor.

#include "main_window/Form1.h"

#include "compat/Dialogs.h"
#include "compat/FileListBox.h"
#include "table/MODUL1.h"
#include "compat/PictureBox.h"
#include "compat/Windows.h"
#include "editor/Form2.h"
#include "table/TableFile.h"

using namespace MODUL1;

void Form1::Bild13_Click()
{
    // Bild13 works as the list's switch only while it shows the bone of Bild14.
    if (Bild13->GetPicture() && Bild13->GetPicture() == Bild14->GetPicture())
        Datei1->SetVisible(!Datei1->Visible());
}

void Form1::Bild13_DblClick()
{
    Datei1->SetVisible(false);
    Hide();
    Instance<Form2>().Show();
}

void Form1::Datei1_Click()
{
    const QString name = Datei1->FileName();
    Datei1->SetVisible(false);
    if (name.isEmpty())
        return;
    OpenTableFile(name);
}

void Form1::OpenTableFile(const QString& name)
{
    const bool loaded = rows::LoadTable(name);
    if (!loaded)
        MsgBox(QStringLiteral("Ein Ladefehler ist aufgetreten ...") + CR, MsgStyle::OkOnly,
               QStringLiteral("Dateifehler"));
    CurrentLine = 1;
    PlaceInputField();
    // After a failed load new random rows replace the table, as the child
    // would otherwise practise on a table nobody chose.
    if (loaded)
        DrawTable();
    else
        GenerateRows();
}
