// The recorder against the virtual capture device: the devices and input lines it finds,
// the graph it builds, the format it negotiates, and the files it leaves, checked by an
// independent decoder.
#include "recorder/Recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/SettingsStore.h"
#include "filters/mp3/AudioEncoderProperties.h"
#include "framework/Controls.h"
#include "recorder/CaptureDevices.h"
#include "support/AudioCheck.h"
#include "tests/recorder/RecorderTestEnvironment.h"

namespace {

// A combo box window of the test's own, for the functions that fill one.
class TestCombo {
 public:
  TestCombo() {
    HWND hwnd = ::CreateWindowExA(0, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                  nullptr, nullptr);
    combo.SubclassWindow(hwnd);
  }
  std::vector<std::string> Items() const {
    std::vector<std::string> items;
    for (int i = 0; i < combo.GetCount(); ++i) items.push_back(combo.GetLBText(i));
    return items;
  }
  CComboBox combo;
};

struct GraphFilter {
  std::string name;
  CComPtr<IBaseFilter> filter;
};

std::vector<GraphFilter> GraphFilters(IMediaEventEx* events) {
  std::vector<GraphFilter> found;
  CComPtr<IFilterGraph> graph = ComQuery<IFilterGraph>(events);
  CComPtr<IEnumFilters> filters;
  if (!graph || FAILED(graph->EnumFilters(filters.Put()))) return found;
  CComPtr<IBaseFilter> filter;
  while (filters->Next(1, filter.Put(), nullptr) == S_OK) {
    FILTER_INFO info{};
    filter->QueryFilterInfo(&info);
    if (info.pGraph) info.pGraph->Release();
    char name[128] = {};
    ::WideCharToMultiByte(CP_ACP, 0, info.achName, -1, name, sizeof name, nullptr, nullptr);
    found.push_back({name, filter});
  }
  return found;
}

std::vector<std::string> GraphFilterNames(IMediaEventEx* events) {
  std::vector<std::string> names;
  for (const GraphFilter& filter : GraphFilters(events)) names.push_back(filter.name);
  return names;
}

CComPtr<IAudioEncoderProperties> EncoderOf(IMediaEventEx* events) {
  CComPtr<IFilterGraph> graph = ComQuery<IFilterGraph>(events);
  CComPtr<IBaseFilter> encoder;
  if (graph) graph->FindFilterByName(L"Lame MP3", encoder.Put());
  return encoder ? ComQuery<IAudioEncoderProperties>(encoder.Get()) : CComPtr<IAudioEncoderProperties>();
}

class RecorderTest : public ::testing::Test {
 protected:
  RecorderTestEnvironment env;
  CRecorder recorder;

  std::string File(const char* name) const { return env.folder.File(name); }

  // Prepares the recorder as the main dialog does before a start.
  void Prepare(const std::string& file, const char* device = kMainDeviceName, const char* input = "Microphone") {
    recorder.SetOutputFile(file);
    recorder.SetDevice(device);
    recorder.SetInputLine(input);
  }

  // Records `frames` frames as fast as the graph takes them, then stops.
  void RecordFrames(unsigned format, uint64_t frames, TestSignal signal = TestSignal::Tone) {
    env.capture.SetPacing(MainDevice, TestPacing::Fast);
    env.capture.SetSignal(MainDevice, signal);
    env.capture.SetFrameLimit(MainDevice, frames);
    ASSERT_EQ(recorder.Start(format, nullptr), S_OK);
    ASSERT_TRUE(env.capture.WaitForFrames(MainDevice, frames, 20000));
    ::Sleep(200);  // the last buffers reach the file
    EXPECT_EQ(recorder.Stop(), S_OK);
  }
};

TEST_F(RecorderTest, ListsDevicesInOrderSkippingOnesWithoutName) {
  TestCombo list;
  ASSERT_EQ(FillDeviceCombo(list.combo), S_OK);
  std::vector<std::string> items = list.Items();
  ASSERT_GE(items.size(), 5u);
  items.resize(5);  // Wine's own devices follow
  EXPECT_EQ(items, (std::vector<std::string>{"Sondrel Test Capture", "Sondrel Test Capture", "SONDREL TEST CAPTURE",
                                              "Test Capture Without Inputs", "Test Capture Without Mixer"}));
}

TEST_F(RecorderTest, FindsDevicesByExactNameFirstMatchWinning) {
  const struct {
    const char* name;
    HRESULT result;
    int device;  // whose filter is created; -1 for none
  } cases[] = {
      {"Sondrel Test Capture", S_OK, MainDevice},
      {"SONDREL TEST CAPTURE", S_OK, UpperCaseDevice},
      {nullptr, S_OK, MainDevice},
      {"sondrel test capture", E_FAIL, -1},
      {"No Such Device", E_FAIL, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name ? c.name : "(no name)");
    std::vector<uint32_t> before;
    for (int d = 0; d < 5; ++d) before.push_back(env.capture.State(d).filtersCreated);
    CComPtr<IBaseFilter> filter;
    EXPECT_EQ(FindCaptureFilter(c.name, filter), c.result);
    EXPECT_EQ(static_cast<bool>(filter), c.device >= 0);
    for (int d = 0; d < 5; ++d) {
      EXPECT_EQ(env.capture.State(d).filtersCreated - before[d], d == c.device ? 1u : 0u) << "device " << d;
    }
  }
}

TEST_F(RecorderTest, ListsInputLinesAndTheEnabledOne) {
  const struct {
    const char* device;
    HRESULT result;
    std::vector<std::string> lines;
  } cases[] = {
      {kMainDeviceName, S_OK, {"Microphone", "Line In", "CD Audio"}},
      {"Test Capture Without Inputs", S_OK, {}},
      {"Test Capture Without Mixer", S_OK, {"Microphone", "Aux"}},
      {"No Such Device", E_FAIL, {}},
      {nullptr, E_POINTER, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.device ? c.device : "(no name)");
    TestCombo list;
    int enabled = -1;
    EXPECT_EQ(FillInputCombo(c.device, list.combo, enabled), c.result);
    EXPECT_EQ(list.Items(), c.lines);
    EXPECT_EQ(enabled, 0);
  }
  env.capture.SetLine(MainDevice, 0, false, 1.0);
  env.capture.SetLine(MainDevice, 2, true, 1.0);
  TestCombo list;
  int enabled = -1;
  FillInputCombo(kMainDeviceName, list.combo, enabled);
  EXPECT_EQ(enabled, 2);
}

TEST_F(RecorderTest, SelectsExactlyTheChosenLine) {
  CComPtr<IBaseFilter> filter;
  ASSERT_EQ(FindCaptureFilter(kMainDeviceName, filter), S_OK);
  ASSERT_EQ(SelectInputLine(0.7, "Line In", filter.Get()), S_OK);
  TestDeviceState state = env.capture.State(MainDevice);
  EXPECT_FALSE(state.lines[0].enabled);
  EXPECT_TRUE(state.lines[1].enabled);
  EXPECT_FALSE(state.lines[2].enabled);
  EXPECT_DOUBLE_EQ(state.lines[1].level, 0.7);
  EXPECT_EQ(state.lines[0].levelCalls + state.lines[2].levelCalls, 0u);

  ASSERT_EQ(SelectInputLine(0.2, "line in", filter.Get()), S_OK);  // no pin of that name
  state = env.capture.State(MainDevice);
  for (int line = 0; line < 3; ++line) EXPECT_FALSE(state.lines[line].enabled) << line;
  EXPECT_EQ(state.lines[1].levelCalls, 1u) << "no level is set without a match";
  EXPECT_EQ(SelectInputLine(0.5, nullptr, filter.Get()), E_POINTER);

  CComPtr<IBaseFilter> withoutMixer;
  ASSERT_EQ(FindCaptureFilter("Test Capture Without Mixer", withoutMixer), S_OK);
  ASSERT_EQ(SelectInputLine(0.3, "Aux", withoutMixer.Get()), S_OK);
  state = env.capture.State(NoMixerDevice);
  EXPECT_FALSE(state.lines[0].enabled);
  EXPECT_EQ(state.lines[1].enableCalls + state.lines[1].disableCalls + state.lines[1].levelCalls, 0u)
      << "a line without mixer is left alone";
}

TEST_F(RecorderTest, FindsPinsByDirection) {
  CComPtr<IBaseFilter> filter;
  ASSERT_EQ(FindCaptureFilter(kMainDeviceName, filter), S_OK);
  CComPtr<IPin> pin;
  ASSERT_EQ(FindPin(filter.Get(), PINDIR_OUTPUT, pin), S_OK);  // after three input pins
  PIN_DIRECTION direction = PINDIR_INPUT;
  pin->QueryDirection(&direction);
  EXPECT_EQ(direction, PINDIR_OUTPUT);
  EXPECT_EQ(FindPin(nullptr, PINDIR_OUTPUT, pin), E_POINTER);
  CComPtr<IBaseFilter> noInputs;
  ASSERT_EQ(FindCaptureFilter("Test Capture Without Inputs", noInputs), S_OK);
  EXPECT_EQ(FindPin(noInputs.Get(), PINDIR_INPUT, pin), E_FAIL);
  EXPECT_FALSE(pin);
}

struct FormatCase {
  uint32_t rate, bytes, channels;
  uint32_t wantRate, wantBits, wantChannels;
};

class RecorderFormatTest : public RecorderTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(RecorderFormatTest, NegotiatesTheClampedFormat) {
  const FormatCase& c = GetParam();
  const std::string file = File("format.wav");
  Prepare(file);
  recorder.m_sampleRate = c.rate;
  recorder.m_bytesPerSample = c.bytes;
  recorder.m_channels = c.channels;
  RecordFrames(1, c.wantRate / 5);
  const uint32_t block = c.wantBits / 8 * c.wantChannels;
  const TestDeviceState state = env.capture.State(MainDevice);
  EXPECT_EQ(state.format.sampleRate, c.wantRate);
  EXPECT_EQ(state.format.bitsPerSample, c.wantBits);
  EXPECT_EQ(state.format.channels, c.wantChannels);
  EXPECT_EQ(state.suggested.buffers, 6);
  EXPECT_EQ(state.suggested.bufferSize, int32_t(c.wantRate * block / 10));  // 100 ms
  EXPECT_EQ(state.suggested.alignment, int32_t(block));
  EXPECT_EQ(state.suggested.prefix, 0);

  const WaveFile wave = ReadWaveHeader(file);
  ASSERT_TRUE(wave.valid);
  EXPECT_EQ(wave.sampleRate, c.wantRate);
  EXPECT_EQ(wave.bitsPerSample, c.wantBits);
  EXPECT_EQ(wave.channels, c.wantChannels);
  EXPECT_EQ(wave.bytesPerSecond, c.wantRate * block);
  EXPECT_EQ(wave.dataSize, c.wantRate / 5 * block);
  EXPECT_EQ(wave.fileSize, wave.riffSize + 8u);
}

INSTANTIATE_TEST_SUITE_P(Formats, RecorderFormatTest,
                         ::testing::Values(FormatCase{44100, 2, 1, 44100, 16, 1},  // the defaults: 88200 B/s
                                           FormatCase{48000, 2, 1, 44100, 16, 1}, FormatCase{22050, 1, 2, 22050, 8, 2},
                                           FormatCase{8000, 0, 0, 8000, 16, 2}, FormatCase{11025, 3, 5, 11025, 16, 2}));

TEST_F(RecorderTest, WavGraphHasExactlyThreeFilters) {
  Prepare(File("three.wav"));
  ASSERT_EQ(recorder.Start(1, nullptr), S_OK);
  std::vector<std::string> names = GraphFilterNames(recorder.MediaEvents());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Audio Capture", "File Writer", "Wave Dest"}));
  EXPECT_EQ(recorder.Stop(), S_OK);
}

TEST_F(RecorderTest, Mp3SendsOnlyTheSettingsOfItsBitRateMode) {
  // Values the encoder takes at 11025 Hz (8 to 64 kbit/s there), none of them its default.
  Settings().SetUInt(Mp3ConstBitRate, 56);
  Settings().SetUInt(Mp3MinBitRate, 24);
  Settings().SetUInt(Mp3MaxBitRate, 48);
  Settings().SetUInt(Mp3VbrQuality, 2);
  for (const uint32_t variable : {0u, 1u}) {
    SCOPED_TRACE(variable ? "VBR" : "CBR");
    Settings().SetUInt(Mp3BitRateType, variable);
    Prepare(File("mode.mp3"));
    recorder.m_sampleRate = 8000;
    ASSERT_EQ(recorder.Start(kFormatMp3, nullptr), S_OK);
    std::vector<std::string> names = GraphFilterNames(recorder.MediaEvents());
    EXPECT_NE(std::find(names.begin(), names.end(), "Lame MP3"), names.end());
    CComPtr<IAudioEncoderProperties> encoder = EncoderOf(recorder.MediaEvents());
    ASSERT_TRUE(encoder);
    DWORD rate = 0, source = 0, bitrate = 0, minimum = 0, maximum = 0, quality = 0;
    encoder->get_SourceSampleRate(&source);
    encoder->get_SampleRate(&rate);
    encoder->get_Bitrate(&bitrate);
    encoder->get_VariableMin(&minimum);
    encoder->get_VariableMax(&maximum);
    encoder->get_VariableQ(&quality);
    EXPECT_EQ(source, 8000u);
    EXPECT_EQ(rate, 11025u) << "MPEG audio starts at 11025 here";
    EXPECT_EQ(bitrate == 56, variable == 0) << bitrate;
    EXPECT_EQ(minimum == 24 && maximum == 48 && quality == 2, variable == 1)
        << minimum << " " << maximum << " " << quality;
    EXPECT_EQ(recorder.Stop(), S_OK);
  }
}

TEST_F(RecorderTest, StartFailures) {
  const std::string existing = File("existing.wav");
  WriteWholeFile(existing, "old");
  CRecorder unnamed;
  unnamed.SetOutputFile(existing);
  EXPECT_EQ(unnamed.Start(1, nullptr), E_INVALIDARG) << "no device or input line given";
  EXPECT_FALSE(FileExists(existing)) << "the caller agreed to replace it before the start";
  EXPECT_FALSE(unnamed.HasGraph());
  WriteWholeFile(existing, "old");

  Prepare(existing, "No Such Device");
  EXPECT_EQ(recorder.Start(1, nullptr), E_FAIL);
  EXPECT_FALSE(FileExists(existing)) << "the old file goes before the graph is built";
  EXPECT_EQ(recorder.Stop(), S_OK);
}

// The File Writer cannot make the file (its folder is gone), so Run fails part-way, after
// the filters upstream of it have paused. The graph stays until the next Start releases it,
// which only returns when none of its filters is left streaming.
TEST_F(RecorderTest, AFailedRunLeavesEveryFilterStoppedAndTheNextStartRecords) {
  for (const unsigned format : {1u, kFormatMp3}) {
    SCOPED_TRACE(format == kFormatMp3 ? "MP3" : "WAV");
    const std::string folder = File(format == kFormatMp3 ? "gone-mp3" : "gone-wav");
    const std::string file = folder + (format == kFormatMp3 ? "\\take.mp3" : "\\take.wav");
    Prepare(file);
    EXPECT_LT(recorder.Start(format, nullptr), 0);
    ASSERT_TRUE(recorder.HasGraph()) << "the graph of a failed start stays until the next";
    for (const GraphFilter& filter : GraphFilters(recorder.MediaEvents())) {
      FILTER_STATE state = State_Running;
      filter.filter->GetState(0, &state);
      ASSERT_EQ(state, State_Stopped) << filter.name << " was left streaming";
    }

    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    Prepare(file);
    RecordFrames(format, 44100);
    const DecodedAudio audio = DecodeWithFfmpeg(file);
    ASSERT_EQ(audio.error, "");
    EXPECT_NEAR(audio.Seconds(), 1.0, 0.1);
  }
}

TEST(RecorderWithoutEncoder, Mp3FailsAtTheConnectionWavStillWorks) {
  RecorderTestEnvironment env(std::vector<CLSID>{CLSID_WaveDest});
  if (CBundledFilters::IsRegisteredWithSystem(CLSID_LameMp3Encoder)) GTEST_SKIP() << "an encoder is installed";
  CRecorder recorder;
  for (const unsigned format : {kFormatMp3, 1u}) {
    recorder.SetOutputFile(env.folder.File(format == kFormatMp3 ? "take.mp3" : "take.wav"));
    recorder.SetDevice(kMainDeviceName);
    recorder.SetInputLine("Microphone");
    const HRESULT hr = recorder.Start(format, nullptr);
    if (format == kFormatMp3) {
      EXPECT_LT(hr, 0);
    } else {
      EXPECT_EQ(hr, S_OK);
    }
    recorder.Stop();
  }
}

TEST_F(RecorderTest, StopWithoutStartResetsTheLevel) {
  recorder.m_level = 0.9;
  EXPECT_EQ(recorder.Stop(), S_OK);
  EXPECT_DOUBLE_EQ(recorder.m_level, 0.5);
  EXPECT_FALSE(recorder.HasGraph());
}

TEST_F(RecorderTest, RecordsTheChosenLineAtTheChosenLevel) {
  const std::string full = File("full.wav");
  const std::string half = File("half.wav");
  for (const auto& [file, level] : {std::pair{full, 1.0}, std::pair{half, 0.5}}) {
    Prepare(file, kMainDeviceName, "Line In");  // 1000 Hz
    recorder.m_level = level;
    RecordFrames(1, 44100);
  }
  const DecodedAudio fullAudio = DecodeWithFfmpeg(full);
  const DecodedAudio halfAudio = DecodeWithFfmpeg(half);
  ASSERT_EQ(fullAudio.error, "");
  ASSERT_EQ(halfAudio.error, "");
  EXPECT_NEAR(fullAudio.Seconds(), 1.0, 0.001);
  EXPECT_NEAR(ToneFrequency(fullAudio.samples, fullAudio.sampleRate), 1000.0, 10.0);
  const double ratio = double(PeakAmplitude(halfAudio.samples)) / PeakAmplitude(fullAudio.samples);
  EXPECT_NEAR(ratio, 0.5, 0.02) << "AudioVolume 50 records at half the level";
}

TEST_F(RecorderTest, PausedTimeIsNotRecorded) {
  const std::string file = File("paused.wav");
  Prepare(file);
  ASSERT_EQ(recorder.Start(1, nullptr), S_OK);
  ::Sleep(1000);
  recorder.Pause();
  ::Sleep(1500);
  recorder.Resume();
  ::Sleep(1000);
  EXPECT_EQ(recorder.Stop(), S_OK);
  const DecodedAudio audio = DecodeWithFfmpeg(file);
  ASSERT_EQ(audio.error, "");
  EXPECT_NEAR(audio.Seconds(), 2.0, 0.4) << "two seconds recorded around a pause of one and a half";
}

// Also where the capture pin reconnects with its new format from another thread, as
// Windows may: the encoder's source rate is read once the reconnection is done.
TEST_F(RecorderTest, Mp3At8000HzGivesAnElevenKilohertzFile) {
  for (const bool async : {false, true}) {
    SCOPED_TRACE(async ? "reconnected from another thread" : "reconnected at once");
    env.capture.SetAsyncReconnect(MainDevice, async);
    const std::string file = File(async ? "low-async.mp3" : "low.mp3");
    Prepare(file);
    recorder.m_sampleRate = 8000;
    RecordFrames(kFormatMp3, 8000 * 2);
    const TestDeviceState state = env.capture.State(MainDevice);
    EXPECT_EQ(state.format.sampleRate, 8000u);
    EXPECT_EQ(state.lastSetFormatResult, S_OK);
    const DecodedAudio audio = DecodeWithFfmpeg(file);
    ASSERT_EQ(audio.error, "");
    EXPECT_EQ(audio.sampleRate, 11025u);
    EXPECT_NEAR(audio.Seconds(), 2.0, 0.05);
    EXPECT_NEAR(ToneFrequency(audio.samples, audio.sampleRate), 440.0, 4.4);
  }
}

// AudioVolume / 100 of a hand-edited file can be anything; the mixer gets it within 0..1.
TEST_F(RecorderTest, LevelReachesTheMixerWithinItsRange) {
  const struct {
    double level;
    double applied;
  } cases[] = {{21474836.47, 1.0}, {-0.5, 0.0}, {0.25, 0.25}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    env.capture.SetLine(MainDevice, 0, false, 0.5);
    const uint32_t calls = env.capture.State(MainDevice).lines[0].levelCalls;
    Prepare(File("level.wav"));
    recorder.m_level = c.level;
    ASSERT_EQ(recorder.Start(1, nullptr), S_OK);
    const TestDeviceState state = env.capture.State(MainDevice);
    EXPECT_EQ(state.lines[0].levelCalls, calls + 1) << "the mixer refused the level";
    EXPECT_DOUBLE_EQ(state.lines[0].level, c.applied);
    EXPECT_EQ(recorder.Stop(), S_OK);
  }
}

// The main window's destruction releases the recorder without stopping it; the file must
// still be complete. So must a recording whose device was removed.
TEST_F(RecorderTest, AbandonedAndDeviceLostRecordingsAreComplete) {
  for (const bool deviceLost : {false, true}) {
    SCOPED_TRACE(deviceLost ? "device lost" : "released while running");
    const std::string file = File(deviceLost ? "lost.wav" : "released.wav");
    {
      CRecorder abandoned;
      abandoned.SetOutputFile(file);
      abandoned.SetDevice(kMainDeviceName);
      abandoned.SetInputLine("Microphone");
      env.capture.SetPacing(MainDevice, TestPacing::Fast);
      env.capture.SetFrameLimit(MainDevice, 44100);
      ASSERT_EQ(abandoned.Start(1, nullptr), S_OK);
      ASSERT_TRUE(env.capture.WaitForFrames(MainDevice, 44100, 20000));
      ::Sleep(200);
      if (deviceLost) {
        env.capture.ReportDeviceLost(MainDevice);
        long code = 0;
        LONG_PTR first = 0, second = 1;
        bool seen = false;
        for (int i = 0; i < 100 && !seen; ++i) {
          if (SUCCEEDED(abandoned.MediaEvents()->GetEvent(&code, &first, &second, 50))) {
            seen = code == EC_DEVICE_LOST && second == 0;
            abandoned.MediaEvents()->FreeEventParams(code, first, second);
          }
        }
        EXPECT_TRUE(seen) << "EC_DEVICE_LOST with 0 reaches the owner";
        EXPECT_EQ(abandoned.Stop(), S_OK);
      }
    }
    const WaveFile wave = ReadWaveHeader(file);
    ASSERT_TRUE(wave.valid);
    EXPECT_EQ(wave.dataSize, 44100u * 2);
    EXPECT_EQ(wave.fileSize, wave.riffSize + 8u);
    const DecodedAudio audio = DecodeWithFfmpeg(file);
    EXPECT_EQ(audio.error, "");
    EXPECT_NEAR(audio.Seconds(), 1.0, 0.001);
  }
}

}  // namespace
