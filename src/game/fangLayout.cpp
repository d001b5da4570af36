// The game window's layout: every control with its place and size in twips,
// colours, font and caption, the clock, and the wiring of their events to
// the handlers.

#include "game/fang.h"

#include "platform/Accessibility.h"
#include "compat/Colors.h"
#include "compat/Palette.h"
#include "compat/CommandButton.h"
#include "compat/Fonts.h"
#include "compat/HScrollBar.h"
#include "compat/Label.h"
#include "compat/PictureBox.h"
#include "compat/Shape.h"

#include <QScrollBar>
#include <QTimer>

namespace {

Form::Settings WindowSettings()
{
    Form::Settings s;
    s.caption = QStringLiteral("Dudazazor");
    s.clientWidth = 7395;
    s.clientHeight = 6015;
    s.backColor = kLightGreen;
    s.foreColor = Bgr(0x00000000);
    s.font = DesignFont(kSansSerif, 13.5, true);
    s.keyPreview = true;
    s.persistentDrawing = true;
    s.iconName = QStringLiteral("app.xpm");
    return s;
}

// The white frames behind the time display and the speed setting.
Shape* MakeFrame(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    auto* frame = new Shape(parent, QString::fromLatin1(name), left, top, width, height);
    frame->SetBorderColor(kGrey, 2);
    frame->SetFill(kWhite);
    return frame;
}

// The small captions inside the frames.
Label* MakeSmallLabel(QWidget* parent, const char* name, int left, int top, int width, const QString& caption,
                      const QColor& back, Qt::Alignment alignment)
{
    auto* label = new Label(parent, QString::fromLatin1(name), left, top, width, 255);
    label->SetCaption(caption);
    label->SetBackColor(back);
    label->SetForeColor(SystemWindowText());
    label->SetDesignFont(kSansSerif, 8.25, true);
    label->SetAlignment(alignment);
    return label;
}

CommandButton* MakeButton(QWidget* parent, const char* name, int left, const QString& caption)
{
    auto* button = new CommandButton(parent, QString::fromLatin1(name), left, 120, 975, 495);
    button->SetCaption(caption);
    button->SetDesignFont(kSansSerif, 9.75, true);
    return button;
}

// The three boxes of the bottom row, which read as one line of text.
Label* MakeTextBox(QWidget* parent, const char* name, int left, int width, std::uint32_t back, std::uint32_t fore,
                   Qt::Alignment alignment)
{
    auto* label = new Label(parent, QString::fromLatin1(name), left, 5400, width, 495);
    label->SetBackColor(Bgr(back));
    label->SetForeColor(Bgr(fore));
    label->SetDesignFont(kSansSerif, 18, true);
    label->SetBorder(Border::Single);
    label->SetAlignment(alignment);
    return label;
}

} // namespace

fang::fang() : Form(WindowSettings())
{
    BuildLayout();
    ConnectEvents();
    InstallKeyPreview();
}

void fang::BuildLayout()
{
    // The frames come first so that they lie beneath the labels in front of them.
    Figur3 = MakeFrame(this, "Figur3", 1200, 120, 1215, 495);
    Figur1 = MakeFrame(this, "Figur1", 2520, 120, 3135, 495);
    Figur2 = MakeFrame(this, "Figur2", 5640, 120, 495, 495);

    Befehl1 = MakeButton(this, "Befehl1", 120, QStringLiteral("ENDE"));

    Bezeichnung6 = MakeSmallLabel(this, "Bezeichnung6", 1320, 240, 495, QStringLiteral("0"), kWhite, Qt::AlignRight);
    Bezeichnung7 =
        MakeSmallLabel(this, "Bezeichnung7", 1800, 240, 465, QStringLiteral(" Sek"), kWhite, Qt::AlignHCenter);
    Bezeichnung1 =
        MakeSmallLabel(this, "Bezeichnung1", 2640, 240, 735, QStringLiteral("schnell"), kWhite, Qt::AlignLeft);

    HBildlauf1 = new HScrollBar(this, QStringLiteral("HBildlauf1"), 3360, 240, 1335, 255);
    HBildlauf1->SetMin(3);
    HBildlauf1->SetMax(15);
    HBildlauf1->SetValue(10);
    HBildlauf1->SetSmallChange(1);
    HBildlauf1->SetLargeChange(1);

    Bezeichnung2 =
        MakeSmallLabel(this, "Bezeichnung2", 4800, 240, 735, QStringLiteral("langsam"), kWhite, Qt::AlignRight);
    Bezeichnung9 = MakeSmallLabel(this, "Bezeichnung9", 5760, 240, 255, QStringLiteral("10"),
                                  SystemWindowBackground(), Qt::AlignRight);

    Befehl2 = MakeButton(this, "Befehl2", 6240, QStringLiteral("HILFE"));

    Bild5 = new PictureBox(this, QStringLiteral("Bild5"), 120, 720, 7095, 4575);
    Bild5->SetBackColor(SystemWindowBackground());
    Bild5->SetForeColor(SystemWindowText());
    Bild5->SetDesignFont(kSansSerif, 18, true);
    Bild5->SetBorder(Border::Single);
    Bild5->setFocusPolicy(Qt::StrongFocus);
    // The drawing surface takes the field's font and text colour as they are now.
    Bild5->EnableDrawing();

    // The catcher lies in front of the field; clicks on it reach the field.
    Bezeichnung8 = new Label(Bild5, QStringLiteral("Bezeichnung8"), 3480, 3960, 255, 375);
    Bezeichnung8->SetCaption(QStringLiteral("+"));
    Bezeichnung8->SetForeColor(kRed);
    Bezeichnung8->SetTransparent(true);
    Bezeichnung8->SetDesignFont(kSansSerif, 18, true);
    Bezeichnung8->SetAlignment(Qt::AlignHCenter);
    Bezeichnung8->setAttribute(Qt::WA_TransparentForMouseEvents);
    Bezeichnung8->SetVisible(false);

    Bezeichnung4 = MakeTextBox(this, "Bezeichnung4", 120, 3375, 0x00C0FFC0, 0x0000C000, Qt::AlignRight);
    Bezeichnung3 = MakeTextBox(this, "Bezeichnung3", 3480, 495, 0x00C0C0FF, 0x000000FF, Qt::AlignHCenter);
    Bezeichnung5 = MakeTextBox(this, "Bezeichnung5", 3960, 3255, 0x00FFFFC0, 0x00FF0000, Qt::AlignLeft);

    Zeit1 = new QTimer(this);
    Zeit1->setObjectName(QStringLiteral("Zeit1"));
    Zeit1->setInterval(1000);

    // The focus order of the tab indices: quit, speed, help, field.
    setTabOrder(Befehl1, HBildlauf1->Widget());
    setTabOrder(HBildlauf1->Widget(), Befehl2);
    setTabOrder(Befehl2, Bild5);

    // What each control does, for screen readers and as a tooltip.
    Describe(Befehl1, QStringLiteral("Spiel beenden"), QStringLiteral("Spiel beenden"));
    Describe(Befehl2, QStringLiteral("Hilfe zum Spiel"), QStringLiteral("Hilfe zum Spiel"));
    // No tooltip over the field: it would pop up over the running game.
    Describe(Bild5, QStringLiteral("Spielfeld: zum Starten klicken"), QString());
    Describe(HBildlauf1, QStringLiteral("Geschwindigkeit"),
             QStringLiteral("Geschwindigkeit: links schnell, rechts langsam"));
}

void fang::ConnectEvents()
{
    connect(Befehl1, &CommandButton::Click, this, &fang::Befehl1_Click);
    connect(Befehl2, &CommandButton::Click, this, &fang::Befehl2_Click);
    connect(HBildlauf1, &HScrollBar::Change, this, &fang::HBildlauf1_Change);
    connect(HBildlauf1, &HScrollBar::Scroll, this, &fang::HBildlauf1_Scroll);
    connect(Bild5, &PictureBox::Click, this, &fang::Bild5_Click);
    connect(Zeit1, &QTimer::timeout, this, &fang::Zeit1_Timer);
}
