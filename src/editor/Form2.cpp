// The row editor's behaviour: filling the column lists from the row table,
// marking a list, typing a value into the entry label and setting it into the
// marked list, clearing, saving and loading row files, and the way back to
// the main window.

#include "editor/Form2.h"

#include "compat/Colors.h"
#include "compat/Dialogs.h"
#include "compat/FileListBox.h"
#include "compat/KeyCodes.h"
#include "compat/Label.h"
#include "compat/ListBox.h"
#include "table/MODUL1.h"
#include "compat/Shape.h"
#include "compat/TextBox.h"
#include "compat/Windows.h"
#include "main_window/Form1.h"
#include "table/RowFileIO.h"
#include "table/TableFile.h"

#include <QStringList>

using namespace MODUL1;

namespace {
const QString kSaveTitle = QStringLiteral("Tabelle speichern");
}

ListBox* Form2::ListeAt(int k) const
{
    switch (k) {
    case 1: return Liste1;
    case 2: return Liste2;
    case 3: return Liste3;
    case 4: return Liste4;
    case 5: return Liste5;
    case 6: return Liste6;
    case 7: return Liste7;
    default: return nullptr;
    }
}

void Form2::Form_Load()
{
    // Centred once; nothing moves the window afterwards.
    CentreOnScreen();
}

void Form2::Form_Activate()
{
    // Every showing starts again from the row table: unsaved edits are gone.
    UnmarkLists();
    for (int k = 1; k <= 7; ++k)
        ListeAt(k)->Clear();
    for (int line = 1; line <= 9; ++line)
        for (int k = 1; k <= 7; ++k)
            ListeAt(k)->AddItem(CellCaption(ColumnAt(k)[line]));
}

void Form2::UnmarkLists()
{
    for (int k = 1; k <= 7; ++k)
        ListeAt(k)->SetBackColor(ClassicColor(15));
}

void Form2::MarkList(int n)
{
    UnmarkLists();
    ListeAt(n)->SetBackColor(Bezeichnung9->BackColor());
    // Typed keys go to the hidden focus holder, never into the list.
    Text1->SetFocus();
    SelectedList = static_cast<short>(n);
}

void Form2::Liste1_Click() { MarkList(1); }
void Form2::Liste2_Click() { MarkList(2); }
void Form2::Liste3_Click() { MarkList(3); }
void Form2::Liste4_Click() { MarkList(4); }
void Form2::Liste5_Click() { MarkList(5); }
void Form2::Liste6_Click() { MarkList(6); }
void Form2::Liste7_Click() { MarkList(7); }

void Form2::Form_KeyDown(int keyCode, int)
{
    if (keyCode == KeyCode::Delete) {
        Bezeichnung9->SetCaption(QString());
        return;
    }
    if (keyCode == KeyCode::Back) {
        QString entry = Bezeichnung9->Caption();
        if (!entry.isEmpty())
            entry.chop(1);
        Bezeichnung9->SetCaption(entry);
        return;
    }
    if (keyCode >= KeyCode::Digit0 && keyCode <= KeyCode::Digit0 + 9) {
        Bezeichnung9->SetCaption(Bezeichnung9->Caption() + QChar(keyCode));
        return;
    }
    if (keyCode == KeyCode::Return && SelectedList >= 1 && SelectedList <= 7) {
        ListBox* list = ListeAt(SelectedList);
        // After the lists were refilled nothing is selected in the marked
        // list; there is no item to overwrite then, so Enter does nothing.
        const int item = list->ListIndex();
        if (item >= 0)
            list->SetList(item, Bezeichnung9->Caption());
    }
}

void Form2::Bezeichnung9_Change()
{
    // Setting the caption again runs this check again, so the entry shrinks
    // one digit at a time until it fits into its box.
    if (Bezeichnung9->Width() > Figur2->Width())
        Bezeichnung9->SetCaption(Bezeichnung9->Caption().chopped(1));
    Text1->SetText(QString());
}

void Form2::Bild1_Click()
{
    Hide();
    Instance<Form1>().Show();
}

void Form2::Form_TitleBarClose() { Bild1_Click(); }

void Form2::Bild3_Click()
{
    for (int k = 1; k <= 7; ++k)
        for (int item = 0; item <= 8; ++item)
            ListeAt(k)->SetList(item, QStringLiteral("0"));
}

void Form2::Bild2_Click()
{
    const QString name = InputBox(QStringLiteral("Name der Datei:"), kSaveTitle, QStringLiteral("KOVTAB.LST"));
    if (name.isEmpty())
        return;
    QStringList items;
    for (ColIndex = 1; ColIndex <= 7; ++ColIndex)
        for (LineIndex = 1; LineIndex <= 9; ++LineIndex)
            items << ListeAt(ColIndex)->List(LineIndex - 1);
    // The file is replaced only by a complete new one; a failed save leaves
    // any old file of that name as it was.
    if (!rows::SaveRowFile(name, items)) {
        MsgBox(QStringLiteral("Die Datei konnte nicht gespeichert werden ...") + CR, MsgStyle::OkOnly, kSaveTitle);
        return;
    }
    MsgBox(name + QStringLiteral(" wurde gespeichert.") + CR, MsgStyle::OkOnly, kSaveTitle);
}

void Form2::Datei1_Click()
{
    const QString name = Datei1->FileName();
    if (name.isEmpty())
        return;
    OpenTableFile(name);
}

void Form2::OpenTableFile(const QString& name)
{
    // Digits typed next are meant for the entry; left in the file list they
    // would jump to a file whose name starts with that digit and load it.
    Text1->SetFocus();
    // A file that fails part way changes nothing in the row table; the lists
    // all show "0" so that nothing half-loaded is mistaken for the file.
    if (!rows::LoadTable(name)) {
        MsgBox(QStringLiteral("Es ist ein Ladefehler aufgetreten ...") + CR, MsgStyle::OkOnly,
               QStringLiteral("Dateifehler"));
        Bild3_Click();
        return;
    }
    for (ColIndex = 1; ColIndex <= 7; ++ColIndex)
        for (LineIndex = 1; LineIndex <= 9; ++LineIndex)
            ListeAt(ColIndex)->SetList(LineIndex - 1, CellCaption(ColumnAt(ColIndex)[LineIndex]));
}
