// The info window's behaviour: its place and texts at every repaint, and
// handing back to the main window.

#include "info/KOVLABEL.h"

#include "compat/Label.h"
#include "compat/Windows.h"
#include "main_window/Form1.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");

const QString kTerms = QStringLiteral("Rechenkov darf kostenlos kopiert und weitergegeben werden, "
                                      "solange das Programm unverändert bleibt.") +
                       kCrLf + QStringLiteral("Viel Spaß beim Rechnen!");

const QString kAuthor =
    QStringLiteral("Programm: Rechenkov-Team") + kCrLf + QStringLiteral("Kontakt: info@example.org");

// Only a changed caption is set: setting one repaints the label, and that
// repaint must not run this paint handler over and over again.
void SetCaptionOnce(Label* label, const QString& caption)
{
    if (label->Caption() != caption)
        label->SetCaption(caption);
}

} // namespace

void KOVLABEL::Form_Paint()
{
    // Centred across, at a quarter of the free height from the top; a window
    // moved away jumps back here at its next repaint.
    SetLeft((ScreenWidth() - Width()) / 2);
    SetTop((ScreenHeight() - Height()) / 4);
    SetCaptionOnce(Bezeichnung6, kTerms);
    SetCaptionOnce(Bezeichnung7, kAuthor);
}

void KOVLABEL::Bild1_Click()
{
    Hide();
    Instance<Form1>().Show();
}

void KOVLABEL::Bezeichnung1_Click() { Bild1_Click(); }

// The close box must not leave the program without a visible window.
void KOVLABEL::Form_TitleBarClose() { Bild1_Click(); }
