#include "ui/main/WindowUtilities.h"

#include "framework/WinApp.h"
#include "ui/main/WindowsVersion.h"

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

int GetWindowsVersionClass() {
  const DWORD packed = ::GetVersion();
  // The full version is read only where it decides the class.
  if ((packed & 0x80000000u) && LOBYTE(LOWORD(packed)) < 4) return 0;
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  const bool known = ::GetVersionExA(&info) != FALSE;
  return ClassifyWindowsVersion(packed, known, info.dwMajorVersion, info.dwMinorVersion);
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
