#include "recorder/OutputFileName.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <map>
#include <string>

#include "app/SettingsStore.h"
#include "support/TempDir.h"

namespace {

// The folders the cases name: D:\Rec with a subfolder my.mp3.files and a file existing.mp3,
// and C:\Sondrel as the executable's folder. Natively a fake file system holds them; under
// Windows they are real folders in a temporary folder and the real file system is asked.
class NamingFolders {
 public:
#ifdef _WIN32
  NamingFolders() {
    CreateDirectoryA(Path("D:\\Rec").c_str(), nullptr);
    CreateDirectoryA(Path("D:\\Rec\\my.mp3.files").c_str(), nullptr);
    CreateDirectoryA(Path("C:\\Sondrel").c_str(), nullptr);
    WriteWholeFile(Path("D:\\Rec\\existing.mp3"), "x");
  }
  // Maps the drive of a case's path into the temporary folder.
  std::string Path(const std::string& path) const {
    if (path.size() < 2 || path[1] != ':') return path;
    return m_root.path() + "\\" + path[0] + path.substr(2);
  }
  PathProbe Probe() const { return ProbePath; }

 private:
  struct Drives {
    TempDir dir;
    Drives() {
      CreateDirectoryA(dir.File("C").c_str(), nullptr);
      CreateDirectoryA(dir.File("D").c_str(), nullptr);
      CreateDirectoryA(dir.File("E").c_str(), nullptr);
    }
    const std::string& path() const { return dir.path(); }
  } m_root;
#else
  std::string Path(const std::string& path) const { return path; }
  PathProbe Probe() const {
    return [](const std::string& path) {
      static const std::map<std::string, PathKind> entries = {
          {"D:\\Rec", PathKind::Folder},
          {"D:\\Rec\\", PathKind::Folder},
          {"D:\\Rec\\my.mp3.files", PathKind::Folder},
          {"C:\\Sondrel", PathKind::Folder},
          {"D:\\Rec\\existing.mp3", PathKind::File},
      };
      const auto found = entries.find(path);
      return found == entries.end() ? PathKind::Missing : found->second;
    };
  }
#endif

 public:
  COutputFileName Make(const char* extension) const {
    return COutputFileName(extension, Path("C:\\Sondrel"), Probe());
  }
};

struct NamingCase {
  const char* path;
  uint32_t number;
  const char* extension;
  int result;
  const char* numbered;  // the name with AddSeqNum on
  const char* plain;     // and off
};

class OutputFileNameTest : public ::testing::TestWithParam<NamingCase> {
 protected:
  void SetUp() override { Settings().Load(""); }
};

TEST_P(OutputFileNameTest, ComposesNames) {
  const NamingCase& c = GetParam();
  NamingFolders folders;
  COutputFileName name = folders.Make(".unk");
  name.SetExtension(c.extension);
  Settings().SetString(FileTemplate, "before");
  Settings().SetUInt(FileCount, 5);
  EXPECT_EQ(name.SetTemplate(folders.Path(c.path), c.number), c.result);
  Settings().SetBool(AddSeqNum, true);
  EXPECT_EQ(name.GetFileName(), folders.Path(c.numbered));
  Settings().SetBool(AddSeqNum, false);
  EXPECT_EQ(name.GetFileName(), folders.Path(c.plain));
  EXPECT_EQ(Settings().GetString(FileTemplate), c.result == 0 ? name.Template() : "before");
  EXPECT_EQ(Settings().GetUInt(FileCount), 5u) << "the template never writes the counter";
}

INSTANTIATE_TEST_SUITE_P(
    Templates, OutputFileNameTest,
    ::testing::Values(
        NamingCase{"D:\\Rec", 7, ".mp3", 0, "D:\\Rec\\0007.mp3", "D:\\Rec\\video.mp3"},
        NamingCase{"D:\\Rec\\", 7, ".mp3", 0, "D:\\Rec\\0007.mp3", "D:\\Rec\\video.mp3"},
        NamingCase{"D:\\Rec\\song", 7, ".wav", 0, "D:\\Rec\\song0007.wav", "D:\\Rec\\song.wav"},
        NamingCase{"D:\\Rec\\existing.mp3", 2, ".mp3", 0, "D:\\Rec\\existing0002.mp3", "D:\\Rec\\existing.mp3"},
        NamingCase{"D:\\Rec\\my.mp3.files\\take.mp3", 7, ".mp3", 0, "D:\\Rec\\my0007.mp3", "D:\\Rec\\my.mp3"},
        NamingCase{"D:\\Rec\\Take.MP3", 7, ".mp3", 0, "D:\\Rec\\Take0007.mp3", "D:\\Rec\\Take.mp3"},
        NamingCase{"D:\\Rec\\Take.MP3", 1, ".wav", 0, "D:\\Rec\\Take.MP30001.wav", "D:\\Rec\\Take.MP3.wav"},
        NamingCase{"D:\\Rec", 0, ".mp3", 0, "D:\\Rec\\0001.mp3", "D:\\Rec\\video.mp3"},
        NamingCase{"D:\\Rec", 12000, ".mp3", 0, "D:\\Rec\\9999.mp3", "D:\\Rec\\video.mp3"},
        NamingCase{"", 3, ".mp3", 0, "C:\\Sondrel\\0003.mp3", "C:\\Sondrel\\video.mp3"},
        // Failures empty the template and keep the number (1 as constructed).
        NamingCase{"E:\\Gone\\take", 7, ".mp3", 1, "C:\\Sondrel\\0001.mp3", "C:\\Sondrel\\video.mp3"},
        NamingCase{"take.mp3", 7, ".wav", 2, "C:\\Sondrel\\0001.wav", "C:\\Sondrel\\video.wav"}));

TEST(OutputFileName, FailedTemplateKeepsTheEarlierNumber) {
  Settings().Load("");
  NamingFolders folders;
  COutputFileName name = folders.Make(".mp3");
  ASSERT_EQ(name.SetTemplate(folders.Path("D:\\Rec"), 25), 0);
  EXPECT_EQ(name.SetTemplate(folders.Path("E:\\Gone\\x"), 3), 1);
  EXPECT_EQ(name.SequenceNumber(), 25u);
  EXPECT_EQ(name.GetFileName(), folders.Path("C:\\Sondrel\\0025.mp3"));
}

TEST(OutputFileName, AdvanceWrapsAndWritesTheCounter) {
  Settings().Load("");
  NamingFolders folders;
  COutputFileName name = folders.Make(".mp3");
  name.SetTemplate(folders.Path("D:\\Rec"), 9998);
  name.AdvanceSequenceNumber();
  EXPECT_EQ(name.GetFileName(), folders.Path("D:\\Rec\\9999.mp3"));
  EXPECT_EQ(Settings().GetUInt(FileCount), 9999u);
  name.AdvanceSequenceNumber();
  EXPECT_EQ(name.GetFileName(), folders.Path("D:\\Rec\\0001.mp3"));
  EXPECT_EQ(Settings().GetUInt(FileCount), 1u);
  name.SetSequenceNumber(40);
  name.ResetSequenceNumber();
  EXPECT_EQ(name.SequenceNumber(), 1u);
  EXPECT_EQ(Settings().GetUInt(FileCount), 1u);
}

}  // namespace

namespace {

TEST(OutputFileName, NamesDeviceKnowsTheNamesWindowsKeepsForDevices) {
  const struct {
    const char* path;
    bool device;
  } cases[] = {
      {"C:\\Rec\\NUL.wav", true},        {"C:\\Rec\\nul", true},          {"C:\\Rec\\Con .mp3", true},
      {"CON", true},                     {"D:aux.wav", true},             {"C:\\Rec\\COM1.wav", true},
      {"C:\\Rec\\lpt9.x.wav", true},     {"C:\\Rec\\CONOUT$.wav", true},  {"\\\\.\\NUL", true},
      {"\\\\.\\C:\\Rec\\take.wav", true}, {"C:\\Rec\\NUL0001.wav", false}, {"C:\\Rec\\COM0.wav", false},
      {"C:\\Rec\\COM10.wav", false},     {"C:\\Rec\\console.wav", false}, {"C:\\NUL\\take.wav", false},
      {"C:\\Rec\\", false},              {"", false},                     {"C:\\Rec\\.wav", false},
  };
  for (const auto& c : cases) EXPECT_EQ(NamesDevice(c.path), c.device) << c.path;
}

}  // namespace
