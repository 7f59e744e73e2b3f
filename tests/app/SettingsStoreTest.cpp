#include "app/SettingsStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
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
#include <csignal>
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

// Killed at random moments while saving: the two settings it saves in turn, of different
// lengths, and the file that tells that the saving has begun.
CSettingsStore KilledSaverSettings(int which) {
  CSettingsStore store;
  store.LoadFrom(nullptr);
  store.SetString(FileTemplate, which == 0 ? "C:\\Rec\\" : "D:\\" + std::string(250, 'r') + "\\");
  store.SetUInt(FileCount, which == 0 ? 1 : 9999);
  return store;
}
std::string StartedMarkerFor(const std::string& path) { return path + ".started"; }

// Saves both settings in turn until the process is killed.
int SaveUntilKilled(const std::string& path) {
  const CSettingsStore stores[2] = {KilledSaverSettings(0), KilledSaverSettings(1)};
  stores[0].Save(path.c_str());
  WriteWholeFile(StartedMarkerFor(path), "");
  for (;;) {
    stores[1].Save(path.c_str());
    stores[0].Save(path.c_str());
  }
}

enum class SaverWork { Repeatedly, UntilKilled };

#ifdef _WIN32
// Run by TwoInstancesSavingAtOnceNeverGarbleTheFile in processes of its own.
TEST(SettingsSaver, DISABLED_SavesRepeatedly) {
  const char* path = std::getenv(kSaverPathVariable);
  const char* which = std::getenv(kSaverWhichVariable);
  ASSERT_TRUE(path && which);
  EXPECT_EQ(SaveRepeatedly(path, std::atoi(which)), 0);
}

// Run by KilledWhileSavingLeavesTheOldOrTheNewFile in a process of its own.
TEST(SettingsKilledSaver, DISABLED_SavesUntilKilled) {
  const char* path = std::getenv(kSaverPathVariable);
  ASSERT_TRUE(path);
  SaveUntilKilled(path);
}

class SaverProcess {
 public:
  SaverProcess(const std::string& path, int which, SaverWork work = SaverWork::Repeatedly) {
    ::SetEnvironmentVariableA(kSaverPathVariable, path.c_str());
    ::SetEnvironmentVariableA(kSaverWhichVariable, std::to_string(which).c_str());
    char exe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string command = std::string("\"") + exe + "\" --gtest_also_run_disabled_tests --gtest_filter=" +
                          (work == SaverWork::Repeatedly ? "SettingsSaver.*" : "SettingsKilledSaver.*");
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_process)) {
      m_process = PROCESS_INFORMATION{};
    }
  }
  bool started() const { return m_process.hProcess != nullptr; }
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
  // Ends the process at once, as the task manager would, and waits until it is gone.
  void Kill() {
    if (m_process.hProcess) ::TerminateProcess(m_process.hProcess, 9);
    Wait();
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
  SaverProcess(const std::string& path, int which, SaverWork work = SaverWork::Repeatedly) : m_child(fork()) {
    if (m_child == 0) _exit(work == SaverWork::Repeatedly ? SaveRepeatedly(path, which) : SaveUntilKilled(path));
  }
  bool started() const { return m_child > 0; }
  int Wait() {
    int status = 0;
    if (m_child <= 0 || waitpid(m_child, &status, 0) != m_child) return -1;
    m_child = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Kill() {
    if (m_child > 0) kill(m_child, SIGKILL);
    Wait();
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

// A process killed at any moment of a save leaves the complete old or the complete new
// file, never a part or a mixture. SONDREL_SAVE_KILLS sets how many kills (a soak run sets
// hundreds); each lands at a random moment of continuous saving.
TEST(SettingsStore, KilledWhileSavingLeavesTheOldOrTheNewFile) {
  const char* kills = std::getenv("SONDREL_SAVE_KILLS");
  const int count = kills ? std::max(1, std::atoi(kills)) : 5;
  const std::string contents[2] = {KilledSaverSettings(0).Compose(), KilledSaverSettings(1).Compose()};
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delayUs(0, 20000);
  TempDir dir;
  const std::string path = dir.File("Sondrel.cfg");
  int whole[2] = {};
  for (int kill = 0; kill < count; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill) + ", seed " + std::to_string(seed));
    std::remove(StartedMarkerFor(path).c_str());
    SaverProcess saver(path, 0, SaverWork::UntilKilled);
    ASSERT_TRUE(saver.started());
    for (int waited = 0; !FileExists(StartedMarkerFor(path)); ++waited) {
      ASSERT_LT(waited, 20000) << "the saver did not begin";
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    saver.Kill();
    const std::string saved = ReadWholeFile(path);
    ASSERT_TRUE(saved == contents[0] || saved == contents[1]) << saved.size() << " bytes:\n" << saved;
    ++whole[saved == contents[1] ? 1 : 0];
    // The killed save's temporary file may stay behind; the next process has another.
    for (const std::string& name : FolderContents(dir)) {
      if (name != "Sondrel.cfg") std::remove(dir.File(name).c_str());
    }
  }
  std::printf("%d kills: %d left the first settings, %d the second\n", count, whole[0], whole[1]);
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
