#pragma once
// The row editor: the row table shown as seven column lists that can be
// overwritten value by value from the keyboard, cleared to "0", saved as a
// row file and loaded from one. Its three option buttons also hold how often
// the main window shows the minus hint. Its layout is in Form2Layout.cpp.

#include "compat/Form.h"

#include <array>

class FileListBox;
class Frame;
class Label;
class ListBox;
class OptionButton;
class PictureBox;
class Shape;
class TextBox;

class Form2 : public Form {
    Q_OBJECT
public:
    Form2();

    // Controls, named as in the layout.
    Shape* Figur1 = nullptr;
    Shape* Figur2 = nullptr;
    PictureBox* Bild1 = nullptr;
    PictureBox* Bild2 = nullptr;
    PictureBox* Bild3 = nullptr;
    FileListBox* Datei1 = nullptr;
    Label* Bezeichnung9 = nullptr;
    TextBox* Text1 = nullptr;
    Label* Bezeichnung8 = nullptr;
    Label* Bezeichnung1 = nullptr;
    Label* Bezeichnung2 = nullptr;
    Label* Bezeichnung3 = nullptr;
    Label* Bezeichnung4 = nullptr;
    Label* Bezeichnung5 = nullptr;
    Label* Bezeichnung6 = nullptr;
    Label* Bezeichnung7 = nullptr;
    ListBox* Liste1 = nullptr;
    ListBox* Liste2 = nullptr;
    ListBox* Liste3 = nullptr;
    ListBox* Liste4 = nullptr;
    ListBox* Liste5 = nullptr;
    ListBox* Liste6 = nullptr;
    ListBox* Liste7 = nullptr;
    Frame* Rahmen1 = nullptr;
    OptionButton* Option1 = nullptr;
    OptionButton* Option2 = nullptr;
    OptionButton* Option3 = nullptr;

    // The column list of table column k, 1 (a) to 7 (g).
    ListBox* ListeAt(int k) const;

    // Window events.
    void Form_Load() override;
    void Form_Activate() override;
    void Form_KeyDown(int keyCode, int shift) override;
    void Form_TitleBarClose() override;

    // Control events.
    void Liste1_Click();
    void Liste2_Click();
    void Liste3_Click();
    void Liste4_Click();
    void Liste5_Click();
    void Liste6_Click();
    void Liste7_Click();
    void Bezeichnung9_Change();
    void Bild1_Click();
    void Bild2_Click();
    void Bild3_Click();
    void Datei1_Click();

    // Procedures.
    // Loads the row file `name` (a name in the working directory or a path)
    // as a click on it in the file list does, message and all.
    void OpenTableFile(const QString& name);
    void UnmarkLists();

private:
    void BuildLayout();
    void ConnectEvents();
    // What every Liste<n>_Click does for list n.
    void MarkList(int n);
};
