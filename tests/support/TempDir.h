#pragma once
#include <string>

// A fresh, empty folder for one test, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return m_path; }
  // The path of `name` inside the folder, with the platform's separator.
  std::string File(const std::string& name) const;

 private:
  std::string m_path;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);
