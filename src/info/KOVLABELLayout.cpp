// The info window's layout: every control with its place and size in twips,
// colours, font, caption and picture, and the wiring of the two close targets.

#include "info/KOVLABEL.h"

#include "platform/Accessibility.h"
#include "compat/Colors.h"
#include "compat/Palette.h"
#include "compat/Fonts.h"
#include "compat/Label.h"
#include "compat/Picture.h"
#include "compat/PictureBox.h"
#include "compat/Shape.h"

namespace {

Form::Settings WindowSettings()
{
    Form::Settings s;
    s.caption = QStringLiteral("Programm-Info");
    s.clientWidth = 3510;
    s.clientHeight = 3450;
    s.backColor = kPaleGreen;
    s.foreColor = SystemWindowText();
    s.font = DesignFont(kSansSerif, 8.25, true);
    s.keyPreview = false;
    s.persistentDrawing = false;
    s.iconName = QStringLiteral("app.xpm");
    return s;
}

// One piece of the logo on the dark green strip.
Label* MakeLogoLabel(QWidget* parent, const char* name, int left, int width, const QString& caption,
                     const QColor& textColor, Qt::Alignment alignment)
{
    auto* label = new Label(parent, QString::fromLatin1(name), left, 240, width, 495);
    label->SetCaption(caption);
    label->SetBackColor(kDarkGreen);
    label->SetForeColor(textColor);
    label->SetDesignFont(kSansSerif, 18, true);
    label->SetAlignment(alignment);
    return label;
}

} // namespace

KOVLABEL::KOVLABEL() : Form(WindowSettings())
{
    BuildLayout();
    ConnectEvents();
}

void KOVLABEL::BuildLayout()
{
    // The panel comes first so that it lies beneath every label.
    Figur1 = new Shape(this, QStringLiteral("Figur1"), 120, 120, 3255, 2895);
    Figur1->SetBorderColor(kDarkGreen, 2);
    Figur1->SetFill(kLightGreen);

    Bezeichnung2 = MakeLogoLabel(this, "Bezeichnung2", 240, 375, QStringLiteral("R"), Bgr(0x00FF00FF),
                                 Qt::AlignHCenter);
    Bezeichnung3 = MakeLogoLabel(this, "Bezeichnung3", 600, 375, QStringLiteral("e"), Bgr(0x00FFFF00),
                                 Qt::AlignHCenter);
    Bezeichnung4 = MakeLogoLabel(this, "Bezeichnung4", 960, 495, QStringLiteral("c"), kLightGreen,
                                 Qt::AlignHCenter);
    Bezeichnung5 = MakeLogoLabel(this, "Bezeichnung5", 1440, 1815, QStringLiteral("henkov"), Bgr(0x00FFFFFF),
                                 Qt::AlignLeft);

    Bezeichnung6 = new Label(this, QStringLiteral("Bezeichnung6"), 240, 840, 3015, 975);
    Bezeichnung6->SetBackColor(kLightGreen);
    Bezeichnung6->SetForeColor(Bgr(0x00000000));
    Bezeichnung6->SetDesignFont(kSansSerif, 8.25, false);
    Bezeichnung6->SetAlignment(Qt::AlignLeft);
    Bezeichnung6->SetWordWrap(true);

    Bezeichnung7 = new Label(this, QStringLiteral("Bezeichnung7"), 240, 1800, 3015, 495);
    Bezeichnung7->SetBackColor(kLightGreen);
    Bezeichnung7->SetForeColor(Bgr(0x00004000));
    Bezeichnung7->SetDesignFont(kSansSerif, 9.75, false);
    Bezeichnung7->SetBorder(Border::Single);
    Bezeichnung7->SetAlignment(Qt::AlignHCenter);
    Bezeichnung7->SetWordWrap(true);

    Bezeichnung1 = new Label(this, QStringLiteral("Bezeichnung1"), 240, 2400, 2175, 495);
    Bezeichnung1->SetCaption(QStringLiteral("O k a y"));
    Bezeichnung1->SetBackColor(kLightGreen);
    Bezeichnung1->SetForeColor(Bgr(0x000000FF));
    Bezeichnung1->SetDesignFont(kSansSerif, 18, true, true);
    Bezeichnung1->SetAlignment(Qt::AlignHCenter);

    Bild1 = new PictureBox(this, QStringLiteral("Bild1"), 2400, 2400, 855, 495);
    Bild1->SetBackColor(kLightGreen);
    Bild1->SetBorder(Border::Single);
    Bild1->SetPicture(LoadPicture(QStringLiteral("okaysign.xpm")));

    Bezeichnung8 = new Label(this, QStringLiteral("Bezeichnung8"), 120, 3120, 3255, 255);
    Bezeichnung8->SetBackColor(kPaleGreen);
    Bezeichnung8->SetForeColor(SystemWindowText());
    Bezeichnung8->SetCaption(QStringLiteral("www.example.org/rechenkov"));
    Bezeichnung8->setFont(font());
    Bezeichnung8->SetAlignment(Qt::AlignHCenter);

    // The close picture has tab index 0 and is the only control that takes the focus.
    SetTabOrder({Bild1});

    // Both close targets say so to screen readers and as a tooltip.
    Describe(Bild1, QStringLiteral("Info schließen"), QStringLiteral("Info schließen"));
    Describe(Bezeichnung1, QStringLiteral("Info schließen"), QStringLiteral("Info schließen"));
}

void KOVLABEL::ConnectEvents()
{
    connect(Bild1, &PictureBox::Click, this, &KOVLABEL::Bild1_Click);
    connect(Bezeichnung1, &Label::Click, this, &KOVLABEL::Bezeichnung1_Click);
}
