#include "support/ProcessResources.h"

#ifdef _WIN32
#include <windows.h>
#include <tlhelp32.h>

#include <winternl.h>

#include <cstdio>

namespace {

// The object type of a kernel handle ("Event", "Key" ...), from NtQueryObject.
std::string HandleType(HANDLE handle) {
  using QueryObject = NTSTATUS(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  static const auto query = reinterpret_cast<QueryObject>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryObject")));
  constexpr int kObjectTypeInformation = 2;
  alignas(8) unsigned char buffer[1024];
  ULONG length = 0;
  if (!query || query(handle, kObjectTypeInformation, buffer, sizeof buffer, &length) != 0) return "unknown";
  const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer);
  std::string text;
  for (USHORT i = 0; i < name->Length / 2; ++i) text += char(name->Buffer[i]);
  return text;
}

}  // namespace

ProcessResources ProcessResources::Now() {
  ProcessResources now;
  const HANDLE self = ::GetCurrentProcess();
  // Wine's GetProcessHandleCount says 0: probe every handle value instead (kernel handles
  // are multiples of 4, handed out lowest first).
  for (uintptr_t value = 4; value < 0x10000; value += 4) {
    DWORD flags = 0;
    if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
      ++now.handles;
      ++now.handlesByType[HandleType(reinterpret_cast<HANDLE>(value))];
    }
  }
  now.gdiObjects = long(::GetGuiResources(self, GR_GDIOBJECTS));
  now.userObjects = long(::GetGuiResources(self, GR_USEROBJECTS));
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot != INVALID_HANDLE_VALUE) {
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
      if (entry.th32OwnerProcessID == ::GetCurrentProcessId()) ++now.threads;
    }
    ::CloseHandle(snapshot);
  }
  // Wine leaves PrivateUsage at 0: add up the committed private regions of the address space.
  MEMORY_BASIC_INFORMATION region{};
  for (const char* at = nullptr; ::VirtualQuery(at, &region, sizeof region) == sizeof region;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) now.privateBytes += int64_t(region.RegionSize);
  }
  return now;
}

std::string ProcessResources::Describe() const {
  std::string types;
  for (const auto& [type, count] : handlesByType) types += (types.empty() ? "" : ", ") + type + " " + std::to_string(count);
  char text[160];
  std::snprintf(text, sizeof text, "), GDI %ld, USER %ld, threads %ld, private %.1f MB", gdiObjects, userObjects,
                threads, double(privateBytes) / 1e6);
  return "handles " + std::to_string(handles) + " (" + types + text;
}

#endif
