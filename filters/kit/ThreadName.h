#pragma once
// Names the calling thread for debuggers, crash dumps and profilers; under Wine the name is
// also the Linux thread's, so that its CPU can be told apart from Wine's own threads. Only
// Windows 10 (1607) and later can name threads: elsewhere this does nothing.
#include <windows.h>

inline void NameThisThread(const wchar_t* name) {
  using SetThreadDescriptionFunction = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto set = kernel ? reinterpret_cast<SetThreadDescriptionFunction>(
                                reinterpret_cast<void*>(::GetProcAddress(kernel, "SetThreadDescription")))
                          : nullptr;
  if (set) set(::GetCurrentThread(), name);
}
