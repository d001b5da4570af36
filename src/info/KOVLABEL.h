#pragma once
// The info window: the product's name as a small coloured logo, the terms of
// distribution, the author and contact lines and the web address. It puts
// itself back in its place and fills in its texts at every repaint; its two
// close targets hand back to the main window. The layout is in KOVLABELLayout.cpp.

#include "compat/Form.h"

class Label;
class PictureBox;
class Shape;

class KOVLABEL : public Form {
    Q_OBJECT
public:
    KOVLABEL();

    // Controls, named as in the layout.
    Shape* Figur1 = nullptr;
    Label* Bezeichnung2 = nullptr;
    Label* Bezeichnung3 = nullptr;
    Label* Bezeichnung4 = nullptr;
    Label* Bezeichnung5 = nullptr;
    Label* Bezeichnung6 = nullptr;
    Label* Bezeichnung7 = nullptr;
    Label* Bezeichnung1 = nullptr;
    PictureBox* Bild1 = nullptr;
    Label* Bezeichnung8 = nullptr;

    // Window events.
    void Form_Paint() override;
    void Form_TitleBarClose() override;

    // Control events.
    void Bild1_Click();
    void Bezeichnung1_Click();

private:
    void BuildLayout();
    void ConnectEvents();
};
