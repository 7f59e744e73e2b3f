#pragma once
// A file system of its own, of a few hundred kilobytes, mounted on a folder for as long as
// this lives: a disk that really fills. It needs the right to mount (root on the Linux side);
// without it mounted() is false and error() says why.
#include <cstdint>
#include <string>

class SmallFileSystem {
 public:
  // `folder` is a Windows path under Wine; it is made when missing.
  SmallFileSystem(const std::string& folder, uint64_t bytes);
  ~SmallFileSystem();
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;

  bool mounted() const { return m_mounted; }
  const std::string& error() const { return m_error; }
  // Gives the file system a new size, keeping what it holds (room again after it filled).
  bool Resize(uint64_t bytes);

 private:
  std::string m_unixPath;
  bool m_mounted = false;
  std::string m_error;
};
