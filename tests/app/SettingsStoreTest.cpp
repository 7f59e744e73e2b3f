#include "app/SettingsStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "app/AtomicFile.h"
#include "support/ImmutablePath.h"
#include "support/TempDir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

const char kDefaultFile[] =
    "TraceLevel: 9\r\nFileFormat: 0\r\nAudioDevice: \r\nAudioInput: \r\nAudioVolume: 50\r\n"
    "BytesPerSample: 2\r\nChannels: 1\r\nSamplesPerSecond: 44100\r\nMp3BitRateType: 0\r\n"
    "Mp3ConstBitRate: 128\r\nMp3MinBitRate: 80\r\nMp3MaxBitRate: 160\r\nMp3VbrQuality: 4\r\n"
    "Mp3EncQuality: 5\r\nFileCount: 1\r\nAddSeqNum: 1\r\nFileTemplate: \r\nPlaybackVolume: 60\r\n"
    "OverwritePrompt: 1\r\nStartTime: \r\nStopTime: \r\nIconize: 1\r\n";

CSettingsStore LoadFrom(const TempDir& dir, const std::string& content) {
  const std::string path = dir.File("Sondrel.cfg");
  WriteWholeFile(path, content);
  CSettingsStore store;
  EXPECT_TRUE(store.Load(path.c_str()));
  return store;
}

struct LineCase {
  const char* file;
  int key;
  const char* expectedText;  // the entry's text after loading
};

class SettingsLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(SettingsLineTest, LoadsValueAsWritten) {
  TempDir dir;
  const LineCase& c = GetParam();
  CSettingsStore store = LoadFrom(dir, c.file);
  EXPECT_EQ(store.GetString(c.key), c.expectedText) << "file: " << c.file;
}

const std::string kLongValue(300, 'v');
const std::string kLongLine = "FileTemplate: " + kLongValue + "\n";
// Past 511 characters the text "Channels: 2" must not be taken for a line of its own.
const std::string kOverlongLine = "FileTemplate: " + std::string(600, 'x') + "Channels: 2\nAudioVolume: 7\n";

INSTANTIATE_TEST_SUITE_P(
    Lines, SettingsLineTest,
    ::testing::Values(
        LineCase{"Channels:2\n", Channels, "2"},
        LineCase{"Channels: \t 2\n", Channels, "2"},
        LineCase{"Channels: 2\r\n", Channels, "2"},
        LineCase{" Channels: 2\n", Channels, "1"},
        LineCase{"Channels : 2\n", Channels, "1"},
        LineCase{"channels: 2\n", Channels, "1"},
        LineCase{";Channels: 2\n", Channels, "1"},
        LineCase{"ChannelsX: 2\n", Channels, "1"},
        LineCase{"Channels: 2\nChannels: 3\n", Channels, "3"},
        LineCase{"AddSeqNum: 0\n", AddSeqNum, "0"},
        LineCase{"AddSeqNum: \n", AddSeqNum, "1"},
        LineCase{"AddSeqNum: no\n", AddSeqNum, "1"},
        LineCase{"AddSeqNum: 00\n", AddSeqNum, "1"},
        LineCase{"FileTemplate: D:\\Rec: old\\take\n", FileTemplate, "D:\\Rec:old\\take"},
        LineCase{"FileTemplate:\tD:\\My Music\n", FileTemplate, "D:\\My Music"},
        LineCase{"AudioDevice: Mic  \n", AudioDevice, "Mic  "},
        LineCase{"FileCount: abc\n", FileCount, "0"},
        LineCase{"FileCount: 12abc\n", FileCount, "12"},
        LineCase{"AudioVolume: -5\n", AudioVolume, "4294967291"},
        LineCase{"AudioVolume: 99999999999\n", AudioVolume, "2147483647"},
        LineCase{kOverlongLine.c_str(), Channels, "1"},
        LineCase{kOverlongLine.c_str(), AudioVolume, "7"}));

TEST(SettingsStore, ValuesAreCutTo255Characters) {
  TempDir dir;
  EXPECT_EQ(LoadFrom(dir, kLongLine).GetString(FileTemplate), kLongValue.substr(0, 255));
  EXPECT_EQ(LoadFrom(dir, kOverlongLine).GetString(FileTemplate), std::string(255, 'x'));
}

TEST(SettingsStore, NegativeUnsignedReadsBackSaturated) {
  TempDir dir;
  EXPECT_EQ(LoadFrom(dir, "AudioVolume: -5\n").GetUInt(AudioVolume), 2147483647u);
}

TEST(SettingsStore, MissingFileGivesDefaultsAndSaveWritesAllKeys) {
  TempDir dir;
  const std::string path = dir.File("Sondrel.cfg");
  CSettingsStore store;
  EXPECT_TRUE(store.Load(path.c_str()));
  for (int key = 0; key < SettingKeyCount; ++key) {
    SCOPED_TRACE(kSettingTable[key].name);
    EXPECT_EQ(store.GetString(key), kSettingTable[key].defaultText);
  }
  EXPECT_EQ(store.GetUInt(SamplesPerSecond), 44100u);
  EXPECT_TRUE(store.GetBool(Iconize));
  EXPECT_TRUE(store.Save(path.c_str()));
  EXPECT_EQ(ReadWholeFile(path), kDefaultFile);
}

TEST(SettingsStore, FileWithOneKeyKeepsOtherDefaultsAndSavesAll) {
  TempDir dir;
  CSettingsStore store = LoadFrom(dir, "Iconize: 0\n");
  EXPECT_FALSE(store.GetBool(Iconize));
  EXPECT_EQ(store.GetUInt(FileCount), 1u);
  const std::string path = dir.File("Sondrel.cfg");
  store.Save(path.c_str());
  std::string expected = kDefaultFile;
  expected.replace(expected.find("Iconize: 1"), 10, "Iconize: 0");
  EXPECT_EQ(ReadWholeFile(path), expected);
}

TEST(SettingsStore, SaveWritesCurrentValuesAndDropsUnknownLines) {
  TempDir dir;
  CSettingsStore store = LoadFrom(dir, "; comment\nUnknown: 3\nAudioVolume: -5\nFileTemplate: C:\\Rec\\\n");
  ASSERT_TRUE(store.SetString(AudioDevice, "Line 1"));
  ASSERT_TRUE(store.SetUInt(FileCount, 42));
  ASSERT_TRUE(store.SetBool(AddSeqNum, false));
  const std::string path = dir.File("Sondrel.cfg");
  store.Save(path.c_str());
  const std::string saved = ReadWholeFile(path);
  EXPECT_EQ(saved.find("Unknown"), std::string::npos);
  EXPECT_EQ(saved.find("comment"), std::string::npos);
  for (const char* line : {"AudioDevice: Line 1\r\n", "FileCount: 42\r\n", "AddSeqNum: 0\r\n",
                           "AudioVolume: 2147483647\r\n", "FileTemplate: C:\\Rec\\\r\n"}) {
    EXPECT_NE(saved.find(line), std::string::npos) << line;
  }
  CSettingsStore reloaded;
  reloaded.Load(path.c_str());
  EXPECT_EQ(reloaded.GetString(AudioDevice), "Line 1");
  EXPECT_EQ(reloaded.GetUInt(FileCount), 42u);
}

TEST(SettingsStore, AccessorsCheckTheKind) {
  CSettingsStore store;
  store.Load("");
  EXPECT_FALSE(store.SetString(FileCount, "7"));
  EXPECT_EQ(store.GetUInt(FileCount), 1u);
  EXPECT_FALSE(store.SetUInt(AudioDevice, 3));
  EXPECT_FALSE(store.SetBool(FileCount, true));
  EXPECT_EQ(store.GetUInt(AudioDevice), 0u);
  EXPECT_EQ(store.GetInt(FileCount), -1);
  EXPECT_FALSE(store.GetBool(FileCount));
  EXPECT_EQ(store.GetReal(FileCount), 0.0);
  EXPECT_EQ(store.GetString(FileCount), "1");
  EXPECT_TRUE(store.SetBool(Iconize, false));
  EXPECT_EQ(store.GetString(Iconize), "0");
  EXPECT_THROW(store.GetUInt(SettingKeyCount), std::invalid_argument);
  EXPECT_THROW(store.SetString(-1, ""), std::invalid_argument);
}

TEST(SettingsStore, LoadWithoutPathFails) {
  CSettingsStore store;
  EXPECT_FALSE(store.Load(nullptr));
}

// The names in a folder, sorted.
std::vector<std::string> FolderContents(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SettingsStore, SaveReplacesTheOldFileWhole) {
  TempDir dir;
  const std::string path = dir.File("Sondrel.cfg");
  WriteWholeFile(path, std::string(5000, 'o'));
  CSettingsStore store;
  store.Load(path.c_str());
  store.Save(path.c_str());
  EXPECT_EQ(ReadWholeFile(path), kDefaultFile);
  EXPECT_EQ(FolderContents(dir), std::vector<std::string>{"Sondrel.cfg"}) << "no temporary file is left";
}

TEST(SettingsStore, SaveThatCannotCreateItsTemporaryFileWritesInPlace) {
  TempDir dir;
  const std::string path = dir.File("Sondrel.cfg");
  WriteWholeFile(path, "Channels: 2\n" + std::string(5000, 'o'));
  // A folder in the way of the temporary file, as in a folder that takes no new file.
  std::filesystem::create_directory(TemporaryPathFor(path));
  CSettingsStore store;
  store.Load(path.c_str());
  store.SetUInt(FileCount, 5);
  EXPECT_TRUE(store.Save(path.c_str()));
  std::string expected = kDefaultFile;
  expected.replace(expected.find("Channels: 1"), 11, "Channels: 2");
  expected.replace(expected.find("FileCount: 1"), 12, "FileCount: 5");
  EXPECT_EQ(ReadWholeFile(path), expected) << "overwritten and cut to its new length";
}

TEST(SettingsStore, SaveWhereNothingCanBeWrittenLeavesTheOldFile) {
  TempDir dir;
  const std::string path = dir.File("Sondrel.cfg");
  WriteWholeFile(path, "Channels: 2\n");
  CSettingsStore store;
  store.Load(path.c_str());
  store.SetUInt(Channels, 1);
  {
    // The folder takes no temporary file and the file itself takes no write.
    ImmutablePath file(path);
    ImmutablePath folder(dir.path());
    ASSERT_TRUE(file.set() && folder.set()) << file.error() << folder.error();
    EXPECT_TRUE(store.Save(path.c_str()));
  }
  EXPECT_EQ(ReadWholeFile(path), "Channels: 2\n");
  EXPECT_EQ(FolderContents(dir), std::vector<std::string>{"Sondrel.cfg"});
}

#ifndef _WIN32
TEST(SettingsStore, DiskFullWhileSavingLeavesTheOldFile) {
  TempDir dir;
  const std::string path = dir.File("Sondrel.cfg");
  WriteWholeFile(path, "Channels: 2\n");
  // Every write to /dev/full fails with ENOSPC, as on a full disk.
  ASSERT_EQ(symlink("/dev/full", TemporaryPathFor(path).c_str()), 0);
  CSettingsStore store;
  store.Load(path.c_str());
  EXPECT_TRUE(store.Save(path.c_str()));
  EXPECT_EQ(ReadWholeFile(path), "Channels: 2\n");
  EXPECT_EQ(FolderContents(dir), std::vector<std::string>{"Sondrel.cfg"});
}
#endif

// Two instances that end at the same moment save at the same moment. Each saves its own
// settings (of different lengths) many times over, in a process of its own; every save must
// land whole, and the file is then one instance's settings, never a mixture.
const char kSaverPathVariable[] = "SONDREL_SAVER_PATH";
const char kSaverWhichVariable[] = "SONDREL_SAVER_WHICH";
constexpr int kSaves = 150;

std::string SaverContent(int which) { return "FileTemplate: " + std::string(which == 0 ? 40 : 4000, 'a' + which) + "\r\n"; }

// The saves of one instance; the number that failed.
int SaveRepeatedly(const std::string& path, int which) {
  int failed = 0;
  for (int i = 0; i < kSaves; ++i) failed += WriteFileReplacing(path, SaverContent(which)) ? 0 : 1;
  return failed;
}

#ifdef _WIN32
// Run by TwoInstancesSavingAtOnceNeverGarbleTheFile in processes of its own.
TEST(SettingsSaver, DISABLED_SavesRepeatedly) {
  const char* path = std::getenv(kSaverPathVariable);
  const char* which = std::getenv(kSaverWhichVariable);
  ASSERT_TRUE(path && which);
  EXPECT_EQ(SaveRepeatedly(path, std::atoi(which)), 0);
}

class SaverProcess {
 public:
  SaverProcess(const std::string& path, int which) {
    ::SetEnvironmentVariableA(kSaverPathVariable, path.c_str());
    ::SetEnvironmentVariableA(kSaverWhichVariable, std::to_string(which).c_str());
    char exe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string command = std::string("\"") + exe + "\" --gtest_also_run_disabled_tests --gtest_filter=SettingsSaver.*";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_process)) {
      m_process = PROCESS_INFORMATION{};
    }
  }
  // The process's exit code once it has ended; -1 if it never started or did not end.
  int Wait() {
    if (!m_process.hProcess) return -1;
    DWORD code = DWORD(-1);
    if (::WaitForSingleObject(m_process.hProcess, 60000) == WAIT_OBJECT_0) ::GetExitCodeProcess(m_process.hProcess, &code);
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
    m_process = PROCESS_INFORMATION{};
    return int(code);
  }
  ~SaverProcess() {
    if (m_process.hProcess) Wait();
  }

 private:
  PROCESS_INFORMATION m_process{};
};
#else
class SaverProcess {
 public:
  SaverProcess(const std::string& path, int which) : m_child(fork()) {
    if (m_child == 0) _exit(SaveRepeatedly(path, which));
  }
  int Wait() {
    int status = 0;
    if (m_child <= 0 || waitpid(m_child, &status, 0) != m_child) return -1;
    m_child = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  ~SaverProcess() {
    if (m_child > 0) Wait();
  }

 private:
  pid_t m_child;
};
#endif

TEST(SettingsStore, TwoInstancesSavingAtOnceNeverGarbleTheFile) {
  TempDir dir;
  const std::string path = dir.File("Sondrel.cfg");
  SaverProcess first(path, 0);
  SaverProcess second(path, 1);
  EXPECT_EQ(first.Wait(), 0) << "saves that did not land";
  EXPECT_EQ(second.Wait(), 0) << "saves that did not land";
  const std::string saved = ReadWholeFile(path);
  EXPECT_TRUE(saved == SaverContent(0) || saved == SaverContent(1)) << saved.size() << " bytes";
  EXPECT_EQ(FolderContents(dir), std::vector<std::string>{"Sondrel.cfg"});
}

#ifndef _WIN32
// The peak memory of this process so far, in KiB.
long PeakMemoryKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(SettingsStore, EndlessLineIsCutWithoutBeingHeldInMemory) {
  TempDir dir;
  const std::string path = dir.File("Sondrel.cfg");
  constexpr size_t kLineBytes = size_t(64) << 20;
  {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("FileTemplate: ", file);
    const std::string block(1 << 20, 'x');
    for (size_t written = 0; written < kLineBytes; written += block.size()) std::fwrite(block.data(), 1, block.size(), file);
    std::fputs("\nChannels: 2", file);
    ASSERT_EQ(std::fclose(file), 0);
  }
  const long before = PeakMemoryKiB();
  CSettingsStore store;
  ASSERT_TRUE(store.Load(path.c_str()));
  EXPECT_LT(PeakMemoryKiB() - before, 8 * 1024) << "KiB more at the peak for a line of 64 MiB";
  EXPECT_EQ(store.GetString(FileTemplate), std::string(255, 'x'));
  EXPECT_EQ(store.GetUInt(Channels), 2u) << "the next line is read as a line of its own";
}
#endif

struct NumberCase {
  const char* text;
  int32_t decimal;
  double real;
};

class SettingsNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(SettingsNumberTest, ParsesByTheRules) {
  EXPECT_EQ(ParseDecimal(GetParam().text), GetParam().decimal);
  EXPECT_DOUBLE_EQ(ParseReal(GetParam().text), GetParam().real);
}

INSTANTIATE_TEST_SUITE_P(Numbers, SettingsNumberTest,
                         ::testing::Values(NumberCase{"42", 42, 42.0}, NumberCase{"  \t42x", 42, 0.0},
                                           NumberCase{"+7", 7, 0.0}, NumberCase{"-3", -3, 0.0},
                                           NumberCase{"3.25", 3, 3.25}, NumberCase{".5", 0, 0.5},
                                           NumberCase{"1e5", 1, 1.0}, NumberCase{"", 0, 0.0},
                                           NumberCase{"abc", 0, 0.0},
                                           NumberCase{"99999999999", INT32_MAX, 99999999999.0},
                                           NumberCase{"-99999999999", INT32_MIN, 0.0},
                                           NumberCase{"2147483648", INT32_MAX, 2147483648.0}));

}  // namespace
