#include "filters/wavein/WaveInSource.h"

#include <evcode.h>
#include <oleauto.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <new>
#include <system_error>

#include "filters/FilterClassIds.h"
#include "filters/kit/MediaType.h"
#include "filters/kit/ThreadName.h"
#include "filters/wavein/SampleGain.h"

const wchar_t kWaveInSourceName[] = L"Sondrel Audio Capture";

HRESULT CreateWaveInSource(REFIID iid, void** out) { return CreateComObject<CWaveInSource>(iid, out); }

namespace {

constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;
// How often the worker looks at the device when it signals nothing.
constexpr DWORD kPollMs = 100;

HRESULT OpenFailure(MMRESULT result) {
  switch (result) {
    case WAVERR_BADFORMAT: return VFW_E_TYPE_NOT_ACCEPTED;
    case MMSYSERR_NOMEM: return E_OUTOFMEMORY;
    default: return VFW_E_NO_CAPTURE_HARDWARE;
  }
}

}  // namespace

CWaveInSource::CWaveInSource()
    : CWithInterfaces(CLSID_WaveInCapture),
      m_line(*this, L"Capture", true, 1.0),
      m_output(*this, L"Output", MakePcmFormat(44100, 2, 16)),
      m_wake(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

CWaveInSource::~CWaveInSource() {
  OnStopStreaming();
  if (m_wake) ::CloseHandle(m_wake);
}

CBasePin* CWaveInSource::GetPin(int index) {
  if (index == 0) return &m_line;
  return index == 1 ? &m_output : nullptr;
}

STDMETHODIMP CWaveInSource::Load(IPropertyBag* bag, IErrorLog* log) {
  if (!bag) return E_POINTER;
  VARIANT id;
  ::VariantInit(&id);
  id.vt = VT_I4;
  HRESULT hr = bag->Read(L"WaveInID", &id, log);
  if (SUCCEEDED(hr)) hr = ::VariantChangeType(&id, &id, 0, VT_I4);
  if (SUCCEEDED(hr)) {
    CAutoLock lock(FilterLock());
    if (IsStopped()) {
      m_deviceId = static_cast<UINT>(id.lVal);
    } else {
      hr = VFW_E_NOT_STOPPED;
    }
  }
  ::VariantClear(&id);
  return hr;
}

HRESULT CWaveInSource::StateResult(FILTER_STATE state) {
  // A live source has nothing to cue while paused.
  return state == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

HRESULT CWaveInSource::OnStartStreaming() {
  IMemAllocator* allocator = m_output.Allocator();
  if (!allocator) return S_OK;  // not connected: nothing to capture for
  ALLOCATOR_PROPERTIES props{};
  HRESULT hr = allocator->GetProperties(&props);
  if (FAILED(hr)) return hr;
  const WAVEFORMATEX& format = m_output.Format();
  const size_t bytes = static_cast<size_t>(props.cbBuffer) - static_cast<size_t>(props.cbBuffer) % format.nBlockAlign;
  const MMRESULT result = m_device.Open(m_deviceId, format, static_cast<size_t>(std::max(1L, props.cBuffers)), bytes);
  if (result != MMSYSERR_NOERROR) return OpenFailure(result);
  m_bufferMs = static_cast<DWORD>(bytes * 1000 / format.nAvgBytesPerSec);
  m_nextBuffer = 0;
  m_frames = 0;
  m_command = Command::Pause;
  m_delivering = false;
  m_lostReported = false;
  m_audioCaptured = false;
  try {
    m_worker = std::thread([this] { CaptureLoop(); });
  } catch (const std::system_error&) {
    m_device.Close();
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

void CWaveInSource::OnRun(REFERENCE_TIME) {
  if (!m_device.IsOpen()) return;
  const MMRESULT result = m_device.Start();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_command = Command::Run;
    m_lastBufferTick = ::GetTickCount64();
  }
  m_changed.notify_all();
  if (result != MMSYSERR_NOERROR) ReportDeviceLost();
}

void CWaveInSource::OnLeaveRunning() {
  if (!m_device.IsOpen()) return;
  {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_command = Command::Pause;
    ::SetEvent(m_wake);
    m_changed.wait(lock, [this] { return !m_delivering; });
  }
  // The device returns every buffer, the one it was filling with what it holds. That part
  // goes out now, while the graph still takes samples; the buffers wait queued for Run.
  m_device.Reset();
  DeliverDoneBuffers(true);
}

void CWaveInSource::OnStopStreaming() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_command = Command::Exit;
  }
  if (m_wake) ::SetEvent(m_wake);
  m_changed.notify_all();
  if (m_worker.joinable()) m_worker.join();
  m_device.Close();
}

DWORD CWaveInSource::LostAfterMs() const {
  return m_audioCaptured ? std::max<DWORD>(kLostAfterMs, 2 * m_bufferMs) : kFirstBufferWithinMs;
}

void CWaveInSource::CaptureLoop() {
  NameThisThread(L"Sondrel capture");
  std::unique_lock<std::mutex> lock(m_mutex);
  while (m_command != Command::Exit) {
    if (m_command != Command::Run) {
      m_changed.wait(lock);
      continue;
    }
    m_delivering = true;
    lock.unlock();
    HANDLE events[] = {m_device.Event(), m_wake};
    ::WaitForMultipleObjects(2, events, FALSE, kPollMs);
    DeliverDoneBuffers(true);
    lock.lock();
    m_delivering = false;
    m_changed.notify_all();
    const bool silent = ::GetTickCount64() - m_lastBufferTick > LostAfterMs();
    if (m_command == Command::Run && silent && !m_lostReported) {
      lock.unlock();
      ReportDeviceLost();
      lock.lock();
    }
  }
}

void CWaveInSource::DeliverDoneBuffers(bool requeue) {
  bool returned = false;
  bool captured = false;
  bool failed = false;
  for (size_t n = 0; n < m_device.Count() && m_device.IsDone(m_nextBuffer); ++n) {
    const size_t index = m_nextBuffer;
    const size_t bytes = m_device.BytesRecorded(index);
    if (bytes > 0) {
      DeliverBuffer(m_device.Data(index), bytes);
      captured = true;
    }
    if (requeue && m_device.Requeue(index) != MMSYSERR_NOERROR) failed = true;
    m_nextBuffer = (index + 1) % m_device.Count();
    returned = true;
  }
  if (returned) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lastBufferTick = ::GetTickCount64();
    if (captured) m_audioCaptured = true;
  }
  if (failed) ReportDeviceLost();
}

HRESULT CWaveInSource::DeliverBuffer(const BYTE* data, size_t bytes) {
  const WAVEFORMATEX& format = m_output.Format();
  bytes -= bytes % format.nBlockAlign;
  const uint64_t first = m_frames;
  // Counted whether or not downstream takes them: the stamps follow the device's clock.
  m_frames += bytes / format.nBlockAlign;
  CComPtr<IMediaSample> sample;
  HRESULT hr = m_output.GetDeliveryBuffer(sample);
  if (FAILED(hr)) return hr;
  BYTE* target = nullptr;
  hr = sample->GetPointer(&target);
  if (FAILED(hr)) return hr;
  bytes = std::min(bytes, static_cast<size_t>(sample->GetSize()));
  const double level = m_line.Level();
  const double gain = !m_line.Enabled() ? 0.0 : level == AMF_AUTOMATICGAIN ? 1.0 : level;
  CopyWithGain(data, target, bytes, format.wBitsPerSample, gain);
  sample->SetActualDataLength(static_cast<long>(bytes));
  REFERENCE_TIME start = static_cast<REFERENCE_TIME>(first * kUnitsPerSecond / format.nSamplesPerSec);
  REFERENCE_TIME stop = static_cast<REFERENCE_TIME>(m_frames * kUnitsPerSecond / format.nSamplesPerSec);
  sample->SetTime(&start, &stop);
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(first == 0);
  return m_output.Deliver(sample.Get());
}

void CWaveInSource::ReportDeviceLost() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_lostReported) return;
    m_lostReported = true;
  }
  NotifyEvent(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)), 0);
}
