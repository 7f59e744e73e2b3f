#include <windows.h>

#include "app/SondrelApp.h"
#include "diag/DbgContext.h"

// Static objects of one file are constructed in the order they are defined: the first
// diagnostics context (report path, symbol engine, crash filter) comes before the
// application object, the second after it.
__dbg_util::dbg_context theDiagnostics;
CSondrelApp theApp;
__dbg_util::dbg_context theLateDiagnostics;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return AfxWinMain(instance); }
