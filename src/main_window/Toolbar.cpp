// Placeholder until the toolbar lands.
#include "main_window/Form1.h"
void Form1::Bild1_Click() {}
void Form1::Bild3_Click() {}
void Form1::Bild9_Click() {}
void Form1::Bild10_Click() {}
void Form1::Bild11_Click() {}
void Form1::Bild12_Click() {}
void Form1::Bild15_Click() {}
void Form1::Bezeichnung1_Click() {}
void Form1::Form_TitleBarClose() {}
