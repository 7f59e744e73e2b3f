// The "Lame MP3" filter in a real filter graph: a PCM source the test pushes, the encoder,
// and a sink that keeps the bytes where their byte positions put them. The files are
// checked with the host's ffmpeg.
#include "filters/mp3/Mp3EncoderFilter.h"

#include <control.h>
#include <evcode.h>
#include <gtest/gtest.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <utility>

#include "FakeFilters.h"
#include "filters/kit/MediaType.h"
#include "filters/mp3/Mp3MediaType.h"
#include "support/AudioCheck.h"
#include "support/TempDir.h"

namespace {

constexpr double kToneHz = 1000.0;

struct ComApartment {
  ComApartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~ComApartment() { ::CoUninitialize(); }
};

CComPtr<IPin> FindPin(IBaseFilter* filter, const wchar_t* name) {
  CComPtr<IPin> pin;
  filter->FindPin(name, pin.Put());
  return pin;
}

// Source -> Lame MP3 -> sink, in a filter graph.
struct EncoderGraph {
  explicit EncoderGraph(const WAVEFORMATEX& format) : format(format) {
    ::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.PutVoid());
    CreateLameMp3Encoder(IID_IBaseFilter, encoder.PutVoid());
    properties = ComQuery<IAudioEncoderProperties>(encoder.Get());
    control = ComQuery<IMediaControl>(graph.Get());
    graph->AddFilter(source.Get(), L"Source");
    graph->AddFilter(encoder.Get(), kLameMp3Name);
    graph->AddFilter(sink.Get(), L"Sink");
  }
  ~EncoderGraph() {
    if (control) control->Stop();
  }

  HRESULT ConnectInput() {
    return graph->ConnectDirect(source->GetPin(0), FindPin(encoder.Get(), L"Input").Get(), nullptr);
  }
  HRESULT ConnectOutput() {
    return graph->ConnectDirect(FindPin(encoder.Get(), L"Output").Get(), sink->GetPin(0), nullptr);
  }
  // Both connections, or the first failure.
  HRESULT Connect() {
    HRESULT hr = ConnectInput();
    return FAILED(hr) ? hr : ConnectOutput();
  }
  HRESULT Push(double seconds) {
    return source->Push(TonePcm(format.nSamplesPerSec, format.nChannels, format.wBitsPerSample, kToneHz, seconds),
                        format.nAvgBytesPerSec / 10);
  }
  // Runs the graph and pushes that much of the tone, in samples of 100 ms.
  HRESULT RunFor(double seconds) {
    HRESULT hr = control->Run();
    return FAILED(hr) ? hr : Push(seconds);
  }
  // The sink's bytes as a file, decoded.
  DecodedAudio Decode(const std::string& path) {
    WriteWholeFile(path, sink->Bytes());
    return DecodeWithFfmpeg(path);
  }

  WAVEFORMATEX format;
  CComPtr<IGraphBuilder> graph;
  CComPtr<CPcmSource> source = MakeComObject<CPcmSource>(format);
  CComPtr<IBaseFilter> encoder;
  CComPtr<CByteSink> sink = MakeComObject<CByteSink>();
  CComPtr<IAudioEncoderProperties> properties;
  CComPtr<IMediaControl> control;
};

// Time stamps run from 0 without gaps; samples without them (the tag) are left out.
void ExpectContinuousTimes(const std::vector<SinkSample>& samples) {
  REFERENCE_TIME expected = 0;
  size_t timed = 0;
  for (const SinkSample& sample : samples) {
    if (!sample.timed) continue;
    EXPECT_EQ(sample.start, expected) << "sample " << timed;
    EXPECT_GE(sample.stop, sample.start);
    expected = sample.stop;
    ++timed;
  }
  EXPECT_GT(timed, 0u);
}

TEST(LameMp3Filter, AnswersItsInterfacesAndPins) {
  ComApartment com;
  CComPtr<IBaseFilter> filter;
  ASSERT_EQ(CreateLameMp3Encoder(IID_IBaseFilter, filter.PutVoid()), S_OK);
  for (const IID* iid : {&IID_IUnknown, &IID_IPersist, &IID_IMediaFilter, &IID_IBaseFilter,
                         &__uuidof(IAudioEncoderProperties)}) {
    CComPtr<IUnknown> found;
    EXPECT_EQ(filter->QueryInterface(*iid, found.PutVoid()), S_OK);
  }
  CLSID clsid{};
  filter->GetClassID(&clsid);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_LameMp3Encoder));

  PIN_DIRECTION direction{};
  ASSERT_TRUE(FindPin(filter.Get(), L"Input"));
  FindPin(filter.Get(), L"Input")->QueryDirection(&direction);
  EXPECT_EQ(direction, PINDIR_INPUT);
  ASSERT_TRUE(FindPin(filter.Get(), L"Output"));
  FindPin(filter.Get(), L"Output")->QueryDirection(&direction);
  EXPECT_EQ(direction, PINDIR_OUTPUT);

  // Nothing to offer on the output before the input knows its format.
  CComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(FindPin(filter.Get(), L"Output")->EnumMediaTypes(types.Put()), S_OK);
  AM_MEDIA_TYPE* type = nullptr;
  EXPECT_EQ(types->Next(1, &type, nullptr), S_FALSE);
}

TEST(LameMp3Filter, SourceFormatIsKnownOnlyWhileTheInputIsConnected) {
  ComApartment com;
  EncoderGraph g(MakePcmFormat(22050, 1, 8));
  DWORD value = 0;
  EXPECT_EQ(g.properties->get_SourceSampleRate(&value), E_FAIL);
  EXPECT_EQ(g.properties->get_SourceChannels(&value), E_FAIL);
  EXPECT_EQ(g.properties->InputTypeDefined(), E_FAIL);
  EXPECT_EQ(g.ConnectOutput(), VFW_E_NO_ACCEPTABLE_TYPES) << "no output type without input";

  ASSERT_EQ(g.ConnectInput(), S_OK);
  EXPECT_EQ(g.properties->get_SourceSampleRate(&value), S_OK);
  EXPECT_EQ(value, 22050u);
  EXPECT_EQ(g.properties->get_SourceChannels(&value), S_OK);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(g.properties->InputTypeDefined(), S_OK);

  // Getters answer with what this input would be encoded with.
  g.properties->set_Bitrate(320);
  g.properties->get_Bitrate(&value);
  EXPECT_EQ(value, 160u);
  g.properties->get_SampleRate(&value);
  EXPECT_EQ(value, 22050u);

  ASSERT_EQ(FindPin(g.encoder.Get(), L"Input")->Disconnect(), S_OK);
  EXPECT_EQ(g.properties->get_SourceSampleRate(&value), E_FAIL);
}

TEST(LameMp3Filter, RefusesInputItCannotEncode) {
  ComApartment com;
  for (const WAVEFORMATEX& format : {MakePcmFormat(44100, 2, 24), MakePcmFormat(7999, 1, 16),
                                     MakePcmFormat(96001, 2, 16), MakePcmFormat(44100, 6, 16)}) {
    EncoderGraph g(format);
    EXPECT_TRUE(FAILED(g.ConnectInput())) << format.nSamplesPerSec << " Hz, " << format.nChannels << " channels, "
                                          << format.wBitsPerSample << " bits";
  }
}

struct RecordCase {
  const char* what;
  WAVEFORMATEX input;
  DWORD variable, bitRate, vbrMin, vbrMax, vbrQuality, quality;
  unsigned fileRate;
  unsigned frameBitRate;  // every frame's, for a constant bit rate
};

// The calls a recorder makes: settings after connection, before Run.
void Configure(IAudioEncoderProperties* properties, const RecordCase& c) {
  DWORD sourceRate = 0;
  properties->get_SourceSampleRate(&sourceRate);
  properties->set_SampleRate(std::max<DWORD>(sourceRate, 11025));
  properties->set_Variable(c.variable);
  if (c.variable) {
    properties->set_VariableMin(c.vbrMin);
    properties->set_VariableMax(c.vbrMax);
    properties->set_VariableQ(c.vbrQuality);
  } else {
    properties->set_Bitrate(c.bitRate);
  }
  properties->set_Quality(c.quality);
}

TEST(LameMp3Filter, RecordsWithTheSettingsGivenAfterConnection) {
  ComApartment com;
  TempDir dir;
  const RecordCase cases[] = {
      {"44100 stereo, 64 kbit/s", MakePcmFormat(44100, 2, 16), 0, 64, 0, 0, 0, 2, 44100, 64},
      {"8000 mono 8-bit becomes 11025", MakePcmFormat(8000, 1, 8), 0, 32, 0, 0, 0, 5, 11025, 32},
      {"22050 stereo, variable 8-64, minimum above maximum", MakePcmFormat(22050, 2, 16), 1, 0, 96, 64, 4, 9,
       22050, 0},
  };
  for (const RecordCase& c : cases) {
    SCOPED_TRACE(c.what);
    EncoderGraph g(c.input);
    ASSERT_EQ(g.Connect(), S_OK);
    Configure(g.properties.Get(), c);
    ASSERT_EQ(g.RunFor(3.0), S_OK);
    // A recording graph is stopped, never ended.
    ASSERT_EQ(g.control->Stop(), S_OK);

    const DecodedAudio audio = g.Decode(dir.File("recorded.mp3"));
    ASSERT_EQ(audio.error, "");
    const unsigned frameSamples = c.fileRate >= 32000 ? 1152 : 576;
    EXPECT_EQ(audio.sampleRate, c.fileRate);
    EXPECT_NEAR(double(audio.samples.size()), 3.0 * c.fileRate, frameSamples);
    EXPECT_NEAR(ToneFrequency(audio.samples, audio.sampleRate), kToneHz, kToneHz / 100);

    const std::string bytes = g.sink->Bytes();
    const std::vector<MpegFrameHeader> frames = MpegFrames(bytes);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().offset + frames.back().size, bytes.size());
    EXPECT_NE(bytes.substr(0, frames[0].size).find(c.variable ? "Xing" : "Info"), std::string::npos);
    EXPECT_NEAR(ProbedDuration(dir.File("recorded.mp3")), double(frames.size() - 1) * frameSamples / c.fileRate,
                0.001);
    for (const MpegFrameHeader& frame : frames) {
      if (c.frameBitRate) {
        EXPECT_EQ(frame.bitRate, c.frameBitRate) << "frame at " << frame.offset;
      }
    }
    ExpectContinuousTimes(g.sink->Samples());
  }
}

TEST(LameMp3Filter, PauseLeavesAllAudioInTheFileAndResumeGoesOn) {
  ComApartment com;
  TempDir dir;
  EncoderGraph g(MakePcmFormat(44100, 1, 16));
  ASSERT_EQ(g.Connect(), S_OK);
  ASSERT_EQ(g.RunFor(1.0), S_OK);
  ASSERT_EQ(g.control->Pause(), S_OK);
  const DecodedAudio paused = g.Decode(dir.File("paused.mp3"));
  ASSERT_EQ(paused.error, "");
  EXPECT_NEAR(double(paused.samples.size()), 44100.0, 576) << "everything up to the pause";

  ASSERT_EQ(g.RunFor(1.0), S_OK);
  ASSERT_EQ(g.control->Stop(), S_OK);
  const DecodedAudio stopped = g.Decode(dir.File("stopped.mp3"));
  ASSERT_EQ(stopped.error, "");
  // The pause adds the encoder's look-ahead and the rest of a frame as silence.
  EXPECT_GE(double(stopped.samples.size()), 2 * 44100.0);
  EXPECT_LE(double(stopped.samples.size()), 2 * 44100.0 + 1152 + 1360);
  ExpectContinuousTimes(g.sink->Samples());
  EXPECT_EQ(g.sink->EndOfStreams(), 0);
}

TEST(LameMp3Filter, AudioArrivingAfterTheEncoderPausedIsFlushedToo) {
  // A graph pauses downstream first: upstream may deliver once more before it pauses.
  ComApartment com;
  TempDir dir;
  EncoderGraph g(MakePcmFormat(44100, 2, 16));
  ASSERT_EQ(g.Connect(), S_OK);
  ASSERT_EQ(g.RunFor(1.0), S_OK);
  ASSERT_EQ(g.encoder->Pause(), S_OK);
  ASSERT_EQ(g.Push(0.2), S_OK);
  const DecodedAudio audio = g.Decode(dir.File("late.mp3"));
  ASSERT_EQ(audio.error, "");
  EXPECT_GE(double(audio.samples.size()), 1.2 * 44100);
}

TEST(LameMp3Filter, EndOfStreamFlushesAndIsPassedOn) {
  ComApartment com;
  TempDir dir;
  EncoderGraph g(MakePcmFormat(11025, 1, 16));
  ASSERT_EQ(g.Connect(), S_OK);
  ASSERT_EQ(g.RunFor(1.5), S_OK);
  ASSERT_EQ(FindPin(g.encoder.Get(), L"Input")->EndOfStream(), S_OK);
  EXPECT_EQ(g.sink->EndOfStreams(), 1);
  const DecodedAudio audio = g.Decode(dir.File("ended.mp3"));
  ASSERT_EQ(audio.error, "");
  EXPECT_NEAR(double(audio.samples.size()), 1.5 * 11025, 576);
}

TEST(LameMp3Filter, TagIsRenewedAsTheRecordingGrows) {
  // What a killed recording leaves: the file as it is while the graph runs.
  ComApartment com;
  TempDir dir;
  EncoderGraph g(MakePcmFormat(44100, 2, 16));
  ASSERT_EQ(g.Connect(), S_OK);
  g.properties->set_Variable(1);
  ASSERT_EQ(g.RunFor(3.5), S_OK);

  const DecodedAudio audio = g.Decode(dir.File("killed.mp3"));
  ASSERT_EQ(audio.error, "");
  EXPECT_GE(audio.Seconds(), 3.0);
  const double reported = ProbedDuration(dir.File("killed.mp3"));
  EXPECT_GE(reported, 2.5) << "renewed within the last second";
  EXPECT_LE(reported, audio.Seconds() + 0.03);
  size_t renewals = 0;
  for (const SinkSample& sample : g.sink->Samples()) renewals += sample.position == 0 && !sample.timed;
  EXPECT_EQ(renewals, 3u) << "once a second";
}

TEST(LameMp3Filter, RecordsFromA96kHzSourceAsItIsOrAtTheFormatSetLater) {
  // A capture pin connects with its default format before the recorder sets its own.
  ComApartment com;
  TempDir dir;
  const struct {
    const char* what;
    DWORD laterRate;  // 0: none set
    unsigned fileRate;
  } cases[] = {
      {"96000 Hz encoded at the nearest MPEG rate", 0, 48000},
      {"connected at 96000 Hz, recorded at the 44100 Hz set afterwards", 44100, 44100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EncoderGraph g(MakePcmFormat(96000, 2, 16));
    ASSERT_EQ(g.Connect(), S_OK);
    if (c.laterRate) {
      g.format = MakePcmFormat(c.laterRate, 2, 16);
      g.source->SetFormat(g.format);
      ASSERT_EQ(ComQuery<IFilterGraph2>(g.graph.Get())->ReconnectEx(g.source->GetPin(0), nullptr), S_OK);
    }
    Configure(g.properties.Get(), {"", g.format, 0, 128, 0, 0, 0, 5, c.fileRate, 128});
    ASSERT_EQ(g.RunFor(2.0), S_OK);
    ASSERT_EQ(g.control->Stop(), S_OK);
    const DecodedAudio audio = g.Decode(dir.File("high.mp3"));
    ASSERT_EQ(audio.error, "");
    EXPECT_EQ(audio.sampleRate, c.fileRate);
    EXPECT_NEAR(double(audio.samples.size()), 2.0 * c.fileRate, 1152);
    EXPECT_NEAR(ToneFrequency(audio.samples, audio.sampleRate), kToneHz, kToneHz / 100);
  }
}

// The EC_ERRORABORT events the graph holds now.
int AbortEvents(IMediaEventEx* events) {
  int aborts = 0;
  long code = 0;
  LONG_PTR first = 0, second = 0;
  while (events->GetEvent(&code, &first, &second, 0) == S_OK) {
    aborts += code == EC_ERRORABORT;
    events->FreeEventParams(code, first, second);
  }
  return aborts;
}

TEST(LameMp3Filter, AFailureInsideTheEncoderIsReportedOnceAndEndsTheRun) {
  // Otherwise the window would go on saying "Recording" while nothing is written.
  ComApartment com;
  EncoderGraph g(MakePcmFormat(44100, 2, 16));
  ASSERT_EQ(g.Connect(), S_OK);
  CComPtr<IMediaEventEx> events;
  ASSERT_EQ(g.graph->QueryInterface(IID_IMediaEventEx, events.PutVoid()), S_OK);
  ASSERT_EQ(g.RunFor(0.5), S_OK);
  EXPECT_EQ(AbortEvents(events.Get()), 0);
  EXPECT_TRUE(FAILED(g.source->PushUnreadable()));
  EXPECT_TRUE(FAILED(g.source->PushUnreadable()));
  EXPECT_TRUE(FAILED(g.Push(0.2))) << "nothing more is encoded in this run";
  EXPECT_EQ(AbortEvents(events.Get()), 1);

  ASSERT_EQ(g.control->Stop(), S_OK);
  ASSERT_EQ(g.RunFor(0.5), S_OK) << "the next run starts afresh";
  EXPECT_EQ(AbortEvents(events.Get()), 0);
}

// The rate and channels of a pin's connection.
std::pair<DWORD, WORD> ConnectionFormat(IPin* pin) {
  AM_MEDIA_TYPE type{};
  if (pin->ConnectionMediaType(&type) != S_OK) return {0, 0};
  const auto* format = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
  std::pair<DWORD, WORD> result{format->nSamplesPerSec, format->nChannels};
  FreeMediaTypeContents(type);
  return result;
}

TEST(LameMp3Filter, OutputFollowsANewInputConnection) {
  // A capture pin connects first and reconnects when its format is set.
  ComApartment com;
  TempDir dir;
  EncoderGraph g(MakePcmFormat(44100, 2, 16));
  ASSERT_EQ(g.Connect(), S_OK);
  CComPtr<IPin> output = FindPin(g.encoder.Get(), L"Output");
  EXPECT_EQ(ConnectionFormat(output.Get()), std::make_pair(DWORD(44100), WORD(2)));

  g.format = MakePcmFormat(8000, 1, 16);
  g.source->SetFormat(g.format);
  CComPtr<IFilterGraph2> graph2 = ComQuery<IFilterGraph2>(g.graph.Get());
  ASSERT_EQ(graph2->ReconnectEx(g.source->GetPin(0), nullptr), S_OK);
  EXPECT_EQ(ConnectionFormat(output.Get()), std::make_pair(DWORD(8000), WORD(1)));
  EXPECT_EQ(ConnectionFormat(g.sink->GetPin(0)), std::make_pair(DWORD(8000), WORD(1))) << "the writer's side too";

  DWORD rate = 0;
  ASSERT_EQ(g.properties->get_SourceSampleRate(&rate), S_OK);
  EXPECT_EQ(rate, 8000u);
  g.properties->set_SampleRate(11025);
  EXPECT_EQ(ConnectionFormat(g.sink->GetPin(0)), std::make_pair(DWORD(11025), WORD(1)));
  // A new bit rate changes no connection: the first sample carries the type.
  g.properties->set_Bitrate(32);
  ASSERT_EQ(g.RunFor(2.0), S_OK);
  ASSERT_EQ(g.control->Stop(), S_OK);
  const std::vector<SinkSample> samples = g.sink->Samples();
  ASSERT_FALSE(samples.empty());
  EXPECT_TRUE(samples[0].newType);
  EXPECT_EQ(samples[0].typeBytesPerSecond, 4000u);

  const DecodedAudio audio = g.Decode(dir.File("reconnected.mp3"));
  ASSERT_EQ(audio.error, "");
  EXPECT_EQ(audio.sampleRate, 11025u);
  EXPECT_EQ(audio.channels, 1u);
  EXPECT_NEAR(double(audio.samples.size()), 2.0 * 11025, 576);
  EXPECT_NEAR(ToneFrequency(audio.samples, audio.sampleRate), kToneHz, kToneHz / 100);
}

}  // namespace
