// The real Sondrel.exe, started and closed as a user would: its settings file, its
// running-instance marker and its behaviour in a folder it cannot write to.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/SettingsStore.h"
#include "support/ImmutablePath.h"
#include "support/ProgramProcess.h"
#include "support/TempDir.h"

namespace {

std::vector<std::string> SplitCrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "text after the last CR LF";
  return lines;
}

void CloseAndExpectExit(ProgramProcess& program, HWND window) {
  ASSERT_TRUE(::PostMessageA(window, WM_CLOSE, 0, 0));
  DWORD exitCode = 1234;
  ASSERT_TRUE(program.WaitForExit(exitCode)) << "the program did not end after WM_CLOSE";
  EXPECT_EQ(exitCode, 0u);
}

TEST(Startup, FirstRunWritesEveryKeyInTableOrderOnClose) {
  TempDir dir;
  ProgramProcess program(dir.path());
  ASSERT_TRUE(program.started());
  HWND window = program.WaitForMainWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(FileExists(dir.File("Sondrel.cfg"))) << "settings reach the file only at exit";
  CloseAndExpectExit(program, window);

  const std::vector<std::string> lines = SplitCrLfLines(ReadWholeFile(dir.File("Sondrel.cfg")));
  ASSERT_EQ(lines.size(), static_cast<size_t>(SettingKeyCount));
  for (int key = 0; key < SettingKeyCount; ++key) {
    const std::string prefix = std::string(kSettingTable[key].name) + ": ";
    EXPECT_EQ(lines[key].rfind(prefix, 0), 0u) << lines[key];
  }
}

TEST(Startup, KeepsLoadedSettingsAndDropsUnknownLines) {
  TempDir dir;
  WriteWholeFile(dir.File("Sondrel.cfg"), "; mine\r\nFileCount: 7\r\nUnknownKey: 1\r\nChannels:2\r\n");
  ProgramProcess program(dir.path());
  HWND window = program.WaitForMainWindow();
  ASSERT_NE(window, nullptr);
  CloseAndExpectExit(program, window);

  const std::string saved = ReadWholeFile(dir.File("Sondrel.cfg"));
  EXPECT_NE(saved.find("\r\nFileCount: 7\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\r\nChannels: 2\r\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("UnknownKey"), std::string::npos);
  EXPECT_EQ(saved.find("mine"), std::string::npos);
}

TEST(Startup, SecondInstanceRunsToo) {
  TempDir first;
  TempDir second;
  ProgramProcess one(first.path());
  HWND oneWindow = one.WaitForMainWindow();
  ASSERT_NE(oneWindow, nullptr);
  HANDLE marker = ::OpenMutexA(SYNCHRONIZE, FALSE, "VelmoraSondrelMutex");
  EXPECT_NE(marker, nullptr) << "the running-instance marker exists while Sondrel runs";
  if (marker) ::CloseHandle(marker);

  ProgramProcess two(second.path());
  HWND twoWindow = two.WaitForMainWindow();
  ASSERT_NE(twoWindow, nullptr) << "a second instance starts and shows its window";
  CloseAndExpectExit(two, twoWindow);
  CloseAndExpectExit(one, oneWindow);
  EXPECT_TRUE(FileExists(first.File("Sondrel.cfg")));
  EXPECT_TRUE(FileExists(second.File("Sondrel.cfg")));
}

// A folder that takes no new file (here: immutable) still lets the settings file be
// written: the safe save, which needs a temporary file beside it, gives way to writing it
// in place. Where even that is impossible the old file stays. Neither shows a message: a
// message box would keep the process alive, so it must end on its own.
TEST(Startup, FolderThatTakesNoNewFileGetsTheFileWrittenInPlace) {
  for (const bool fileLocked : {false, true}) {
    SCOPED_TRACE(fileLocked ? "the file cannot be written either" : "only the folder is locked");
    TempDir dir;
    const std::string path = dir.File("Sondrel.cfg");
    const std::string old = "FileCount: 3\r\n";
    WriteWholeFile(path, old);
    ProgramProcess program(dir.path());
    HWND window = program.WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    {
      ImmutablePath folder(dir.path());
      ASSERT_TRUE(folder.set()) << folder.error();
      std::optional<ImmutablePath> file;
      if (fileLocked) {
        ASSERT_TRUE(file.emplace(path).set()) << file->error();
      }
      CloseAndExpectExit(program, window);
    }
    const std::string saved = ReadWholeFile(path);
    if (fileLocked) {
      EXPECT_EQ(saved, old);
    } else {
      const std::vector<std::string> lines = SplitCrLfLines(saved);
      ASSERT_EQ(lines.size(), static_cast<size_t>(SettingKeyCount));
      EXPECT_EQ(lines[FileCount], "FileCount: 3");
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      EXPECT_NE(entry.path().filename().string().rfind("Sondrel.cfg.", 0), 0u) << "left behind: " << entry.path();
    }
  }
}

}  // namespace
