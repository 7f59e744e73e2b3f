#pragma once
// Makes a file or folder immutable on the Linux side for as long as it lives: as root, file
// permissions do not stop writes, the immutable attribute does. An immutable folder takes
// no new file and loses none, while the files in it can still be written.
#include <string>

class ImmutablePath {
 public:
  explicit ImmutablePath(const std::string& path);  // a Windows path under Wine
  ~ImmutablePath();
  ImmutablePath(const ImmutablePath&) = delete;
  ImmutablePath& operator=(const ImmutablePath&) = delete;

  bool set() const { return m_set; }
  const std::string& error() const { return m_error; }

 private:
  std::string m_unixPath;
  bool m_set = false;
  std::string m_error;
};
