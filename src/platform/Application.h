#pragma once
// What every start of the program needs before the first window: the font
// substitutes, the compiled-in pictures, Qt's German texts, and windows that
// are only hidden never ending the program on their own.

class QApplication;

void PrepareApplication(QApplication& app);
