#include "ui/main/PathParts.h"

#include <gtest/gtest.h>

#include "ui/main/WindowsVersion.h"

TEST(PathParts, FolderAndFileNameParts) {
  const struct {
    const char* path;
    const char* folder;
    const char* fileName;
  } cases[] = {
      {"C:\\Rec\\take0007.mp3", "C:\\Rec\\", "take0007.mp3"},
      {"C:\\Rec\\", "C:\\Rec\\", ""},
      {"take.mp3", "take.mp3", "mp3"},  // no backslash: the text after the last dot
      {"take", "take", ""},
      {"", "", ""},
      {"C:\\a.b\\c", "C:\\a.b\\", "c"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetFolderPart(c.path), c.folder) << c.path;
    EXPECT_EQ(GetFileNamePart(c.path), c.fileName) << c.path;
  }
}

TEST(WindowsVersion, ClassesByFamilyAndVersion) {
  constexpr uint32_t k9x = 0x80000000u;
  const struct {
    uint32_t packed;
    bool known;
    uint32_t major;
    uint32_t minor;
    int expected;
  } cases[] = {
      {k9x | 3, true, 3, 10, 0},   {k9x | 4, true, 4, 0, 2},    {k9x | 4, true, 4, 10, 3},
      {k9x | 4, true, 4, 90, 4},   {k9x | 4, false, 0, 0, 2},   {4, true, 4, 0, 5},
      {5, true, 5, 0, 6},          {5, true, 5, 1, 7},          {6, true, 6, 0, 8},
      {6, true, 6, 1, 1},          {10, true, 10, 0, 1},        {5, false, 0, 0, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifyWindowsVersion(c.packed, c.known, c.major, c.minor), c.expected)
        << std::hex << c.packed << " " << std::dec << c.major << "." << c.minor;
  }
}
