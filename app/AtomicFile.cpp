#include "AtomicFile.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

unsigned long ProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

bool FlushToDisk(FILE* file) {
  if (fflush(file) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

bool TruncateAt(FILE* file, long long size) {
#ifdef _WIN32
  return _chsize_s(_fileno(file), size) == 0;
#else
  return ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
#endif
}

bool ReplaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
  // The file may be in use for a moment: another instance putting its own save in place, or
  // a virus scanner or indexer reading it.
  constexpr int kAttempts = 50;
  constexpr DWORD kPauseMs = 10;
  for (int attempt = 1;; ++attempt) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = GetLastError();
    if (attempt == kAttempts || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) return false;
    Sleep(kPauseMs);
  }
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool WriteAll(FILE* file, const std::string& content) {
  return fwrite(content.data(), 1, content.size(), file) == content.size();
}

// Only an existing file: it is overwritten from the start and then cut to the new length,
// so that nothing is lost before the first byte is written.
bool WriteInPlace(const std::string& path, const std::string& content) {
  FILE* file = fopen(path.c_str(), "r+b");
  if (file == nullptr) return false;
  const bool written = WriteAll(file, content) && fflush(file) == 0 &&
                       TruncateAt(file, static_cast<long long>(content.size())) && FlushToDisk(file);
  return fclose(file) == 0 && written;
}

}  // namespace

std::string TemporaryPathFor(const std::string& path) { return path + "." + std::to_string(ProcessId()) + ".new"; }

bool WriteFileReplacing(const std::string& path, const std::string& content) {
  const std::string temporary = TemporaryPathFor(path);
  FILE* file = fopen(temporary.c_str(), "wb");
  if (file == nullptr) return WriteInPlace(path, content);
  const bool written = WriteAll(file, content) && FlushToDisk(file);
  const bool closed = fclose(file) == 0;
  if (written && closed && ReplaceFile(temporary, path)) return true;
  std::remove(temporary.c_str());
  return false;
}
