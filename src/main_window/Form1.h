#pragma once
// The main window: the practice table drawn on its surface, the operation
// menu, the red input field, the counters and the toolbar. Its handlers and
// procedures are spread over the files of this folder by topic; its layout
// (every control with its place, colours and font) is in Form1Layout.cpp.

#include "compat/Form.h"

class FileListBox;
class Label;
class ListBox;
class PictureBox;
class Shape;

class Form1 : public Form {
    Q_OBJECT
public:
    Form1();

    // Controls, named as in the layout.
    Shape* Figur1 = nullptr;
    Shape* Figur3 = nullptr;
    PictureBox* Bild1 = nullptr;
    PictureBox* Bild2 = nullptr;
    PictureBox* Bild3 = nullptr;
    PictureBox* Bild12 = nullptr;
    PictureBox* Bild15 = nullptr;
    Label* Bezeichnung1 = nullptr;
    PictureBox* Bild9 = nullptr;
    ListBox* Liste1 = nullptr;
    Label* Bezeichnung2 = nullptr;
    PictureBox* Bild10 = nullptr;
    Label* Bezeichnung5 = nullptr;
    PictureBox* Bild11 = nullptr;
    Label* Bezeichnung4 = nullptr;
    PictureBox* Bild8 = nullptr;
    PictureBox* Bild4 = nullptr;
    PictureBox* Bild5 = nullptr;
    PictureBox* Bild6 = nullptr;
    PictureBox* Bild7 = nullptr;
    PictureBox* Bild14 = nullptr;
    PictureBox* Bild13 = nullptr;
    Label* Bezeichnung3 = nullptr;
    FileListBox* Datei1 = nullptr;

    // Window events.
    void Form_Load() override;
    void Form_Activate() override;
    void Form_KeyDown(int keyCode, int shift) override;
    void Form_TitleBarClose() override;

    // Control events.
    void Liste1_Click();
    void Bild1_Click();
    void Bild2_Click();
    void Bild3_Click();
    void Bild8_Click();
    void Bild9_Click();
    void Bild10_Click();
    void Bild11_Click();
    void Bild12_Click();
    void Bild13_Click();
    void Bild13_DblClick();
    void Bild15_Click();
    void Bezeichnung1_Click();
    void Datei1_Click();

    // Procedures.
    // Loads the row file `name` (a name in the working directory or a path)
    // as a click on it in the file list does, message and all.
    void OpenTableFile(const QString& name);
    void FillOperationMenu();
    void SetUpTask();
    void DrawTable();
    void GenerateRows();
    void CheckReward();

private:
    void BuildLayout();
    void ConnectEvents();
    // The pieces of the table that DrawTable and GenerateRows share.
    void DrawHeads();
    void DrawCell(int column, int line);
    void DrawAnswerBox(int line);
    // Moves the input field beside the current line.
    void PlaceInputField();
};
