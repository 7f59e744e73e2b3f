#include "app/SettingsStore.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <stdexcept>

#include "support/TempDir.h"

#ifndef _WIN32
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

TEST(SettingsStore, SaveReplacesTheOldFileWhole) {
  TempDir dir;
  const std::string path = dir.File("Sondrel.cfg");
  WriteWholeFile(path, std::string(5000, 'o'));
  CSettingsStore store;
  store.Load(path.c_str());
  store.Save(path.c_str());
  EXPECT_EQ(ReadWholeFile(path), kDefaultFile);
  EXPECT_FALSE(FileExists(path + ".new"));
}

TEST(SettingsStore, SaveThatCannotCreateItsFileLeavesTheOldOne) {
  TempDir dir;
  const std::string path = dir.File("Sondrel.cfg");
  WriteWholeFile(path, "Channels: 2\n");
  // A folder in the way of the temporary file: nothing can be written beside the old file.
  std::filesystem::create_directory(path + ".new");
  CSettingsStore store;
  store.Load(path.c_str());
  store.SetUInt(Channels, 1);
  EXPECT_TRUE(store.Save(path.c_str()));
  EXPECT_EQ(ReadWholeFile(path), "Channels: 2\n");
}

#ifndef _WIN32
TEST(SettingsStore, DiskFullWhileSavingLeavesTheOldFile) {
  TempDir dir;
  const std::string path = dir.File("Sondrel.cfg");
  WriteWholeFile(path, "Channels: 2\n");
  // Every write to /dev/full fails with ENOSPC, as on a full disk.
  ASSERT_EQ(symlink("/dev/full", (path + ".new").c_str()), 0);
  CSettingsStore store;
  store.Load(path.c_str());
  EXPECT_TRUE(store.Save(path.c_str()));
  EXPECT_EQ(ReadWholeFile(path), "Channels: 2\n");
  EXPECT_FALSE(std::filesystem::is_symlink(path + ".new"));
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
