#include <windows.h>

#include "app/SondrelApp.h"

CSondrelApp theApp;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return AfxWinMain(instance); }
