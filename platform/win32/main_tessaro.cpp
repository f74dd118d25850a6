// Entry of Tessaro.exe (GUI subsystem): the dialogs and the console mode.
#include <windows.h>

#include "app/CTessaroApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) { return TessaroMain(arguments ? arguments : ""); }
