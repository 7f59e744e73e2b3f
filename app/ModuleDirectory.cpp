#include "ModuleDirectory.h"

#ifdef _WIN32
#include <windows.h>
#endif

std::string DirectoryOfPath(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

#ifdef _WIN32
std::string GetModuleDirectory() {
  char buffer[512] = {};
  const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  return DirectoryOfPath(std::string(buffer, length < sizeof buffer ? length : sizeof buffer - 1));
}
#endif
