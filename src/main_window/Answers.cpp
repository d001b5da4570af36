// Placeholder until answer entry lands.
#include "main_window/Form1.h"
void Form1::Form_KeyDown(int, int) {}
void Form1::CheckReward() {}
