// The main window's way to row files: its hidden file list, shown and hidden
// by a click on Bild13, loading the chosen file into the table, and the
// double click on Bild13 that opens the row editor.

#include "main_window/Form1.h"

#include "app/Dialogs.h"
#include "app/FileListBox.h"
#include "app/MODUL1.h"
#include "app/PictureBox.h"
#include "app/Windows.h"
#include "rows/Form2.h"
#include "rows/RowFileIO.h"

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
    const rows::ReadResult read = rows::LoadRowFile(name);
    const auto readCount = static_cast<int>(read.cells.size());
    // The counters stop where reading stopped.
    for (ColIndex = 1; ColIndex <= 7; ++ColIndex) {
        for (LineIndex = 1; LineIndex <= 9; ++LineIndex) {
            const int field = (ColIndex - 1) * 9 + (LineIndex - 1);
            if (field >= readCount)
                break;
            ColumnAt(ColIndex)[LineIndex] = read.cells[static_cast<std::size_t>(field)];
        }
        if (LineIndex <= 9)
            break;
    }
    if (!read.ok)
        MsgBox(QStringLiteral("Ein Ladefehler ist aufgetreten ...") + CR, MsgStyle::OkOnly,
               QStringLiteral("Dateifehler"));
    CurrentLine = 1;
    PlaceInputField();
    // A failed load leaves no half-loaded table behind: new random rows replace it.
    if (read.ok)
        DrawTable();
    else
        GenerateRows();
}
