// Sondrel's filters beside filters of other makers, as when one of the pair is registered
// system-wide: Sondrel's encoder into a writer that ignores byte positions, and an encoder
// that stamps sample positions into Sondrel's WAV writer. Whatever the pair, the file must
// be nothing but whole frames, in order, that decode to all the audio.
#include <gtest/gtest.h>

#include <dshow.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "FakeFilters.h"
#include "filters/kit/ComPtr.h"
#include "filters/kit/MediaType.h"
#include "filters/mp3/Mp3EncoderFilter.h"
#include "filters/wavdest/WaveDest.h"
#include "support/AudioCheck.h"
#include "support/TempDir.h"

namespace {

constexpr double kToneHz = 1000.0;
constexpr double kSeconds = 3.5;  // past three renewals of a tag
const WAVEFORMATEX kFormat = MakePcmFormat(44100, 2, 16);

struct ComApartment {
  ComApartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~ComApartment() { ::CoUninitialize(); }
};

CComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION direction) {
  CComPtr<IEnumPins> pins;
  filter->EnumPins(pins.Put());
  CComPtr<IPin> pin;
  while (pins && pins->Next(1, pin.Put(), nullptr) == S_OK) {
    PIN_DIRECTION found;
    if (SUCCEEDED(pin->QueryDirection(&found)) && found == direction) return pin;
  }
  return {};
}

// A PCM source the test pushes, then the filters given, each one's output to the next one's
// input.
struct FilterChain {
  HRESULT Build(std::initializer_list<IBaseFilter*> filters) {
    HRESULT hr = ::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.PutVoid());
    if (FAILED(hr)) return hr;
    IBaseFilter* previous = source.Get();
    graph->AddFilter(previous, L"Source");
    for (IBaseFilter* filter : filters) {
      if (FAILED(hr = graph->AddFilter(filter, nullptr))) return hr;
      if (FAILED(hr = graph->ConnectDirect(PinOf(previous, PINDIR_OUTPUT).Get(), PinOf(filter, PINDIR_INPUT).Get(),
                                           nullptr))) {
        return hr;
      }
      previous = filter;
    }
    return graph.As(control);
  }
  HRESULT RunAndPush() {
    HRESULT hr = control->Run();
    if (FAILED(hr)) return hr;
    return source->Push(TonePcm(kFormat.nSamplesPerSec, kFormat.nChannels, kFormat.wBitsPerSample, kToneHz, kSeconds),
                        kFormat.nAvgBytesPerSec / 10);
  }
  ~FilterChain() {
    if (control) control->Stop();
  }

  CComPtr<CPcmSource> source = MakeComObject<CPcmSource>(kFormat);
  CComPtr<IGraphBuilder> graph;
  CComPtr<IMediaControl> control;
};

// Whole frames from the first byte to the last, none of them a tag frame (which only a
// writer that places bytes can renew), decoding to the tone for all the time pushed. Without
// a tag a decoder cannot trim the encoder's delay: up to that and two frames more.
void ExpectPlainFramesOfAllTheAudio(const std::string& path) {
  const std::string bytes = ReadWholeFile(path);
  const std::vector<MpegFrameHeader> frames = MpegFrames(bytes);
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.back().offset + frames.back().size, bytes.size()) << "nothing but whole frames, in a row";
  for (const MpegFrameHeader& frame : frames) {
    const std::string content = bytes.substr(frame.offset, frame.size);
    EXPECT_EQ(content.find("Info"), std::string::npos) << "a tag frame at " << frame.offset;
    EXPECT_EQ(content.find("Xing"), std::string::npos) << "a tag frame at " << frame.offset;
  }
  const DecodedAudio audio = DecodeWithFfmpeg(path);
  ASSERT_EQ(audio.error, "");
  const double pushed = kSeconds * kFormat.nSamplesPerSec;
  EXPECT_GE(double(audio.samples.size()), pushed);
  EXPECT_LE(double(audio.samples.size()), pushed + 1105 + 2 * 1152);
  EXPECT_NEAR(ToneFrequency(audio.samples, audio.sampleRate), kToneHz, kToneHz / 100);
}

TEST(MixedFilters, SondrelsEncoderGivesAWriterThatIgnoresPositionsPlainFramesInOrder) {
  ComApartment com;
  TempDir dir;
  CComPtr<IBaseFilter> encoder;
  ASSERT_EQ(CreateLameMp3Encoder(IID_IBaseFilter, encoder.PutVoid()), S_OK);
  CComPtr<CByteSink> writer = MakeComObject<CByteSink>(CByteSink::Positions::Ignored);
  FilterChain chain;
  ASSERT_EQ(chain.Build({encoder.Get(), writer.Get()}), S_OK);
  ComQuery<IAudioEncoderProperties>(encoder.Get())->set_Variable(1);
  ASSERT_EQ(chain.RunAndPush(), S_OK);
  ASSERT_EQ(chain.control->Stop(), S_OK);

  const std::vector<SinkSample> samples = writer->Samples();
  EXPECT_EQ(std::count_if(samples.begin(), samples.end(), [](const SinkSample& s) { return s.position >= 0; }), 0)
      << "samples sent with byte positions";
  const std::string path = dir.File("outside-writer.mp3");
  WriteWholeFile(path, writer->Bytes());
  ExpectPlainFramesOfAllTheAudio(path);
}

TEST(MixedFilters, WaveDestAppendsTheFramesOfAnEncoderThatStampsSamplePositions) {
  ComApartment com;
  TempDir dir;
  const std::string path = dir.File("outside-encoder.mp3");
  CComPtr<CSamplePositionEncoder> encoder = MakeComObject<CSamplePositionEncoder>();
  CComPtr<IBaseFilter> waveDest;
  ASSERT_EQ(CreateWaveDest(IID_IBaseFilter, waveDest.PutVoid()), S_OK);
  CComPtr<IBaseFilter> fileWriter;
  ASSERT_EQ(::CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, fileWriter.PutVoid()),
            S_OK);
  const std::wstring widePath(path.begin(), path.end());
  ASSERT_EQ(ComQuery<IFileSinkFilter>(fileWriter.Get())->SetFileName(widePath.c_str(), nullptr), S_OK);
  FilterChain chain;
  ASSERT_EQ(chain.Build({encoder.Get(), waveDest.Get(), fileWriter.Get()}), S_OK);

  // Wave Dest takes an announcement of byte positions from its own peer only.
  CComPtr<IBytePositionSink> positions = ComQuery<IBytePositionSink>(PinOf(waveDest.Get(), PINDIR_INPUT).Get());
  ASSERT_TRUE(positions);
  EXPECT_EQ(positions->UseBytePositions(PinOf(chain.source.Get(), PINDIR_OUTPUT).Get()), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(positions->UseBytePositions(nullptr), VFW_E_NOT_CONNECTED);

  ASSERT_EQ(chain.RunAndPush(), S_OK);
  ASSERT_EQ(PinOf(encoder.Get(), PINDIR_INPUT)->EndOfStream(), S_OK);
  ASSERT_EQ(chain.control->Stop(), S_OK);
  ExpectPlainFramesOfAllTheAudio(path);
}

}  // namespace
