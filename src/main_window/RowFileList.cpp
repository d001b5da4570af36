// Placeholder until row files land.
#include "main_window/Form1.h"
void Form1::Bild13_Click() {}
void Form1::Bild13_DblClick() {}
void Form1::Datei1_Click() {}
