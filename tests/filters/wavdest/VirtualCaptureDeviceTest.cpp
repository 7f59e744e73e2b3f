// The virtual capture device that the recorder and main-window tests rely on.
#include <gtest/gtest.h>

#include <dshow.h>
#include <evcode.h>

#include <cmath>
#include <string>
#include <vector>

#include "filters/kit/InterfaceIds.h"
#include "filters/kit/MediaType.h"
#include "support/TempDir.h"
#include "tests/filters/wavdest/RecordingGraph.h"

namespace {

// Friendly names of the category's entries, in the enumerator's order ("" for no name).
std::vector<std::wstring> CategoryNames() {
  std::vector<std::wstring> names;
  CComPtr<ICreateDevEnum> devices;
  CComPtr<IEnumMoniker> monikers;
  if (FAILED(::CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                devices.PutVoid())) ||
      devices->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, monikers.Put(), 0) != S_OK) {
    return names;
  }
  CComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.Put(), nullptr) == S_OK) {
    CComPtr<IPropertyBag> bag;
    VARIANT name;
    ::VariantInit(&name);
    bool named = SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())) &&
                 SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR;
    names.push_back(named ? name.bstrVal : L"");
    ::VariantClear(&name);
  }
  return names;
}

std::vector<std::wstring> PinNames(IBaseFilter* filter) {
  std::vector<std::wstring> names;
  CComPtr<IEnumPins> pins;
  filter->EnumPins(pins.Put());
  CComPtr<IPin> pin;
  while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
    PIN_INFO info{};
    pin->QueryPinInfo(&info);
    if (info.pFilter) info.pFilter->Release();
    names.push_back(std::wstring(info.dir == PINDIR_INPUT ? L"in:" : L"out:") + info.achName +
                    (ComQuery<IAMAudioInputMixer>(pin.Get()) ? L"+mixer" : L""));
  }
  return names;
}

TEST(VirtualCaptureDevice, ListsTheStandardEntriesFirst) {
  CFilterTestEnvironment environment;
  std::vector<std::wstring> names = CategoryNames();
  ASSERT_GE(names.size(), 6u);
  const std::vector<std::wstring> expected = {L"Sondrel Test Capture", L"Sondrel Test Capture",
                                              L"SONDREL TEST CAPTURE", L"Test Capture Without Inputs",
                                              L"Test Capture Without Mixer", L""};
  EXPECT_EQ(std::vector<std::wstring>(names.begin(), names.begin() + 6), expected);
}

TEST(VirtualCaptureDevice, HasTheInputLinesOfEachDevice) {
  CFilterTestEnvironment environment;
  struct {
    int device;
    std::vector<std::wstring> pins;
  } cases[] = {
      {0, {L"in:Microphone+mixer", L"in:Line In+mixer", L"in:CD Audio+mixer", L"out:Capture"}},
      {3, {L"out:Capture"}},
      {4, {L"in:Microphone+mixer", L"in:Aux", L"out:Capture"}},
  };
  for (const auto& c : cases) {
    CComPtr<IBaseFilter> filter;
    ASSERT_EQ(::CoCreateInstance(CTestCapture::DeviceClass(c.device), nullptr, CLSCTX_ALL, IID_IBaseFilter,
                                 filter.PutVoid()),
              S_OK);
    EXPECT_EQ(PinNames(filter.Get()), c.pins) << "device " << c.device;
  }
}

// What a program switches on the mixers is recorded for the test, and a line's tone follows
// its level while enabled; silence when none is.
TEST(VirtualCaptureDevice, RecordsMixerCallsAndScalesTonesByLevel) {
  CFilterTestEnvironment environment;
  TempDir folder;
  const PcmFormat format{1, 22050, 16};
  environment.capture.SetPacing(0, TestPacing::Fast);
  environment.capture.SetFrameLimit(0, format.sampleRate);
  struct {
    bool enable;
    double level;
    double expectedPeak;
  } cases[] = {{true, 1.0, 0.5}, {true, 0.5, 0.25}, {false, 1.0, 0.0}};
  int run = 0;
  for (const auto& c : cases) {
    std::string path = folder.File("tone" + std::to_string(run++) + ".wav");
    {
      CRecordingGraph recording;
      ASSERT_EQ(recording.Build(0, path, format), S_OK);
      CComPtr<IEnumPins> pins;
      recording.capture->EnumPins(pins.Put());
      CComPtr<IPin> pin;
      for (int index = 0; pins->Next(1, pin.Put(), nullptr) == S_OK; ++index) {
        CComPtr<IAMAudioInputMixer> mixer = ComQuery<IAMAudioInputMixer>(pin.Get());
        if (!mixer) continue;
        mixer->put_Enable(index == 1 && c.enable);
        if (index == 1) mixer->put_MixLevel(c.level);
      }
      ASSERT_GE(recording.control->Run(), 0);
      ASSERT_TRUE(environment.capture.WaitForFrames(0, format.sampleRate, 10000));
      recording.control->Stop();
    }
    TestDeviceState state = environment.capture.State(0);
    EXPECT_EQ(state.lines[1].enabled, c.enable ? 1 : 0);
    EXPECT_EQ(state.lines[0].enabled, 0);
    EXPECT_DOUBLE_EQ(state.lines[1].level, c.level);

    std::string data = ReadWholeFile(path).substr(kWaveHeaderSize);
    ASSERT_EQ(data.size(), format.sampleRate * 2u);
    int peak = 0;
    int risingCrossings = 0;
    int previous = 0;
    for (size_t i = 0; i < data.size(); i += 2) {
      int sample = static_cast<int16_t>(static_cast<uint8_t>(data[i]) | static_cast<uint8_t>(data[i + 1]) << 8);
      peak = std::max(peak, std::abs(sample));
      if (previous < 0 && sample >= 0) ++risingCrossings;
      previous = sample;
    }
    EXPECT_NEAR(peak / 32767.0, c.expectedPeak, 0.01);
    // "Line In" sings at 1000 Hz: one rising zero crossing per period, over one second.
    if (c.enable) {
      EXPECT_NEAR(risingCrossings, 1000, 2);
    }
  }
  TestDeviceState state = environment.capture.State(0);
  EXPECT_EQ(state.lines[1].enableCalls, 2u);
  EXPECT_EQ(state.lines[1].disableCalls, 1u);
  EXPECT_EQ(state.lines[1].levelCalls, 3u);
}

// Like a hardware pin, the connected capture pin reconnects for a new format; the suggested
// buffers take effect then, and the downstream input sees the new format.
TEST(VirtualCaptureDevice, SetFormatOnAConnectedPinReconnects) {
  CFilterTestEnvironment environment;
  TempDir folder;
  CRecordingGraph recording;
  const PcmFormat format{1, 8000, 8};
  ASSERT_EQ(recording.Build(0, folder.File("format.wav"), format, 800), S_OK);
  TestDeviceState state = environment.capture.State(0);
  EXPECT_EQ(state.setFormatCalls, 1u);
  EXPECT_EQ(state.lastSetFormatResult, S_OK);
  EXPECT_EQ(state.connections, 2u);
  EXPECT_EQ(state.agreed.buffers, 6);
  EXPECT_EQ(state.agreed.bufferSize, 800);
  EXPECT_EQ(state.suggested.bufferSize, 800);

  CComPtr<IPin> writerInput = FirstPin(recording.writer.Get(), PINDIR_INPUT);
  AM_MEDIA_TYPE type{};
  ASSERT_EQ(writerInput->ConnectionMediaType(&type), S_OK);
  EXPECT_TRUE(SameMediaType(type, PcmMediaType(MakePcmFormat(8000, 1, 8))));
  FreeMediaTypeContents(type);
  CComPtr<IAMStreamConfig> config = ComQuery<IAMStreamConfig>(FirstPin(recording.capture.Get(), PINDIR_OUTPUT).Get());
  AM_MEDIA_TYPE* current = nullptr;
  ASSERT_EQ(config->GetFormat(&current), S_OK);
  EXPECT_EQ(reinterpret_cast<WAVEFORMATEX*>(current->pbFormat)->nSamplesPerSec, 8000u);
  DeleteMediaType(current);
}

TEST(VirtualCaptureDevice, ReportsTheDeviceLostThroughTheGraph) {
  CFilterTestEnvironment environment;
  TempDir folder;
  CRecordingGraph recording;
  ASSERT_EQ(recording.Build(0, folder.File("lost.wav"), PcmFormat{1, 44100, 16}), S_OK);
  CComPtr<IMediaEventEx> events;
  ASSERT_EQ(recording.graph->QueryInterface(IID_IMediaEventEx, events.PutVoid()), S_OK);
  ASSERT_GE(recording.control->Run(), 0);
  environment.capture.ReportDeviceLost(0);
  long code = 0;
  LONG_PTR first = 0;
  LONG_PTR second = 1;
  bool lost = false;
  for (int i = 0; i < 50 && !lost; ++i) {
    if (events->GetEvent(&code, &first, &second, 100) != S_OK) continue;
    lost = code == EC_DEVICE_LOST;
    if (lost) {
      EXPECT_EQ(second, 0);
    }
    events->FreeEventParams(code, first, second);
  }
  EXPECT_TRUE(lost);
  EXPECT_EQ(environment.capture.State(0).deviceLostReported, 1u);
  recording.control->Stop();
}

}  // namespace
