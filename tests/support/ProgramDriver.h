#pragma once
// Drives a running Sondrel's windows from another process, as a user's clicks and choices
// do: the messages a click or a list choice sends to the dialog.
#ifdef _WIN32
#include <windows.h>

#include <string>

// Clicks button `id` of `dialog` and returns when the program has handled the click; false
// when it did not within `timeoutMs` (a message box or a modal dialog is open).
bool ClickButton(HWND dialog, int id, unsigned timeoutMs = 20000);
// Clicks button `id` without waiting: for buttons that open a modal dialog.
void PostClick(HWND dialog, int id);
// Chooses the entry `text` of combo box `id` and tells the dialog; false when it is not listed.
bool ChooseComboEntry(HWND dialog, int id, const std::string& text);
// A window's text, read without hanging on a busy program (of this process or another).
std::string WindowText(HWND hwnd);
// A visible dialog of process `processId` other than `except`, waiting up to `timeoutMs`.
HWND WaitForOtherDialog(DWORD processId, HWND except, unsigned timeoutMs = 10000);
#endif
