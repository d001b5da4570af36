// The main window's layout: every control with its place and size in twips,
// colours, font, caption, picture and visibility, and the wiring of their
// events to the handlers.

#include "main_window/Form1.h"

#include "platform/Accessibility.h"
#include "compat/Colors.h"
#include "compat/Palette.h"
#include "compat/FileListBox.h"
#include "compat/Fonts.h"
#include "compat/Label.h"
#include "compat/ListBox.h"
#include "compat/PictureBox.h"
#include "compat/Shape.h"

#include <QListWidget>

namespace {

Form::Settings WindowSettings()
{
    Form::Settings s;
    s.caption = QStringLiteral("Rechenkov");
    s.clientWidth = 9765;
    s.clientHeight = 6765;
    s.backColor = kPaleGreen;
    s.foreColor = SystemWindowText();
    s.font = DesignFont(kSansSerif, 8.25, true);
    s.keyPreview = true;
    s.persistentDrawing = true;
    s.iconName = QStringLiteral("app.xpm");
    return s;
}

PictureBox* MakePictureBox(QWidget* parent, const char* name, int left, int top, const QColor& back,
                           const char* icon)
{
    auto* box = new PictureBox(parent, QString::fromLatin1(name), left, top, 495, 495);
    box->SetBackColor(back);
    if (icon)
        box->SetPicture(LoadPicture(QString::fromLatin1(icon)));
    return box;
}

Shape* MakeBand(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    auto* band = new Shape(parent, QString::fromLatin1(name), left, top, width, height);
    band->SetBorderColor(kDarkGreen, 2);
    band->SetFill(kLightGreen);
    return band;
}

} // namespace

Form1::Form1() : Form(WindowSettings())
{
    BuildLayout();
    ConnectEvents();
    InstallKeyPreview();
}

void Form1::BuildLayout()
{
    // The two bands come first so that they lie beneath everything else.
    Figur1 = MakeBand(this, "Figur1", 0, 0, 9735, 735);
    Figur3 = MakeBand(this, "Figur3", 0, 720, 735, 6015);

    Bild1 = MakePictureBox(this, "Bild1", 120, 120, kLightGreen, "quit.xpm");
    Bild2 = MakePictureBox(this, "Bild2", 960, 120, kLightGreen, "computer.xpm");
    Bild3 = MakePictureBox(this, "Bild3", 1800, 120, kLightGreen, "printer.xpm");
    Bild12 = MakePictureBox(this, "Bild12", 2640, 120, kLightGreen, "medicine.xpm");
    Bild15 = MakePictureBox(this, "Bild15", 3480, 120, kLightGreen, "keycap.xpm");

    Bezeichnung1 = new Label(this, QStringLiteral("Bezeichnung1"), 5160, 120, 3615, 495);
    Bezeichnung1->SetCaption(QStringLiteral("Freund+Gast"));
    Bezeichnung1->SetBackColor(kPaleGreen);
    Bezeichnung1->SetForeColor(kDarkGreen);
    Bezeichnung1->SetDesignFont(kSansSerif, 18, true);
    Bezeichnung1->SetBorder(Border::Single);
    Bezeichnung1->SetAlignment(Qt::AlignLeft);

    Bild9 = MakePictureBox(this, "Bild9", 9120, 120, kLightGreen, "brand.xpm");

    Liste1 = new ListBox(this, QStringLiteral("Liste1"), 120, 960, 495, 5070);
    Liste1->SetBackColor(kPaleGreen);
    Liste1->SetDesignFont(kSansSerif, 9.75, true);

    Bezeichnung2 = new Label(this, QStringLiteral("Bezeichnung2"), 8520, 1320, 1005, 495);
    Bezeichnung2->SetBackColor(kRed);
    Bezeichnung2->SetForeColor(kWhite);
    Bezeichnung2->SetDesignFont(kSansSerif, 18, true);
    Bezeichnung2->SetBorder(Border::Single);
    Bezeichnung2->SetAlignment(Qt::AlignHCenter);

    Bild10 = MakePictureBox(this, "Bild10", 8520, 5880, kLightGreen, "laughing.xpm");
    Bezeichnung5 = new Label(this, QStringLiteral("Bezeichnung5"), 8520, 6360, 495, 255);
    Bild11 = MakePictureBox(this, "Bild11", 9000, 5880, kLightGreen, "shocked.xpm");
    Bezeichnung4 = new Label(this, QStringLiteral("Bezeichnung4"), 9000, 6360, 495, 255);
    for (Label* counter : {Bezeichnung5, Bezeichnung4}) {
        counter->SetCaption(QStringLiteral("0"));
        counter->SetBackColor(kLightGreen);
        counter->SetForeColor(SystemWindowText());
        counter->setFont(font());
        counter->SetBorder(Border::Single);
        counter->SetAlignment(Qt::AlignHCenter);
    }

    // The operation button shows a plus sign of its own until start-up gives
    // it the picture of the plus store.
    Bild8 = MakePictureBox(this, "Bild8", 120, 6120, kRed, "plus.xpm");

    // Stores of pictures and values, right of the client area.
    Bild4 = MakePictureBox(this, "Bild4", 9960, 120, SystemWindowBackground(), "plus.xpm");
    Bild5 = MakePictureBox(this, "Bild5", 9960, 720, SystemWindowBackground(), "minus.xpm");
    Bild6 = MakePictureBox(this, "Bild6", 9960, 1320, SystemWindowBackground(), "times.xpm");
    Bild7 = MakePictureBox(this, "Bild7", 9960, 1920, SystemWindowBackground(), "divide.xpm");
    Bild14 = MakePictureBox(this, "Bild14", 9960, 2520, SystemWindowBackground(), "bone.xpm");
    Bild13 = MakePictureBox(this, "Bild13", 10560, 2520, kLightGreen, nullptr);

    Bezeichnung3 = new Label(this, QStringLiteral("Bezeichnung3"), 9960, 3120, 735, 375);
    Bezeichnung3->SetCaption(QStringLiteral("0"));
    Bezeichnung3->SetBackColor(kYellow);
    Bezeichnung3->SetForeColor(SystemWindowText());
    Bezeichnung3->SetDesignFont(kSansSerif, 12, true);
    Bezeichnung3->SetBorder(Border::Single);
    Bezeichnung3->SetAlignment(Qt::AlignHCenter);

    Datei1 = new FileListBox(this, QStringLiteral("Datei1"), 9960, 3600, 1215, 1395);
    Datei1->SetBackColor(kLightGreen);
    Datei1->setFont(font());
    Datei1->SetPattern(QStringLiteral("*.LST"));
    Datei1->SetVisible(false);

    // The tab indexes; labels take no focus. The quit button holds it at
    // start-up, so arrow keys and letters never move the menu by chance.
    SetTabOrder({Bild1, Bild2, Liste1->Widget(), Bild3, Bild4, Bild5, Bild6, Bild7, Bild8, Bild9, Bild10, Bild11,
                 Bild12, Datei1->Widget(), Bild13, Bild14, Bild15});

    // What each button does, for screen readers and as a tooltip; the
    // pictures alone say nothing to someone who cannot see them.
    Describe(Bild1, QStringLiteral("Programm beenden"), QStringLiteral("Programm beenden"));
    Describe(Bild2, QStringLiteral("Neue Zahlen"), QStringLiteral("Neue Zahlen"));
    Describe(Bild3, QStringLiteral("Tabelle drucken"), QStringLiteral("Tabelle drucken"));
    Describe(Bild12, QStringLiteral("Hilfe"), QStringLiteral("Hilfe"));
    Describe(Bild15, QStringLiteral("Tastenhilfe"), QStringLiteral("Tastenhilfe"));
    Describe(Bild9, QStringLiteral("Programm-Info"), QStringLiteral("Programm-Info"));
    Describe(Bild8, QStringLiteral("Rechenart wechseln"), QStringLiteral("Rechenart wechseln"));
    Describe(Bild10, QStringLiteral("Wann gibt es eine Belohnung?"), QStringLiteral("Wann gibt es eine Belohnung?"));
    Describe(Bild11, QStringLiteral("Wie viele Aufgaben fehlen noch?"),
             QStringLiteral("Wie viele Aufgaben fehlen noch?"));
    Describe(Bezeichnung1, QStringLiteral("Benutzernamen ändern"), QStringLiteral("Benutzernamen ändern"));
    Describe(Liste1, QStringLiteral("Rechenreihe wählen"), QStringLiteral("Rechenreihe wählen"));
    Describe(Datei1, QStringLiteral("Tabelle laden"), QStringLiteral("Gespeicherte Tabelle laden"));
    // The input field's description names the current task; SetUpTask keeps it up to date.
    Describe(Bezeichnung2, QStringLiteral("Eingabefeld"), QStringLiteral("Hier erscheint deine Zahl"));
}

void Form1::ConnectEvents()
{
    connect(Liste1, &ListBox::Click, this, &Form1::Liste1_Click);
    connect(Datei1, &ListBox::Click, this, &Form1::Datei1_Click);
    connect(Bild1, &PictureBox::Click, this, &Form1::Bild1_Click);
    connect(Bild2, &PictureBox::Click, this, &Form1::Bild2_Click);
    connect(Bild3, &PictureBox::Click, this, &Form1::Bild3_Click);
    connect(Bild8, &PictureBox::Click, this, &Form1::Bild8_Click);
    connect(Bild9, &PictureBox::Click, this, &Form1::Bild9_Click);
    connect(Bild10, &PictureBox::Click, this, &Form1::Bild10_Click);
    connect(Bild11, &PictureBox::Click, this, &Form1::Bild11_Click);
    connect(Bild12, &PictureBox::Click, this, &Form1::Bild12_Click);
    connect(Bild13, &PictureBox::Click, this, &Form1::Bild13_Click);
    connect(Bild13, &PictureBox::DblClick, this, &Form1::Bild13_DblClick);
    connect(Bild15, &PictureBox::Click, this, &Form1::Bild15_Click);
    connect(Bezeichnung1, &Label::Click, this, &Form1::Bezeichnung1_Click);
}
