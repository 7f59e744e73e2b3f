#pragma once
// Every message the program shows goes through these four kinds of box. Each first forces
// the main window to the foreground, so a box raised by a schedule, a graph event or while
// the window is hidden in the notification area is never left behind other windows. The
// caption is the application's name. The second form of each takes a string-table id.
#include <windows.h>

void ShowWarningBox(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ShowErrorBox(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ShowInfoBox(const char* format, ...) __attribute__((format(printf, 1, 2)));
// IDYES or IDNO.
int AskYesNoBox(const char* format, ...) __attribute__((format(printf, 1, 2)));

void ShowWarningBox(UINT stringId, ...);
void ShowErrorBox(UINT stringId, ...);
void ShowInfoBox(UINT stringId, ...);
int AskYesNoBox(UINT stringId, ...);
