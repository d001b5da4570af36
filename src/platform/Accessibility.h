#pragma once
// What a screen reader speaks and a mouse pointer shows for a control: its
// accessible name and its tooltip. Controls that wrap a Qt widget which takes
// the keyboard focus (lists, scroll bars, option buttons) pass both on to
// that widget too, since a screen reader announces the focused widget.

class Control;
class HScrollBar;
class ListBox;
class OptionButton;
class QString;
class QWidget;

void Describe(QWidget* widget, const QString& name, const QString& toolTip);
void Describe(ListBox* list, const QString& name, const QString& toolTip);
void Describe(HScrollBar* bar, const QString& name, const QString& toolTip);
void Describe(OptionButton* option, const QString& name, const QString& toolTip);

// Lets screen readers read a label's caption: as its value (the digits typed
// into the input field), and as its name when the label has none of its own
// (the texts of the info window). Controls right of a window's client area
// are left out of what screen readers see. Installed once at start-up.
void InstallLabelAccessibility();
