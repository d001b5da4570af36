#pragma once
// The reward game "Dudazazor": the digits to catch are printed at random
// cells of the playing field, the child steers a red "+" with the arrow keys
// and catches them in order while a clock counts the seconds; every few
// seconds (the speed setting) the remaining digits jump. When all are caught
// or the child quits, the game hides itself and the main window returns.
// Its layout is in fangLayout.cpp.

#include "compat/Form.h"

class CommandButton;
class HScrollBar;
class Label;
class PictureBox;
class Shape;
class QTimer;

class fang : public Form {
    Q_OBJECT
public:
    fang();

    // Controls, named as in the layout.
    CommandButton* Befehl1 = nullptr;
    Shape* Figur3 = nullptr;
    Label* Bezeichnung6 = nullptr;
    Label* Bezeichnung7 = nullptr;
    Shape* Figur1 = nullptr;
    Label* Bezeichnung1 = nullptr;
    HScrollBar* HBildlauf1 = nullptr;
    Label* Bezeichnung2 = nullptr;
    Shape* Figur2 = nullptr;
    Label* Bezeichnung9 = nullptr;
    CommandButton* Befehl2 = nullptr;
    PictureBox* Bild5 = nullptr;
    Label* Bezeichnung8 = nullptr;
    Label* Bezeichnung4 = nullptr;
    Label* Bezeichnung3 = nullptr;
    Label* Bezeichnung5 = nullptr;
    QTimer* Zeit1 = nullptr;

    // Window events.
    void Form_Load() override;
    void Form_Activate() override;
    void Form_KeyDown(int keyCode, int shift) override;
    void Form_TitleBarClose() override;

    // Control events.
    void Bild5_Click();
    void Zeit1_Timer();
    void HBildlauf1_Change();
    void HBildlauf1_Scroll();
    void Befehl1_Click();
    void Befehl2_Click();

    // Procedures.
    void ClearField();
    void ScatterCharacters();
    void DrawCharacters();
    void CheckCatch();
    void MoveUp();
    void MoveDown();
    void MoveLeft();
    void MoveRight();
    void FinishGame();
    void EndGame();

private:
    void BuildLayout();
    void ConnectEvents();
    // Prints one character with its top-left corner at the corner of a cell.
    void PrintAtCell(QChar character, int column, int line);
};
