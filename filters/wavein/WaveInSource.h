#pragma once
// "Sondrel Audio Capture": a capture source over a waveIn device, for capture devices whose
// own filter cannot capture (Wine's audio capture filter has no pins). To the recorder it is
// a capture filter like any other:
// - pin 0, "Capture", the device's only input line (IAMAudioInputMixer): its switch and its
//   mix level, applied as a linear amplitude gain on the captured samples (1.0 leaves them
//   as captured; switched off, the line records silence). The device's own capture volume
//   is left alone.
// - pin 1, "Output", PCM at any rate, 8 or 16 bits, 1 or 2 channels (CCaptureOutputPin).
//   The allocator's buffers are also the waveIn buffers: as many, of the same size.
// The device is the "WaveInID" of the property bag given to IPersistPropertyBag::Load (the
// device moniker's); WAVE_MAPPER until then.
//
// Streaming: the device opens when the filter leaves Stopped and closes when it stops, with
// every buffer returned. Run starts capturing; leaving Running stops it and delivers what the
// current buffer holds, so a pause leaves out exactly the paused time and loses nothing. Samples
// are stamped by the number of frames delivered since the device opened, so the stamps
// never drift from the data. A worker thread of the filter's own waits for filled buffers and
// delivers them; it takes neither filter lock and never waits for the device without a time
// limit. The device is reported lost (EC_DEVICE_LOST, second parameter 0, once per run of the
// stream) when waveIn reports an error or when no buffer comes back for a whole second while
// running (for the first audio after opening, five seconds).
#include <windows.h>
#include <ocidl.h>
#include <strmif.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include <mmsystem.h>

#include "filters/kit/BaseFilter.h"
#include "filters/kit/CapturePins.h"
#include "filters/wavein/WaveInDevice.h"

extern const wchar_t kWaveInSourceName[];
HRESULT CreateWaveInSource(REFIID iid, void** out);

class CWaveInSource : public CWithInterfaces<CBaseFilter, IPersistPropertyBag> {
 public:
  // How long a running device may stay without returning a buffer before it counts as lost
  // (longer when one buffer holds more than half of it).
  static constexpr DWORD kLostAfterMs = 1000;
  // The same for the first audio after the device opened: under Wine the first capture
  // stream of a process starts up to a second late, later still on a loaded machine.
  static constexpr DWORD kFirstBufferWithinMs = 5000;

  CWaveInSource();
  ~CWaveInSource() override;

  // IPersist, IPersistPropertyBag
  STDMETHODIMP GetClassID(CLSID* clsid) override { return CBaseFilter::GetClassID(clsid); }
  STDMETHODIMP InitNew() override { return S_OK; }
  // E_POINTER without a bag; the bag's failure when it holds no "WaveInID".
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag*, BOOL, BOOL) override { return E_NOTIMPL; }

  int GetPinCount() override { return 2; }
  CBasePin* GetPin(int index) override;

  UINT DeviceId() const { return m_deviceId; }

 protected:
  HRESULT OnStartStreaming() override;
  void OnRun(REFERENCE_TIME start) override;
  void OnLeaveRunning() override;
  void OnStopStreaming() override;
  HRESULT StateResult(FILTER_STATE state) override;

 private:
  enum class Command { Pause, Run, Exit };

  void CaptureLoop();
  // Delivers the buffers the device has finished with, in ring order, and hands each back
  // to it when `requeue`. Called by the worker while running, or by a state change while
  // the worker is idle.
  void DeliverDoneBuffers(bool requeue);
  HRESULT DeliverBuffer(const BYTE* data, size_t bytes);
  void ReportDeviceLost();
  // How long the device may now stay silent (m_mutex held).
  DWORD LostAfterMs() const;

  CMixerLinePin m_line;
  CCaptureOutputPin m_output;
  UINT m_deviceId = WAVE_MAPPER;
  DWORD m_bufferMs = 0;  // the length of one buffer, from the open device's format

  CWaveInDevice m_device;
  HANDLE m_wake = nullptr;  // wakes the worker for a new command
  std::mutex m_mutex;       // guards the fields below it, shared with the worker
  std::condition_variable m_changed;
  Command m_command = Command::Pause;
  bool m_delivering = false;  // the worker is between two commands' checks
  ULONGLONG m_lastBufferTick = 0;
  bool m_audioCaptured = false;  // since the device opened
  bool m_lostReported = false;
  std::thread m_worker;
  // Used by whoever delivers (the worker, or a state change while the worker is idle).
  size_t m_nextBuffer = 0;
  uint64_t m_frames = 0;
};
