#pragma once
// The system calls of the main window whose effects a test cannot see under Wine: the
// notification area, the system's sleep state and the speaker. The main window makes them
// through this table, which holds the system's own functions unless a test has put
// recording stand-ins in their place.
#include <windows.h>
#include <shellapi.h>

struct SystemCalls {
  BOOL(WINAPI* notifyIcon)(DWORD message, PNOTIFYICONDATAA data);
  EXECUTION_STATE(WINAPI* setThreadExecutionState)(EXECUTION_STATE flags);
  BOOL(WINAPI* beep)(DWORD frequency, DWORD milliseconds);
};

SystemCalls& TheSystemCalls();
