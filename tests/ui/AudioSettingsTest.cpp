// The audio settings dialog from the real resources, changed as a user changes it: lists,
// radio buttons and the slider from the stored settings, the bit-rate lists following the
// rate, the enabling rule, and what OK and Cancel write.
#include "ui/dialogs/AudioSettings.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>

#include "app/SettingsStore.h"
#include "app/SondrelApp.h"
#include "res/resource.h"
#include "support/TempDir.h"
#include "tests/ui/DialogDriver.h"

namespace {

// Every setting as the configuration file would hold it, by key name.
std::map<std::string, std::string> StoredSettings() {
  TempDir folder;
  const std::string path = folder.File("snapshot.cfg");
  Settings().Save(path.c_str());
  std::map<std::string, std::string> values;
  const std::string text = ReadWholeFile(path);
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string line = text.substr(start, end - start);
    const size_t colon = line.find(": ");
    values[line.substr(0, colon)] = colon == std::string::npos ? "" : line.substr(colon + 2);
  }
  return values;
}

class AudioSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { Settings().Load(""); }
  void TearDown() override {
    if (dialog.m_hWnd) ::DestroyWindow(dialog.m_hWnd);
  }
  void Open() {
    ASSERT_TRUE(dialog.Create());
    hwnd = dialog.m_hWnd;
    dialog.ShowWindow(SW_SHOW);  // as a modal run shows it
  }
  HWND Item(int id) const { return ::GetDlgItem(hwnd, id); }
  std::string Shown(int id) const { return ComboSelection(Item(id)); }
  bool Checked(int id) const { return ::SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  bool Enabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
  int Count(int id) const { return static_cast<int>(::SendMessageA(Item(id), CB_GETCOUNT, 0, 0)); }
  // Picks the rate the way a user does, by its text in the list.
  void SelectRate(const char* rate) {
    const LRESULT index = ::SendMessageA(Item(IDC_SAMPLE_RATE), CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(rate));
    ASSERT_GE(index, 0) << rate;
    SelectComboItem(hwnd, IDC_SAMPLE_RATE, static_cast<int>(index));
  }
  void PressKey(int id, WPARAM key) { ::SendMessageA(Item(id), WM_KEYDOWN, key, 0); }
  int SliderPosition() const { return static_cast<int>(::SendMessageA(Item(IDC_ENCODING_QUALITY), TBM_GETPOS, 0, 0)); }

  CSondrelApp app;
  CAudioSettings dialog;
  HWND hwnd = nullptr;
};

TEST_F(AudioSettingsTest, ShowsTheStoredSettings) {
  Open();
  EXPECT_EQ(WindowText(hwnd), "Audio Settings");
  EXPECT_EQ(Shown(IDC_BITS_PER_SAMPLE), "16");
  EXPECT_EQ(Shown(IDC_SAMPLE_RATE), "44100");
  EXPECT_TRUE(Checked(IDC_MONO));
  EXPECT_FALSE(Checked(IDC_STEREO));
  EXPECT_TRUE(Checked(IDC_CONSTANT_BIT_RATE));
  EXPECT_EQ(Shown(IDC_CONST_BIT_RATE_LIST), "128 kbps");
  EXPECT_EQ(Shown(IDC_MIN_BIT_RATE_LIST), "80 kbps");
  EXPECT_EQ(Shown(IDC_MAX_BIT_RATE_LIST), "160 kbps");
  EXPECT_EQ(Shown(IDC_VBR_QUALITY_LIST), "4 - ~1:9");
  EXPECT_EQ(SliderPosition(), 5);
  EXPECT_EQ(WindowText(Item(IDC_ENCODING_QUALITY_LABEL)), "Medium");
  for (const int list : {IDC_CONST_BIT_RATE_LIST, IDC_MIN_BIT_RATE_LIST, IDC_MAX_BIT_RATE_LIST}) {
    EXPECT_EQ(Count(list), 14) << list;
  }
  EXPECT_EQ(Count(IDC_VBR_QUALITY_LIST), 10);
  EXPECT_TRUE(Enabled(IDC_CONST_BIT_RATE_LIST));
  for (const int list : {IDC_MIN_BIT_RATE_LIST, IDC_MAX_BIT_RATE_LIST, IDC_VBR_QUALITY_LIST}) {
    EXPECT_FALSE(Enabled(list)) << list;
  }
  EXPECT_TRUE(Enabled(IDC_ENCODING_QUALITY)) << "the slider serves both modes";
  PumpMessages(200);
  SaveScreenshot("audio-settings.bmp");
}

TEST_F(AudioSettingsTest, ValuesThatFitNoEntryShowTheirNearest) {
  CSettingsStore& settings = Settings();
  settings.SetUInt(BytesPerSample, 1);
  settings.SetUInt(SamplesPerSecond, 48000);  // no such entry: shown as 44100
  settings.SetUInt(Channels, 2);
  settings.SetUInt(Mp3BitRateType, 1);
  settings.SetUInt(Mp3VbrQuality, 12);   // no such entry: nothing selected
  settings.SetUInt(Mp3EncQuality, 12);   // beyond the slider: clamped, no label
  Open();
  EXPECT_EQ(Shown(IDC_BITS_PER_SAMPLE), "8");
  EXPECT_EQ(Shown(IDC_SAMPLE_RATE), "44100");
  EXPECT_TRUE(Checked(IDC_STEREO));
  EXPECT_TRUE(Checked(IDC_VARIABLE_BIT_RATE));
  EXPECT_FALSE(Enabled(IDC_CONST_BIT_RATE_LIST));
  EXPECT_TRUE(Enabled(IDC_MIN_BIT_RATE_LIST));
  EXPECT_EQ(Shown(IDC_VBR_QUALITY_LIST), "");
  EXPECT_EQ(SliderPosition(), 9);
  EXPECT_EQ(WindowText(Item(IDC_ENCODING_QUALITY_LABEL)), "");
  ClickItem(hwnd, IDOK);
  EXPECT_EQ(settings.GetUInt(SamplesPerSecond), 44100u);
  EXPECT_EQ(settings.GetUInt(Mp3VbrQuality), 0u) << "no selection reads as 0";
  EXPECT_EQ(settings.GetUInt(Mp3EncQuality), 9u);
}

TEST_F(AudioSettingsTest, BitRateListsFollowTheRateFromTheStoredValues) {
  CSettingsStore& settings = Settings();
  settings.SetUInt(Mp3MinBitRate, 20);
  settings.SetUInt(Mp3MaxBitRate, 320);
  Open();
  EXPECT_EQ(Shown(IDC_CONST_BIT_RATE_LIST), "128 kbps");
  EXPECT_EQ(Shown(IDC_MIN_BIT_RATE_LIST), "32 kbps") << "below the table: its first entry";
  EXPECT_EQ(Shown(IDC_MAX_BIT_RATE_LIST), "320 kbps");

  SelectComboItem(hwnd, IDC_CONST_BIT_RATE_LIST, 10);  // "192 kbps", not stored until OK
  SelectRate("22050");
  EXPECT_EQ(ComboSelection(Item(IDC_CONST_BIT_RATE_LIST)), "128 kbps") << "from the stored value again";
  char first[32] = {};
  ::SendMessageA(Item(IDC_CONST_BIT_RATE_LIST), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
  EXPECT_STREQ(first, "8 kbps");
  EXPECT_EQ(Count(IDC_CONST_BIT_RATE_LIST), 14);
  EXPECT_EQ(Shown(IDC_MIN_BIT_RATE_LIST), "16 kbps");

  SelectRate("8000");
  EXPECT_EQ(Shown(IDC_MAX_BIT_RATE_LIST), "160 kbps") << "above the table: its last entry";
  SelectRate("44100");
  EXPECT_EQ(Shown(IDC_MAX_BIT_RATE_LIST), "320 kbps");
  SelectRate("8000");
  ClickItem(hwnd, IDOK);
  EXPECT_EQ(settings.GetUInt(Mp3MaxBitRate), 160u);
  EXPECT_EQ(settings.GetUInt(Mp3MinBitRate), 16u);
  EXPECT_EQ(settings.GetUInt(SamplesPerSecond), 8000u);
  EXPECT_EQ(dialog.m_hWnd, nullptr) << "OK ends the dialog";
}

TEST_F(AudioSettingsTest, VariableModeDisablesTheConstantListButStillWritesIt) {
  Open();
  SelectComboItem(hwnd, IDC_CONST_BIT_RATE_LIST, 10);  // "192 kbps"
  ClickItem(hwnd, IDC_VARIABLE_BIT_RATE);
  EXPECT_TRUE(Checked(IDC_VARIABLE_BIT_RATE));
  EXPECT_FALSE(Checked(IDC_CONSTANT_BIT_RATE));
  EXPECT_FALSE(Enabled(IDC_CONST_BIT_RATE_LIST));
  for (const int list : {IDC_MIN_BIT_RATE_LIST, IDC_MAX_BIT_RATE_LIST, IDC_VBR_QUALITY_LIST}) {
    EXPECT_TRUE(Enabled(list)) << list;
  }
  ClickItem(hwnd, IDC_CONSTANT_BIT_RATE);
  EXPECT_TRUE(Enabled(IDC_CONST_BIT_RATE_LIST));
  EXPECT_FALSE(Enabled(IDC_MAX_BIT_RATE_LIST));
  ClickItem(hwnd, IDC_VARIABLE_BIT_RATE);
  ClickItem(hwnd, IDOK);
  EXPECT_EQ(Settings().GetUInt(Mp3BitRateType), 1u);
  EXPECT_EQ(Settings().GetUInt(Mp3ConstBitRate), 192u);
}

TEST_F(AudioSettingsTest, QualityLabelFollowsTheSlider) {
  Open();
  const struct {
    WPARAM key;
    int position;
    const char* label;
  } steps[] = {
      {VK_RIGHT, 6, "Medium"}, {VK_RIGHT, 7, "Low"}, {VK_END, 9, "Fast mode"},
      {VK_LEFT, 8, "Low"},     {VK_HOME, 0, "High"}, {VK_RIGHT, 1, "High"},
  };
  for (const auto& step : steps) {
    PressKey(IDC_ENCODING_QUALITY, step.key);
    ASSERT_EQ(SliderPosition(), step.position) << step.key;
    EXPECT_EQ(WindowText(Item(IDC_ENCODING_QUALITY_LABEL)), step.label) << step.position;
  }
}

// A user changes every control; the keys OK writes, and only they, take the new values.
TEST_F(AudioSettingsTest, OkWritesExactlyTheDialogsSettingsAndCancelNothing) {
  auto changeEverything = [&] {
    SelectComboItem(hwnd, IDC_BITS_PER_SAMPLE, 0);
    SelectRate("11025");
    ClickItem(hwnd, IDC_STEREO);
    ClickItem(hwnd, IDC_VARIABLE_BIT_RATE);
    SelectComboItem(hwnd, IDC_CONST_BIT_RATE_LIST, 2);  // "24 kbps"
    SelectComboItem(hwnd, IDC_MIN_BIT_RATE_LIST, 12);   // "144 kbps": above the maximum, kept
    SelectComboItem(hwnd, IDC_MAX_BIT_RATE_LIST, 4);    // "40 kbps"
    SelectComboItem(hwnd, IDC_VBR_QUALITY_LIST, 2);
    PressKey(IDC_ENCODING_QUALITY, VK_END);
  };
  const std::map<std::string, std::string> before = StoredSettings();
  Open();
  changeEverything();
  ClickItem(hwnd, IDCANCEL);
  EXPECT_EQ(dialog.m_hWnd, nullptr) << "Cancel ends the dialog";
  EXPECT_EQ(StoredSettings(), before) << "Cancel writes nothing";

  Open();
  changeEverything();
  ClickItem(hwnd, IDOK);
  std::map<std::string, std::string> expected = before;
  expected["BytesPerSample"] = "1";
  expected["SamplesPerSecond"] = "11025";
  expected["Channels"] = "2";
  expected["Mp3BitRateType"] = "1";
  expected["Mp3ConstBitRate"] = "24";
  expected["Mp3MinBitRate"] = "144";
  expected["Mp3MaxBitRate"] = "40";
  expected["Mp3VbrQuality"] = "2";
  expected["Mp3EncQuality"] = "9";
  EXPECT_EQ(StoredSettings(), expected);
}

}  // namespace
