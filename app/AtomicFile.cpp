#include "AtomicFile.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

bool FlushToDisk(FILE* file) {
  if (fflush(file) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

bool ReplaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

bool WriteFileReplacing(const std::string& path, const std::string& content) {
  const std::string temporary = path + ".new";
  FILE* file = fopen(temporary.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = fwrite(content.data(), 1, content.size(), file) == content.size() && FlushToDisk(file);
  const bool closed = fclose(file) == 0;
  if (written && closed && ReplaceFile(temporary, path)) return true;
  std::remove(temporary.c_str());
  return false;
}
