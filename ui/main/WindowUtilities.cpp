#include "ui/main/WindowUtilities.h"

#include "framework/WinApp.h"

void ForceForegroundWindow(HWND window) {
  const int version = GetWindowsVersionClass();
  if (version >= 2 && version <= 4) {
    ::SetForegroundWindow(window);
    return;
  }
  const DWORD foregroundThread = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
  const DWORD targetThread = ::GetWindowThreadProcessId(window, nullptr);
  ::AttachThreadInput(foregroundThread, targetThread, TRUE);
  ::SetForegroundWindow(window);
  ::SetFocus(window);
  ::AttachThreadInput(foregroundThread, targetThread, FALSE);
}

// | class | version                                  |
// | 0     | not NT, major version below 4            |
// | 1     | NT, any version not listed               |
// | 2     | not NT, 4.x other than 4.10 and 4.90     |
// | 3, 4  | not NT, 4.10 and 4.90                    |
// | 5..8  | NT 4.x, 5.0, 5.1, 6.0                    |
int GetWindowsVersionClass() {
  const DWORD packed = ::GetVersion();
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (packed & 0x80000000u) {
    if (LOBYTE(LOWORD(packed)) < 4) return 0;
    if (!::GetVersionExA(&info)) return 2;
    if (info.dwMajorVersion == 4 && info.dwMinorVersion == 10) return 3;
    if (info.dwMajorVersion == 4 && info.dwMinorVersion == 90) return 4;
    return 2;
  }
  if (!::GetVersionExA(&info)) return 1;
  if (info.dwMajorVersion == 4) return 5;
  if (info.dwMajorVersion == 5 && info.dwMinorVersion == 0) return 6;
  if (info.dwMajorVersion == 5 && info.dwMinorVersion == 1) return 7;
  if (info.dwMajorVersion == 6 && info.dwMinorVersion == 0) return 8;
  return 1;
}

void EnableChildWindows(HWND window, bool enable) {
  for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    ::EnableWindow(child, enable);
  }
}

std::string GetDefaultRecordingFolder() {
  char folder[MAX_PATH] = {};
  HMODULE library = ::LoadLibraryA("shfolder.dll");
  if (library == nullptr) return {};
  using GetFolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
  const auto getFolderPath =
      reinterpret_cast<GetFolderPath>(reinterpret_cast<void*>(::GetProcAddress(library, "SHGetFolderPathA")));
  if (getFolderPath != nullptr) getFolderPath(nullptr, 5 /* CSIDL_PERSONAL */, nullptr, 0, folder);
  ::FreeLibrary(library);
  return folder;
}

std::string LoadProgramString(UINT id) {
  char text[1024] = {};
  ::LoadStringA(AfxGetInstanceHandle(), id, text, sizeof text);
  return text;
}
