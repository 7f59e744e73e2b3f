#include "support/TempDir.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {
std::string Separator() {
#ifdef _WIN32
  return "\\";
#else
  return "/";
#endif
}

long ProcessId() {
#ifdef _WIN32
  return static_cast<long>(GetCurrentProcessId());
#else
  return static_cast<long>(getpid());
#endif
}
}  // namespace

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::ostringstream name;
  name << "sondrel-test-" << ProcessId() << "-";
  // Process ids are reused, and a folder an earlier test could not remove (a program it
  // started still running there) is never taken over: the next free name is used instead.
  const fs::path temp = fs::temp_directory_path();
  fs::path dir;
  do {
    dir = temp / (name.str() + std::to_string(counter++));
  } while (!fs::create_directory(dir));
  m_path = dir.string();
  while (m_path.size() > 1 && (m_path.back() == '\\' || m_path.back() == '/')) m_path.pop_back();
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(m_path, ignored);
}

std::string TempDir::File(const std::string& name) const { return m_path + Separator() + name; }

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteWholeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

bool FileExists(const std::string& path) { return fs::exists(path); }
