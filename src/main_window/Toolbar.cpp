// The toolbar and the two face buttons of the main window: quitting, the
// print question, the info window, the reward and help messages, and the
// user's name.

#include "main_window/Form1.h"

#include "compat/Dialogs.h"
#include "compat/Label.h"
#include "table/MODUL1.h"
#include "platform/Platform.h"
#include "compat/Windows.h"
#include "record/Recording.h"
#include "info/KOVLABEL.h"
#include "print/PrintTable.h"

#include <QStringList>

namespace {

// Lines joined by a single carriage return, each one ended by it.
QString MessageText(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines)
        text += line + CR;
    return text;
}

// The leading whole number of a caption, reduced modulo 18 (0 when the
// caption starts with no number). Reducing digit by digit keeps any length
// of caption from overflowing.
int LeadingNumberMod18(const QString& caption)
{
    int i = 0;
    while (i < caption.size() && caption[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < caption.size() && (caption[i] == QLatin1Char('-') || caption[i] == QLatin1Char('+'))) {
        negative = caption[i] == QLatin1Char('-');
        ++i;
    }
    int rest = 0;
    for (; i < caption.size() && caption[i] >= QLatin1Char('0') && caption[i] <= QLatin1Char('9'); ++i)
        rest = (rest * 10 + (caption[i].unicode() - '0')) % 18;
    return negative ? (18 - rest) % 18 : rest;
}

} // namespace

void Form1::Bezeichnung1_Click()
{
    // Cancel gives an empty answer, which keeps the old name.
    const QString name = InputBox(QStringLiteral("Neuer Benutzer:"), QStringLiteral("Eingabe"), QString());
    if (!name.isEmpty()) {
        Bezeichnung1->SetCaption(name);
        history::RememberName(name);
    }
}

void Form1::Bild1_Click()
{
    if (MsgBox(QStringLiteral("Das Programm beenden?") + CR, MsgStyle::YesNoStop, QStringLiteral("Rechenkov")) !=
        MsgResult::No) {
        history::CloseRecord();
        Platform::EndProcess();
    }
}

// The close box and Alt+F4 ask before ending the program, like the quit button.
void Form1::Form_TitleBarClose() { Bild1_Click(); }

void Form1::Bild3_Click()
{
    if (MsgBox(QStringLiteral("Die Tabelle jetzt ausdrucken?") + CR, MsgStyle::YesNoQuestion,
               QStringLiteral("Drucken")) != MsgResult::No)
        MODUL1::PrintTable();
}

void Form1::Bild9_Click()
{
    Hide();
    Instance<KOVLABEL>().Show();
}

void Form1::Bild10_Click()
{
    MsgBox(QStringLiteral("Nach 2 Reihen gibt es eine Belohnung!") + CR, MsgStyle::OkOnly,
           QStringLiteral("Spielrunde"));
}

void Form1::Bild11_Click()
{
    // Every 18th correct answer earns the game; this is how many are left.
    const int remaining = 18 - LeadingNumberMod18(Bezeichnung5->Caption());
    MsgBox(QStringLiteral("Du musst noch ") + QString::number(remaining) + QStringLiteral(" Aufgaben rechnen!") + CR,
           MsgStyle::OkOnly, QStringLiteral("Aufgaben"));
}

void Form1::Bild12_Click()
{
    MsgBox(MessageText({
               QStringLiteral("Du musst immer die beiden rot umrandeten"),
               QStringLiteral("Kästchen in einer Zeile berechnen. Mit dem"),
               QStringLiteral("roten Knopf kannst du die Rechenart jeweils"),
               QStringLiteral("auf Plus-Minus-Mal einstellen. Die möglichen"),
               QStringLiteral("Rechenreihen werden dir in der Menüspalte"),
               QStringLiteral("am linken Rand gezeigt und dort ausgewählt."),
               QStringLiteral("Durch Anklicken des PC-Symbols kannst du"),
               QStringLiteral("wieder neue Rechenreihen erstellen lassen."),
               QString(),
               QStringLiteral("ACHTUNG:  Bei allen Minusaufgaben gilt die"),
               QStringLiteral("Regel:  G r o ß e   Z a h l   minus kleine Zahl!"),
               QString(),
           }),
           MsgStyle::OkOnly, QStringLiteral("Hilfe"));
}

void Form1::Bild15_Click()
{
    MsgBox(MessageText({
               QStringLiteral("Die Zahleingaben werden über die Tastatur"),
               QStringLiteral("vorgenommen. Mit ENTER/RETURN wird die"),
               QStringLiteral("Eingabe abgeschlossen. Mit der ENTF-Taste"),
               QStringLiteral("wird das gesamte Eingabefeld gelöscht und"),
               QStringLiteral("mit der Einzel-Löschtaste (Linkspfeil über"),
               QStringLiteral("der Return-Taste) wird eine einzelne Ziffer"),
               QStringLiteral("gelöscht."),
               QString(),
           }),
           MsgStyle::OkOnly, QStringLiteral("Tasten"));
}
