#pragma once
// Common-control classes, registered for a dialog before it is created. The program's
// start-up registers the Windows 95 classes; a dialog that holds a control of another
// class (a date and time picker, for instance) gets it registered here, from the class
// names its template gives, so that the dialog never fails to create for want of a class.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

// The ICC_ flags that register the named classes; 0 when none of them is a common control.
DWORD CommonControlClassesFor(const std::vector<std::string>& classNames);

// Registers what the dialog template `templateId` of `instance` needs. A template that
// cannot be found registers nothing (the dialog's creation then fails on its own).
void AfxRegisterDialogControlClasses(HINSTANCE instance, UINT templateId);

// The registration call, InitCommonControlsEx unless a test has put another in its place.
using InitCommonControlsFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
// Returns the previous one.
InitCommonControlsFunction AfxSetInitCommonControls(InitCommonControlsFunction function);
