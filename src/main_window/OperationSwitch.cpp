// The operation button, which switches plus → minus → times → plus and makes
// new rows for the new operation, with the hint on the minus rule; and the
// computer button, which makes new rows for the operation as it is.

#include "main_window/Form1.h"

#include "compat/Dialogs.h"
#include "table/MODUL1.h"
#include "compat/OptionButton.h"
#include "compat/PictureBox.h"
#include "compat/Windows.h"
#include "editor/Form2.h"
#include "table/Operation.h"

using namespace MODUL1;

namespace {

// The shared state keeps the operation as the number the record stores.
void Store(rows::Operation op) { Operation = static_cast<short>(rows::Number(op)); }

} // namespace

void Form1::Bild8_Click()
{
    // The input field moves with the menu's selection of its first entry.
    CurrentLine = 1;
    if (Bild8->GetPicture() == Bild4->GetPicture()) {
        Bild8->SetPicture(Bild5->GetPicture());
        Store(rows::Operation::Minus);
        FillOperationMenu();
        GenerateRows();
        // The setting for the hint lives in the row editor; asking for it
        // creates that window, hidden, if it does not exist yet.
        Form2& editor = Instance<Form2>();
        if (editor.Option1->Value() || editor.Option2->Value())
            MsgBox(QStringLiteral("Bei Minus gilt: Große Zahl minus kleine Zahl.") + CR, MsgStyle::OkOnly,
                   QStringLiteral("Hinweis"));
        // "At the first switch" means: once shown, never again this run.
        if (editor.Option2->Value())
            editor.Option3->SetValue(true);
    } else if (Bild8->GetPicture() == Bild5->GetPicture()) {
        Bild8->SetPicture(Bild6->GetPicture());
        Store(rows::Operation::Times);
        FillOperationMenu();
        GenerateRows();
    } else {
        Bild8->SetPicture(Bild4->GetPicture());
        Store(rows::Operation::Plus);
        FillOperationMenu();
        GenerateRows();
    }
}

void Form1::Bild2_Click()
{
    CurrentLine = 1;
    PlaceInputField();
    GenerateRows();
}
