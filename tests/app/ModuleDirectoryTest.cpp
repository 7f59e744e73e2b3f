#include "app/ModuleDirectory.h"

#include <gtest/gtest.h>

TEST(ModuleDirectory, CutsBeforeTheLastBackslash) {
  EXPECT_EQ(DirectoryOfPath("C:\\Program Files\\Sondrel\\Sondrel.exe"), "C:\\Program Files\\Sondrel");
  EXPECT_EQ(DirectoryOfPath("C:\\Sondrel.exe"), "C:");
  EXPECT_EQ(DirectoryOfPath("Sondrel.exe"), "");
  EXPECT_EQ(DirectoryOfPath(""), "");
}

#ifdef _WIN32
#include <windows.h>

TEST(ModuleDirectory, IsTheExecutablesFolder) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string dir = GetModuleDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_NE(dir.back(), '\\');
  EXPECT_EQ(std::string(path).rfind(dir + "\\", 0), 0u);
  EXPECT_EQ(GetFileAttributesA(dir.c_str()) & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}
#endif
