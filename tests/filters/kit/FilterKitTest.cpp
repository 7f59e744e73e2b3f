// The filter kit on its own: a fake source and a fake sink built on it, joined in a real
// filter graph with ConnectDirect, the way Wine's conformance tests check filters.
#include <gtest/gtest.h>

#include <dshow.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "filters/kit/BaseFilter.h"
#include "filters/kit/BasePin.h"
#include "filters/kit/ComPtr.h"
#include "filters/kit/MediaType.h"

namespace {

const CLSID kSourceClass = {0x1c4f3a10, 0x2b7d, 0x4e61, {0x8a, 0x90, 0x11, 0x22, 0x33, 0x44, 0x55, 0x01}};
const CLSID kSinkClass = {0x1c4f3a10, 0x2b7d, 0x4e61, {0x8a, 0x90, 0x11, 0x22, 0x33, 0x44, 0x55, 0x02}};
const WAVEFORMATEX kFormat = MakePcmFormat(44100, 2, 16);

class CFakeSource;

class CFakeOutputPin : public CBaseOutputPin {
 public:
  explicit CFakeOutputPin(CBaseFilter& filter) : CBaseOutputPin(filter, L"Out") {}
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override {
    return SameMediaType(type, PcmMediaType(kFormat)) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int index, CMediaType& type) override {
    if (index != 0) return VFW_S_NO_MORE_ITEMS;
    type = PcmMediaType(kFormat);
    return S_OK;
  }
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES& request) override {
    request.cBuffers = 2;
    request.cbBuffer = 4096;
    ALLOCATOR_PROPERTIES actual{};
    return allocator->SetProperties(&request, &actual);
  }
};

class CFakeSource : public CBaseFilter {
 public:
  CFakeSource() : CBaseFilter(kSourceClass), output(*this) {}
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &output : nullptr; }

  // Delivers bytes as one sample, as a streaming thread of this filter would, carrying
  // `type` if one is given.
  HRESULT Send(const std::string& bytes, const AM_MEDIA_TYPE* type = nullptr) {
    CComPtr<IMediaSample> sample;
    HRESULT hr = output.GetDeliveryBuffer(sample);
    if (FAILED(hr)) return hr;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    std::memcpy(data, bytes.data(), bytes.size());
    sample->SetActualDataLength(static_cast<long>(bytes.size()));
    if (type) sample->SetMediaType(const_cast<AM_MEDIA_TYPE*>(type));
    return output.Deliver(sample.Get());
  }

  CFakeOutputPin output;
};

class CFakeSink;

class CFakeInputPin : public CBaseInputPin {
 public:
  CFakeInputPin(CBaseFilter& filter, std::string& received, std::vector<std::string>& events)
      : CBaseInputPin(filter, L"In"), m_received(received), m_events(events) {}
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override {
    ++checks;
    return type.majortype == MEDIATYPE_Audio ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT OnReceive(IMediaSample* sample) override {
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    m_received.append(reinterpret_cast<const char*>(data), sample->GetActualDataLength());
    return S_OK;
  }
  HRESULT OnEndOfStream() override {
    m_events.push_back("end of stream");
    return S_OK;
  }

  std::atomic<int> checks{0};

 private:
  std::string& m_received;
  std::vector<std::string>& m_events;
};

class CFakeSink : public CBaseFilter {
 public:
  CFakeSink() : CBaseFilter(kSinkClass), input(*this, received, events) {}
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &input : nullptr; }

  std::string received;
  std::vector<std::string> events;
  CFakeInputPin input;

 protected:
  HRESULT OnStartStreaming() override { return Log("start"); }
  void OnRun(REFERENCE_TIME) override { Log("run"); }
  void OnLeaveRunning() override { Log("leave running"); }
  void OnStopStreaming() override { Log("stop"); }

 private:
  HRESULT Log(const char* event) {
    events.push_back(event);
    return S_OK;
  }
};

bool Offers(IUnknown* object, REFIID iid) {
  CComPtr<IUnknown> found;
  return SUCCEEDED(object->QueryInterface(iid, found.PutVoid())) && found;
}

class FilterKit : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GE(::CoInitialize(nullptr), 0);
    source = MakeComObject<CFakeSource>();
    sink = MakeComObject<CFakeSink>();
  }
  void TearDown() override {
    graph.Reset();
    source.Reset();
    sink.Reset();
    // Filters, pins and enumerators are all gone: nothing of the kit is left alive.
    EXPECT_TRUE(ModuleCanUnload());
    ::CoUninitialize();
  }
  void JoinGraph() {
    ASSERT_EQ(::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IID_IGraphBuilder, graph.PutVoid()), S_OK);
    ASSERT_EQ(graph->AddFilter(source.Get(), L"Source"), S_OK);
    ASSERT_EQ(graph->AddFilter(sink.Get(), L"Sink"), S_OK);
  }

  CComPtr<CFakeSource> source;
  CComPtr<CFakeSink> sink;
  CComPtr<IGraphBuilder> graph;
};

TEST_F(FilterKit, AnswersItsInterfaces) {
  struct {
    IUnknown* object;
    const IID* iid;
    bool offered;
  } cases[] = {
      {static_cast<IBaseFilter*>(sink.Get()), &IID_IUnknown, true},
      {static_cast<IBaseFilter*>(sink.Get()), &IID_IPersist, true},
      {static_cast<IBaseFilter*>(sink.Get()), &IID_IMediaFilter, true},
      {static_cast<IBaseFilter*>(sink.Get()), &IID_IBaseFilter, true},
      {static_cast<IBaseFilter*>(sink.Get()), &IID_IPin, false},
      {static_cast<IBaseFilter*>(sink.Get()), &IID_IMemInputPin, false},
      {static_cast<IPin*>(&sink->input), &IID_IUnknown, true},
      {static_cast<IPin*>(&sink->input), &IID_IPin, true},
      {static_cast<IPin*>(&sink->input), &IID_IMemInputPin, true},
      {static_cast<IPin*>(&sink->input), &IID_IBaseFilter, false},
      {static_cast<IPin*>(&source->output), &IID_IPin, true},
      {static_cast<IPin*>(&source->output), &IID_IMemInputPin, false},
  };
  for (const auto& c : cases) EXPECT_EQ(Offers(c.object, *c.iid), c.offered);
  CLSID clsid{};
  EXPECT_EQ(sink->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, kSinkClass);
  // A pin counts on its filter: its reference is the filter's.
  ULONG before = sink->AddRef();
  EXPECT_EQ(sink->input.AddRef(), before + 1);
  sink->input.Release();
  sink->Release();
}

TEST_F(FilterKit, EnumeratesAndFindsPins) {
  CComPtr<IEnumPins> pins;
  ASSERT_EQ(sink->EnumPins(pins.Put()), S_OK);
  IPin* fetched[2] = {};
  ULONG count = 0;
  EXPECT_EQ(pins->Next(2, fetched, nullptr), E_INVALIDARG) << "more than one without a count";
  EXPECT_EQ(pins->Next(2, fetched, &count), S_FALSE);
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(fetched[0], static_cast<IPin*>(&sink->input));
  fetched[0]->Release();
  EXPECT_EQ(pins->Skip(1), S_FALSE);
  EXPECT_EQ(pins->Reset(), S_OK);
  CComPtr<IEnumPins> clone;
  ASSERT_EQ(pins->Clone(clone.Put()), S_OK);
  CComPtr<IPin> first;
  EXPECT_EQ(clone->Next(1, first.Put(), nullptr), S_OK);
  // Skipping past the end leaves the position as it was, as on Windows.
  EXPECT_EQ(pins->Skip(2), S_FALSE);
  EXPECT_EQ(pins->Skip(1), S_OK);
  EXPECT_EQ(pins->Skip(1), S_FALSE);
  EXPECT_EQ(pins->Reset(), S_OK);
  EXPECT_EQ(pins->Skip(2), S_FALSE);
  CComPtr<IPin> again;
  EXPECT_EQ(pins->Next(1, again.Put(), nullptr), S_OK);

  CComPtr<IPin> found;
  EXPECT_EQ(sink->FindPin(L"In", found.Put()), S_OK);
  EXPECT_EQ(found.Get(), static_cast<IPin*>(&sink->input));
  EXPECT_EQ(sink->FindPin(L"Out", found.Put()), VFW_E_NOT_FOUND);
  EXPECT_EQ(found.Get(), nullptr);

  PIN_INFO info{};
  ASSERT_EQ(source->output.QueryPinInfo(&info), S_OK);
  EXPECT_EQ(info.dir, PINDIR_OUTPUT);
  EXPECT_STREQ(info.achName, L"Out");
  EXPECT_EQ(info.pFilter, static_cast<IBaseFilter*>(source.Get()));
  info.pFilter->Release();
  LPWSTR id = nullptr;
  ASSERT_EQ(source->output.QueryId(&id), S_OK);
  EXPECT_STREQ(id, L"Out");
  ::CoTaskMemFree(id);
}

TEST_F(FilterKit, ConnectsDirectlyAndRefusesWhatItCannotTake) {
  JoinGraph();
  CMediaType video;
  video.majortype = MEDIATYPE_Video;
  video.subtype = MEDIASUBTYPE_RGB24;
  video.formattype = FORMAT_None;
  EXPECT_LT(graph->ConnectDirect(&source->output, &sink->input, &video), 0);
  EXPECT_FALSE(source->output.IsConnected());
  EXPECT_FALSE(sink->input.IsConnected());

  ASSERT_EQ(graph->ConnectDirect(&source->output, &sink->input, nullptr), S_OK);
  CComPtr<IPin> peer;
  ASSERT_EQ(sink->input.ConnectedTo(peer.Put()), S_OK);
  EXPECT_EQ(peer.Get(), static_cast<IPin*>(&source->output));
  AM_MEDIA_TYPE type{};
  ASSERT_EQ(sink->input.ConnectionMediaType(&type), S_OK);
  EXPECT_TRUE(SameMediaType(type, PcmMediaType(kFormat)));
  FreeMediaTypeContents(type);
  EXPECT_EQ(graph->ConnectDirect(&source->output, &sink->input, nullptr), VFW_E_ALREADY_CONNECTED);

  CComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(source->output.EnumMediaTypes(types.Put()), S_OK);
  AM_MEDIA_TYPE* offered[2] = {};
  EXPECT_EQ(types->Next(2, offered, nullptr), E_INVALIDARG) << "more than one without a count";
  ASSERT_EQ(types->Next(1, offered, nullptr), S_OK);
  EXPECT_TRUE(SameMediaType(*offered[0], PcmMediaType(kFormat)));
  DeleteMediaType(offered[0]);
  EXPECT_EQ(types->Next(1, offered, nullptr), S_FALSE);
  // Unlike the pins, skipping past the last type moves to the end, as on Windows.
  EXPECT_EQ(types->Reset(), S_OK);
  EXPECT_EQ(types->Skip(2), S_FALSE);
  EXPECT_EQ(types->Skip(1), S_FALSE);
  EXPECT_EQ(types->Next(1, offered, nullptr), S_FALSE);
  EXPECT_EQ(types->Reset(), S_OK);
  EXPECT_EQ(types->Skip(1), S_OK);
  EXPECT_EQ(types->Skip(1), S_FALSE);
}

TEST_F(FilterKit, StreamsThroughStateChangesFlushAndEndOfStream) {
  JoinGraph();
  ASSERT_EQ(graph->ConnectDirect(&source->output, &sink->input, nullptr), S_OK);
  CComPtr<IMediaControl> control;
  ASSERT_EQ(graph.As(control), S_OK);
  EXPECT_EQ(source->Send("early"), VFW_E_NOT_COMMITTED);

  ASSERT_GE(control->Run(), 0);
  EXPECT_EQ(sink->State(), State_Running);
  EXPECT_EQ(source->Send("abc"), S_OK);
  EXPECT_EQ(source->Send("def"), S_OK);
  EXPECT_EQ(sink->received, "abcdef");
  EXPECT_EQ(sink->input.Disconnect(), VFW_E_NOT_STOPPED);

  EXPECT_EQ(source->output.DeliverBeginFlush(), S_OK);
  EXPECT_EQ(source->Send("lost"), S_FALSE);
  EXPECT_EQ(source->output.DeliverEndFlush(), S_OK);
  EXPECT_EQ(source->Send("g"), S_OK);
  EXPECT_EQ(source->output.DeliverEndOfStream(), S_OK);
  EXPECT_EQ(source->Send("late"), VFW_E_SAMPLE_REJECTED_EOS);
  EXPECT_EQ(sink->received, "abcdefg");

  ASSERT_GE(control->Pause(), 0);
  ASSERT_GE(control->Stop(), 0);
  EXPECT_EQ(sink->State(), State_Stopped);
  const std::vector<std::string> expected = {"start", "run", "end of stream", "leave running", "stop"};
  EXPECT_EQ(sink->events, expected);
  EXPECT_EQ(source->Send("stopped"), VFW_E_NOT_COMMITTED);
  EXPECT_EQ(sink->input.Disconnect(), S_OK);
  EXPECT_EQ(sink->input.Disconnect(), S_FALSE);
}

// A sample may bring a new media type: the streaming thread replaces the connection's type
// under the filter lock, which ConnectionMediaType copies under, and only when it differs.
TEST_F(FilterKit, SampleTypesReplaceTheConnectionTypeUnderTheFilterLockOnlyWhenNew) {
  JoinGraph();
  ASSERT_EQ(graph->ConnectDirect(&source->output, &sink->input, nullptr), S_OK);
  CComPtr<IMediaControl> control;
  ASSERT_EQ(graph.As(control), S_OK);
  ASSERT_GE(control->Run(), 0);

  const CMediaType same = PcmMediaType(kFormat);
  const int checksBefore = sink->input.checks;
  EXPECT_EQ(source->Send("a", &same), S_OK);
  EXPECT_EQ(sink->input.checks, checksBefore) << "the connection's own type is taken as it is";

  const CMediaType changed = PcmMediaType(MakePcmFormat(22050, 2, 16));
  std::atomic<bool> delivered{false};
  std::thread streaming;
  {
    CAutoLock lock(sink->FilterLock());
    streaming = std::thread([&] {
      source->Send("b", &changed);
      delivered = true;
    });
    ::Sleep(200);
    EXPECT_FALSE(delivered) << "the type was replaced without the filter lock";
    EXPECT_TRUE(SameMediaType(sink->input.ConnectionType(), same));
  }
  streaming.join();
  EXPECT_TRUE(SameMediaType(sink->input.ConnectionType(), changed));
  EXPECT_EQ(sink->received, "ab");
  ASSERT_GE(control->Stop(), 0);
}

}  // namespace
