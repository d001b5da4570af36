// Placeholder until the operation switch lands.
#include "main_window/Form1.h"
void Form1::Bild8_Click() {}
void Form1::Bild2_Click() {}
