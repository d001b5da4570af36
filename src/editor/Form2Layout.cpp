// The row editor's layout: every control with its place and size in twips,
// colours, font, caption and picture, the tab order, and the wiring of the
// events to the handlers.

#include "editor/Form2.h"

#include "platform/Accessibility.h"
#include "compat/Colors.h"
#include "compat/Palette.h"
#include "compat/FileListBox.h"
#include "compat/Fonts.h"
#include "compat/Frame.h"
#include "compat/Label.h"
#include "compat/ListBox.h"
#include "compat/OptionButton.h"
#include "compat/PictureBox.h"
#include "compat/Shape.h"
#include "compat/TextBox.h"

#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

namespace {

Form::Settings WindowSettings()
{
    Form::Settings s;
    s.caption = QStringLiteral("Rechenkov: Reiheneingabe");
    s.clientWidth = 5445;
    s.clientHeight = 5310;
    s.backColor = kPaleGreen;
    s.foreColor = SystemWindowText();
    s.font = DesignFont(kSansSerif, 8.25, true);
    s.keyPreview = true;
    s.persistentDrawing = false;
    s.iconName = QStringLiteral("app.xpm");
    return s;
}

PictureBox* MakeButton(QWidget* parent, const char* name, int left, const char* icon)
{
    auto* box = new PictureBox(parent, QString::fromLatin1(name), left, 120, 495, 495);
    box->SetBackColor(kLightGreen);
    box->SetPicture(LoadPicture(QString::fromLatin1(icon)));
    return box;
}

Label* MakeHeading(QWidget* parent, int n, const char* caption)
{
    const int left = 240 + 720 * (n - 1);
    auto* heading = new Label(parent, QStringLiteral("Bezeichnung%1").arg(n), left, 1200, 615, 375);
    heading->SetCaption(QString::fromLatin1(caption));
    heading->SetBackColor(kLightGreen);
    heading->SetForeColor(SystemWindowText());
    heading->SetDesignFont(kSansSerif, 12, true);
    heading->SetBorder(Border::Single);
    heading->SetAlignment(Qt::AlignHCenter);
    return heading;
}

ListBox* MakeColumnList(QWidget* parent, int n, const QColor& back)
{
    const int left = 240 + 720 * (n - 1);
    auto* list = new ListBox(parent, QStringLiteral("Liste%1").arg(n), left, 1560, 615, 2190);
    list->SetBackColor(back);
    list->SetDesignFont(kSansSerif, 9.75, true);
    const QChar letter(u'a' + (n - 1));
    Describe(list, QStringLiteral("Spalte %1").arg(letter),
             QStringLiteral("Spalte %1: Zeile anklicken, Zahl tippen, mit Enter einsetzen").arg(letter));
    return list;
}

OptionButton* MakeOption(QWidget* frame, const char* name, int top, const QString& caption, bool selected)
{
    auto* option = new OptionButton(frame, QString::fromLatin1(name), 240, top, 4575, 255);
    option->SetCaption(caption);
    option->SetBackColor(kPaleGreen);
    option->SetForeColor(SystemWindowText());
    option->SetDesignFont(QStringLiteral("Arial"), 9.75, false);
    option->SetValue(selected);
    Describe(option, caption, QStringLiteral("Wann der Hinweis zu Minusaufgaben erscheint"));
    return option;
}

} // namespace

Form2::Form2() : Form(WindowSettings())
{
    BuildLayout();
    ConnectEvents();
    InstallKeyPreview();
}

void Form2::BuildLayout()
{
    // The shapes come first so that they lie beneath everything else.
    Figur1 = new Shape(this, QStringLiteral("Figur1"), 0, 0, 5415, 735);
    Figur1->SetBorderColor(kDarkGreen, 2);
    Figur1->SetFill(kLightGreen);
    Figur2 = new Shape(this, QStringLiteral("Figur2"), 3960, 120, 1215, 420);
    Figur2->SetBorderColor(kBlack, 1);
    Figur2->SetFill(std::nullopt);
    // Each new shape goes to the bottom; the band goes there once more, so
    // that the box Figur2 is drawn on it rather than hidden under its fill.
    Figur1->lower();

    Bild1 = MakeButton(this, "Bild1", 240, "quit.xpm");
    Bild2 = MakeButton(this, "Bild2", 960, "floppy.xpm");
    Bild3 = MakeButton(this, "Bild3", 1680, "wastebin.xpm");

    // The editor's file list is read once, here, and never again.
    Datei1 = new FileListBox(this, QStringLiteral("Datei1"), 2400, 120, 1335, 420);
    Datei1->SetBackColor(kPaleGreen);
    Datei1->setFont(font());
    Datei1->SetPattern(QStringLiteral("*.LST"));

    // The entry label grows with its digits inside the box Figur2, 15 below its top edge.
    Bezeichnung9 = new Label(this, QStringLiteral("Bezeichnung9"), 3960, 135, 135, 390);
    Bezeichnung9->SetBackColor(kYellow);
    Bezeichnung9->SetForeColor(kBlack);
    Bezeichnung9->SetDesignFont(kSansSerif, 13.5, true);
    Bezeichnung9->SetBorder(Border::Single);
    Bezeichnung9->SetAutoSize(true);

    // Only holds the focus, right of the client area, so typed keys reach no list.
    Text1 = new TextBox(this, QStringLiteral("Text1"), 5760, 120, 615, 375);
    Text1->SetText(QStringLiteral("Text1"));

    Bezeichnung8 = new Label(this, QStringLiteral("Bezeichnung8"), 240, 840, 4935, 255);
    Bezeichnung8->SetCaption(QStringLiteral("Werte werden mit Enter in die markierte Liste eingesetzt."));
    Bezeichnung8->SetBackColor(kPaleGreen);
    Bezeichnung8->SetForeColor(SystemWindowText());
    Bezeichnung8->setFont(font());
    Bezeichnung8->SetAlignment(Qt::AlignHCenter);

    Bezeichnung1 = MakeHeading(this, 1, "a");
    Bezeichnung2 = MakeHeading(this, 2, "b");
    Bezeichnung3 = MakeHeading(this, 3, "c");
    Bezeichnung4 = MakeHeading(this, 4, "d");
    Bezeichnung5 = MakeHeading(this, 5, "e");
    Bezeichnung6 = MakeHeading(this, 6, "f");
    Bezeichnung7 = MakeHeading(this, 7, "g");

    Liste1 = MakeColumnList(this, 1, SystemWindowBackground());
    Liste2 = MakeColumnList(this, 2, SystemWindowBackground());
    Liste3 = MakeColumnList(this, 3, SystemWindowBackground());
    Liste4 = MakeColumnList(this, 4, SystemWindowBackground());
    Liste5 = MakeColumnList(this, 5, SystemWindowBackground());
    Liste6 = MakeColumnList(this, 6, SystemWindowBackground());
    Liste7 = MakeColumnList(this, 7, kWhite);

    Rahmen1 = new Frame(this, QStringLiteral("Rahmen1"), 240, 3960, 4935, 1095);
    Rahmen1->SetCaption(QStringLiteral("Minusaufgaben"));
    Rahmen1->SetBackColor(kPaleGreen);
    Rahmen1->SetForeColor(SystemWindowText());
    Rahmen1->setFont(font());
    Option1 = MakeOption(Rahmen1, "Option1", 240, QStringLiteral("Hinweis bei jedem Wechsel zu Minus einblenden"),
                         false);
    Option2 = MakeOption(Rahmen1, "Option2", 480, QStringLiteral("Hinweis bei erstem Wechsel zu Minus einblenden"),
                         true);
    Option3 = MakeOption(Rahmen1, "Option3", 720, QStringLiteral("Hinweis weglassen und nun für immer abschalten"),
                         false);

    // The tab indexes of the controls that take the focus (labels and the
    // frame take none); the first list holds it when the window first shows.
    SetTabOrder({Liste1->Widget(), Liste2->Widget(), Liste3->Widget(), Liste4->Widget(), Liste5->Widget(),
                 Liste6->Widget(), Liste7->Widget(), Bild1, Bild2, Bild3, Datei1->Widget(), Text1->Widget(),
                 Option1->Widget(), Option2->Widget(), Option3->Widget()});

    // What each button does, for screen readers and as a tooltip.
    Describe(Bild1, QStringLiteral("Zurück zum Hauptfenster"), QStringLiteral("Zurück zum Hauptfenster"));
    Describe(Bild2, QStringLiteral("Tabelle speichern"), QStringLiteral("Tabelle speichern"));
    Describe(Bild3, QStringLiteral("Alle Werte auf 0 setzen"), QStringLiteral("Alle Werte auf 0 setzen"));
    Describe(Datei1, QStringLiteral("Tabelle laden"), QStringLiteral("Tabelle laden"));
}

void Form2::ConnectEvents()
{
    connect(Liste1, &ListBox::Click, this, &Form2::Liste1_Click);
    connect(Liste2, &ListBox::Click, this, &Form2::Liste2_Click);
    connect(Liste3, &ListBox::Click, this, &Form2::Liste3_Click);
    connect(Liste4, &ListBox::Click, this, &Form2::Liste4_Click);
    connect(Liste5, &ListBox::Click, this, &Form2::Liste5_Click);
    connect(Liste6, &ListBox::Click, this, &Form2::Liste6_Click);
    connect(Liste7, &ListBox::Click, this, &Form2::Liste7_Click);
    connect(Bezeichnung9, &Label::Change, this, &Form2::Bezeichnung9_Change);
    connect(Bild1, &PictureBox::Click, this, &Form2::Bild1_Click);
    connect(Bild2, &PictureBox::Click, this, &Form2::Bild2_Click);
    connect(Bild3, &PictureBox::Click, this, &Form2::Bild3_Click);
    connect(Datei1, &ListBox::Click, this, &Form2::Datei1_Click);
}
