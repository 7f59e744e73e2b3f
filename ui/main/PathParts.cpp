#include "ui/main/PathParts.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

bool IsLeadByte(char c) {
#ifdef _WIN32
  return ::IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE;
#else
  (void)c;
  return false;
#endif
}

// Position of the last `wanted` character, walking characters rather than bytes.
size_t FindLast(const std::string& text, char wanted) {
  size_t found = std::string::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsLeadByte(text[i])) {
      ++i;
      continue;
    }
    if (text[i] == wanted) found = i;
  }
  return found;
}

}  // namespace

std::string GetFolderPart(const std::string& path) {
  const size_t slash = FindLast(path, '\\');
  return slash == std::string::npos ? path : path.substr(0, slash + 1);
}

std::string GetFileNamePart(const std::string& path) {
  size_t cut = FindLast(path, '\\');
  if (cut == std::string::npos) cut = FindLast(path, '.');
  return cut == std::string::npos ? std::string() : path.substr(cut + 1);
}
