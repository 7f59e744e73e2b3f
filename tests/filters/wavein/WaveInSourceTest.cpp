// "Sondrel Audio Capture" in a real filter graph under Wine, capturing from the null sink's
// monitor of a PulseAudio daemon of the test's own (scripts/wine-live.sh), with a sink of the
// test's own that keeps every sample it receives.
#include "filters/wavein/WaveInSource.h"

#include <control.h>
#include <evcode.h>
#include <gtest/gtest.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <chrono>
#include <cmath>
#include <future>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/BundledFilters.h"
#include "filters/FilterClassIds.h"
#include "filters/kit/BasePin.h"
#include "filters/kit/MediaType.h"
#include "recorder/CaptureDevices.h"
#include "support/AudioCheck.h"
#include "support/LiveAudio.h"
#include "support/TempDir.h"

namespace {

constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;
// The first capture stream of a process gets its first audio a second or more after it starts
// (Wine's and PulseAudio's start-up, longer on a busy machine; later streams within 0.2 s):
// a graph's first run here waits for its first buffers rather than for a fixed time.
constexpr auto kFirstAudioTimeout = std::chrono::seconds(15);

struct Received {
  REFERENCE_TIME start = 0, stop = 0;
  size_t bytes = 0;
  bool discontinuity = false;
};

// Keeps what arrives at its PCM input.
class CPcmSink : public CBaseFilter {
 public:
  CPcmSink() : CBaseFilter(GUID_NULL), m_pin(*this) {}
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &m_pin : nullptr; }

  std::vector<Received> Samples() {
    CAutoLock lock(m_dataLock);
    return m_samples;
  }
  // Every 16-bit sample of the first channel so far.
  std::vector<int16_t> FirstChannel(unsigned channels) {
    CAutoLock lock(m_dataLock);
    std::vector<int16_t> out;
    const auto* data = reinterpret_cast<const int16_t*>(m_bytes.data());
    for (size_t i = 0; i + channels <= m_bytes.size() / 2; i += channels) out.push_back(data[i]);
    return out;
  }
  void Clear() {
    CAutoLock lock(m_dataLock);
    m_samples.clear();
    m_bytes.clear();
  }

 private:
  class CPin : public CBaseInputPin {
   public:
    explicit CPin(CPcmSink& sink) : CBaseInputPin(sink, L"In"), m_sink(sink) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override {
      PcmFormat format;
      return PcmFormatOf(type, format) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT OnReceive(IMediaSample* sample) override {
      Received r;
      sample->GetTime(&r.start, &r.stop);
      r.bytes = size_t(sample->GetActualDataLength());
      r.discontinuity = sample->IsDiscontinuity() == S_OK;
      BYTE* data = nullptr;
      sample->GetPointer(&data);
      CAutoLock lock(m_sink.m_dataLock);
      m_sink.m_samples.push_back(r);
      m_sink.m_bytes.append(reinterpret_cast<const char*>(data), r.bytes);
      return S_OK;
    }

   private:
    CPcmSink& m_sink;
  };

  CCritSec m_dataLock;
  std::vector<Received> m_samples;
  std::string m_bytes;
  CPin m_pin;
};

// A property bag of integer values.
class CIntegerBag : public CComObjectBase<IPropertyBag> {
 public:
  explicit CIntegerBag(std::map<std::wstring, int> values) : m_values(std::move(values)) {}
  STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    auto found = m_values.find(name);
    if (found == m_values.end()) return E_INVALIDARG;
    ::VariantClear(value);
    value->vt = VT_I4;
    value->lVal = found->second;
    return S_OK;
  }
  STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }

 private:
  std::map<std::wstring, int> m_values;
};

// A filter without pins, as Wine's own audio capture filter is.
class CPinlessFilter : public CBaseFilter {
 public:
  CPinlessFilter() : CBaseFilter(GUID_NULL) {}
  int GetPinCount() override { return 0; }
  CBasePin* GetPin(int) override { return nullptr; }
};

struct ComApartment {
  ComApartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~ComApartment() { ::CoUninitialize(); }
};

CLSID ClassOf(IBaseFilter* filter) {
  CLSID clsid = GUID_NULL;
  if (filter) filter->GetClassID(&clsid);
  return clsid;
}

CComPtr<IPin> PinAt(IBaseFilter* filter, int index) {
  CComPtr<IEnumPins> pins;
  filter->EnumPins(pins.Put());
  CComPtr<IPin> pin;
  for (int i = 0; i <= index; ++i) {
    if (pins->Next(1, pin.Put(), nullptr) != S_OK) return nullptr;
  }
  return pin;
}

class WaveInSource : public ::testing::Test {
 protected:
  ComApartment com;
  CBundledFilters filters{BundledFiltersPath(), {CLSID_WaveInCapture}};
  TempDir folder;
};

TEST_F(WaveInSource, HasTheLineAndTheOutputPinsWithTheirInterfaces) {
  CComPtr<IBaseFilter> source;
  ASSERT_EQ(CreateWaveInSource(IID_IBaseFilter, source.PutVoid()), S_OK);
  EXPECT_EQ(ClassOf(source.Get()), CLSID_WaveInCapture);
  EXPECT_TRUE(ComQuery<IPersistPropertyBag>(source.Get()));
  EXPECT_TRUE(ComQuery<IMediaFilter>(source.Get()));

  struct Expected {
    const wchar_t* name;
    PIN_DIRECTION direction;
    std::vector<IID> interfaces;
  };
  const Expected expected[] = {
      {L"Capture", PINDIR_INPUT, {IID_IAMAudioInputMixer}},
      {L"Output", PINDIR_OUTPUT, {IID_IAMStreamConfig, IID_IAMBufferNegotiation}},
  };
  for (int i = 0; i < 2; ++i) {
    CComPtr<IPin> pin = PinAt(source.Get(), i);
    ASSERT_TRUE(pin) << i;
    PIN_INFO info{};
    ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
    if (info.pFilter) info.pFilter->Release();
    EXPECT_STREQ(info.achName, expected[i].name);
    EXPECT_EQ(info.dir, expected[i].direction);
    for (const IID& iid : expected[i].interfaces) {
      CComPtr<IUnknown> extra;
      EXPECT_EQ(pin->QueryInterface(iid, extra.PutVoid()), S_OK) << i;
    }
    CComPtr<IPin> found;
    EXPECT_EQ(source->FindPin(expected[i].name, found.Put()), S_OK);
    EXPECT_EQ(found.Get(), pin.Get());
  }
  EXPECT_FALSE(PinAt(source.Get(), 2));

  CComPtr<IAMAudioInputMixer> mixer;
  PinAt(source.Get(), 0)->QueryInterface(IID_IAMAudioInputMixer, mixer.PutVoid());
  BOOL enabled = FALSE;
  EXPECT_EQ(mixer->get_Enable(&enabled), S_OK);
  EXPECT_TRUE(enabled) << "the only line records unless switched off";
  EXPECT_EQ(mixer->put_MixLevel(1.5), E_INVALIDARG);
  EXPECT_EQ(mixer->put_MixLevel(0.25), S_OK);
  double level = 0;
  EXPECT_EQ(mixer->get_MixLevel(&level), S_OK);
  EXPECT_EQ(level, 0.25);
}

TEST_F(WaveInSource, TakesItsDeviceFromTheMonikersPropertyBag) {
  CComPtr<IPersistPropertyBag> source;
  ASSERT_EQ(CreateWaveInSource(IID_IPersistPropertyBag, source.PutVoid()), S_OK);
  EXPECT_EQ(source->Load(nullptr, nullptr), E_POINTER);
  EXPECT_TRUE(FAILED(source->Load(MakeComObject<CIntegerBag>(std::map<std::wstring, int>{}).Get(), nullptr)));
  EXPECT_EQ(source->Load(MakeComObject<CIntegerBag>(std::map<std::wstring, int>{{L"WaveInID", 1}}).Get(), nullptr),
            S_OK);
  CLSID clsid = GUID_NULL;
  EXPECT_EQ(source->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_WaveInCapture);
}

TEST_F(WaveInSource, ReplacesOnlyAPinlessFilterOfAWaveInDevice) {
  struct Case {
    const char* what;
    bool pinless;
    bool waveInId;
    bool replaced;
  };
  const Case cases[] = {
      {"a filter without pins of a waveIn device", true, true, true},
      {"a filter without pins of a device that is no waveIn device", true, false, false},
      {"a filter with an output pin of a waveIn device", false, true, false},
  };
  for (const Case& c : cases) {
    CComPtr<IBaseFilter> filter;
    if (c.pinless) {
      filter = MakeComObject<CPinlessFilter>().Get();
    } else {
      CreateWaveInSource(IID_IBaseFilter, filter.PutVoid());  // has an output pin
    }
    IBaseFilter* original = filter.Get();
    std::map<std::wstring, int> values = {{L"FriendlyName", 0}};
    if (c.waveInId) values[L"WaveInID"] = 0;
    SubstituteCaptureSource(MakeComObject<CIntegerBag>(values).Get(), filter);
    ASSERT_TRUE(filter) << c.what;
    EXPECT_EQ(filter.Get() != original, c.replaced) << c.what;
    if (c.replaced) {
      EXPECT_EQ(ClassOf(filter.Get()), CLSID_WaveInCapture) << c.what;
    }
  }
}

TEST_F(WaveInSource, IsWhatTheDeviceListHandsOutForWinesCaptureDevice) {
  CComPtr<IBaseFilter> filter;
  ASSERT_EQ(FindCaptureFilter(kMonitorDevice, filter), S_OK);
  EXPECT_EQ(ClassOf(filter.Get()), CLSID_WaveInCapture);
}

// The source of the monitor device, connected to a sink in a graph, in the format asked
// with the buffers suggested (the recorder's order: suggest, then set the format).
struct CaptureGraph {
  CComPtr<IGraphBuilder> graph;
  CComPtr<IBaseFilter> source;
  CComPtr<CPcmSink> sink = MakeComObject<CPcmSink>();
  CComPtr<IMediaControl> control;
  CComPtr<IMediaEventEx> events;
  CComPtr<IAMAudioInputMixer> mixer;
  WAVEFORMATEX format;
  long bufferBytes;

  CaptureGraph(const WAVEFORMATEX& wanted, int bufferMs) : format(wanted) {
    bufferBytes = long(wanted.nAvgBytesPerSec * bufferMs / 1000);
    ::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.PutVoid());
    FindCaptureFilter(kMonitorDevice, source);
    if (!graph || !source) return;
    graph->AddFilter(source.Get(), L"Audio Capture");
    graph->AddFilter(sink.Get(), L"Sink");
    CComPtr<IPin> output = PinAt(source.Get(), 1);
    PinAt(source.Get(), 0)->QueryInterface(IID_IAMAudioInputMixer, mixer.PutVoid());
    graph->ConnectDirect(output.Get(), sink->GetPin(0), nullptr);
    CComPtr<IAMBufferNegotiation> buffers = ComQuery<IAMBufferNegotiation>(output.Get());
    ALLOCATOR_PROPERTIES props{6, bufferBytes, wanted.nBlockAlign, 0};
    buffers->SuggestAllocatorProperties(&props);
    CComPtr<IAMStreamConfig> config = ComQuery<IAMStreamConfig>(output.Get());
    CMediaType type = PcmMediaType(wanted);
    setFormatResult = config->SetFormat(&type);
    control = ComQuery<IMediaControl>(graph.Get());
    graph->QueryInterface(IID_IMediaEventEx, events.PutVoid());
  }
  ~CaptureGraph() {
    if (control) control->Stop();
  }
  HRESULT setFormatResult = E_FAIL;

  // Runs for `ms` and pauses again.
  void RunFor(int ms) {
    control->Run();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    control->Pause();
  }
  // Runs until `count` buffers have arrived (or the first audio never came), and pauses again.
  void RunUntilBuffers(size_t count) {
    control->Run();
    const auto deadline = std::chrono::steady_clock::now() + kFirstAudioTimeout;
    while (sink->Samples().size() < count && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    control->Pause();
  }
};

double Seconds(REFERENCE_TIME t) { return double(t) / kUnitsPerSecond; }

TEST_F(WaveInSource, DeliversContiguousBuffersAndLeavesOutThePausedTime) {
  CaptureGraph capture(MakePcmFormat(44100, 2, 16), 50);
  ASSERT_TRUE(capture.source);
  ASSERT_EQ(capture.setFormatResult, S_OK);
  ALLOCATOR_PROPERTIES agreed{};
  ComQuery<IAMBufferNegotiation>(PinAt(capture.source.Get(), 1).Get())->GetAllocatorProperties(&agreed);
  EXPECT_EQ(agreed.cBuffers, 6);
  EXPECT_EQ(agreed.cbBuffer, capture.bufferBytes);

  // Each resumed run captures its own running time, no more: the pauses are left out.
  auto captured = [&] {
    const std::vector<Received> samples = capture.sink->Samples();
    return samples.empty() ? 0.0 : Seconds(samples.back().stop);
  };
  capture.RunUntilBuffers(5);
  double before = captured();
  for (int run = 0; run < 2; ++run) {
    const size_t atPause = capture.sink->Samples().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_EQ(capture.sink->Samples().size(), atPause) << "nothing arrives while paused";
    capture.RunFor(1000);
    EXPECT_NEAR(captured() - before, 1.0, 0.2) << "run " << run;
    before = captured();
  }
  capture.control->Stop();

  const std::vector<Received> samples = capture.sink->Samples();
  ASSERT_GT(samples.size(), 20u);
  EXPECT_TRUE(samples[0].discontinuity);
  EXPECT_EQ(samples[0].start, 0);
  size_t partial = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    const Received& s = samples[i];
    EXPECT_LE(s.bytes, size_t(capture.bufferBytes)) << i;
    if (s.bytes < size_t(capture.bufferBytes)) ++partial;
    EXPECT_EQ(s.stop - s.start, REFERENCE_TIME(s.bytes / 4) * kUnitsPerSecond / 44100) << i;
    if (i > 0) {
      EXPECT_EQ(s.start, samples[i - 1].stop) << "a gap or an overlap before sample " << i;
    }
  }
  EXPECT_LE(partial, 3u) << "only the buffers a pause cut short are partial";
}

TEST_F(WaveInSource, ProducesEveryFormatOfTheAudioSettings) {
  const WAVEFORMATEX formats[] = {MakePcmFormat(8000, 1, 8), MakePcmFormat(11025, 2, 8),
                                  MakePcmFormat(22050, 1, 16), MakePcmFormat(44100, 2, 16)};
  for (const WAVEFORMATEX& format : formats) {
    SCOPED_TRACE(std::to_string(format.nSamplesPerSec) + " Hz, " + std::to_string(format.nChannels) + " channels, " +
                 std::to_string(format.wBitsPerSample) + " bits");
    CaptureGraph capture(format, 100);
    ASSERT_EQ(capture.setFormatResult, S_OK);
    AM_MEDIA_TYPE connected{};
    ASSERT_EQ(PinAt(capture.source.Get(), 1)->ConnectionMediaType(&connected), S_OK);
    PcmFormat got;
    ASSERT_TRUE(PcmFormatOf(connected, got));
    FreeMediaTypeContents(connected);
    EXPECT_EQ(got, (PcmFormat{format.nChannels, format.nSamplesPerSec, format.wBitsPerSample}));
    capture.RunUntilBuffers(3);
    capture.control->Stop();
    const std::vector<Received> samples = capture.sink->Samples();
    ASSERT_GE(samples.size(), 3u);
    // 100 ms in whole frames.
    const size_t frames = size_t(capture.bufferBytes) / format.nBlockAlign;
    EXPECT_EQ(samples[1].bytes, frames * format.nBlockAlign);
    EXPECT_EQ(samples[1].stop - samples[1].start, REFERENCE_TIME(frames) * kUnitsPerSecond / format.nSamplesPerSec);
  }
}

TEST_F(WaveInSource, AppliesTheMixLevelAndRecordsSilenceWhenSwitchedOff) {
  CaptureGraph capture(MakePcmFormat(44100, 2, 16), 100);
  ASSERT_EQ(capture.setFormatResult, S_OK);
  ASSERT_TRUE(PlayTone(folder.path(), 880, 6.0, 0.5, false));
  // Waits for the tone to arrive, then records a while at each setting.
  auto levelAt = [&](bool enabled, double level) {
    capture.mixer->put_Enable(enabled ? TRUE : FALSE);
    capture.mixer->put_MixLevel(level);
    capture.sink->Clear();
    capture.RunFor(700);
    std::vector<int16_t> samples = capture.sink->FirstChannel(2);
    return samples.size() > 4410 ? Rms(samples, 2205, samples.size() - 2205) : -1.0;
  };
  double full = 0;
  for (int tries = 0; tries < 20 && full < 1000; ++tries) full = levelAt(true, 1.0);
  ASSERT_GT(full, 1000) << "the tone never arrived";
  EXPECT_NEAR(full, 16384 / std::sqrt(2.0), 16384 * 0.05) << "at level 1.0, the level played";
  const double quarter = levelAt(true, 0.25);
  EXPECT_NEAR(full / quarter, 4.0, 0.12);
  EXPECT_EQ(levelAt(false, 1.0), 0.0) << "a line switched off records silence";
}

TEST_F(WaveInSource, ReportsTheDeviceLostWhenTheSoundServerEndsAndStillStops) {
  CaptureGraph capture(MakePcmFormat(44100, 2, 16), 100);
  ASSERT_EQ(capture.setFormatResult, S_OK);
  ASSERT_EQ(capture.control->Run(), S_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_TRUE(EndSoundServer());
  long code = 0;
  LONG_PTR first = 0, second = 1;
  bool lost = false;
  for (int i = 0; i < 50 && !lost; ++i) {
    if (capture.events->GetEvent(&code, &first, &second, 200) != S_OK) continue;
    lost = code == EC_DEVICE_LOST;
    const LONG_PTR secondParameter = second;
    capture.events->FreeEventParams(code, first, second);
    if (lost) {
      EXPECT_EQ(secondParameter, 0);
    }
  }
  EXPECT_TRUE(lost) << "no EC_DEVICE_LOST within 10 s";
  // A stop must come back also from a device that is gone.
  std::future<HRESULT> stopped = std::async(std::launch::async, [&] {
    ComApartment threadCom;
    return capture.control->Stop();
  });
  ASSERT_EQ(stopped.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "Stop hangs";
  EXPECT_TRUE(SUCCEEDED(stopped.get()));
}

}  // namespace
