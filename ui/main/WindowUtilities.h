#pragma once
#include <windows.h>

#include <string>

// Brings `window` to the foreground even when another program's window has the input:
// outside the Windows 95 family the two input queues are joined for the moment it takes.
void ForceForegroundWindow(HWND window);

// 0 to 8: the family and version of Windows (see the table in the .cpp file).
int GetWindowsVersionClass();

// Enables or disables the window's direct children (not their children).
void EnableChildWindows(HWND window, bool enable);

// The user's documents folder through shfolder.dll; empty when it cannot be had.
std::string GetDefaultRecordingFolder();

// A string of the program's string table; empty when there is none.
std::string LoadProgramString(UINT id);
