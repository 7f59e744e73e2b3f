#pragma once
// A file system of its own, of a few hundred kilobytes, mounted on a folder (see
// MountedFolder.h): a disk that really fills.
#include <cstdint>
#include <string>

#include "support/MountedFolder.h"

class SmallFileSystem : public MountedFolder {
 public:
  // `folder` is a Windows path under Wine; it is made when missing.
  SmallFileSystem(const std::string& folder, uint64_t bytes);

  // Gives the file system a new size, keeping what it holds (room again after it filled).
  bool Resize(uint64_t bytes);
};
