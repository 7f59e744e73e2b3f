#pragma once
// One open waveIn device with its queue of capture buffers, closed with every buffer
// returned and unprepared when the object goes. The device signals the object's event
// whenever a buffer is done (event callback). Buffers are handed to the device in a ring
// and come back in the order they were queued.
#include <windows.h>
#include <mmsystem.h>

#include <cstddef>
#include <memory>
#include <vector>

class CWaveInDevice {
 public:
  CWaveInDevice() = default;
  ~CWaveInDevice() { Close(); }
  CWaveInDevice(const CWaveInDevice&) = delete;
  CWaveInDevice& operator=(const CWaveInDevice&) = delete;

  // Opens device `id` for `format` with `count` buffers of `bytes` each, all queued.
  MMRESULT Open(UINT id, const WAVEFORMATEX& format, size_t count, size_t bytes);
  MMRESULT Start();
  // Stops capturing and returns every queued buffer as done; the one being filled keeps
  // what it holds (BytesRecorded).
  MMRESULT Reset();
  // Returns every buffer, unprepares them and closes the device.
  void Close();

  bool IsOpen() const { return m_handle != nullptr; }
  HANDLE Event() const { return m_event; }
  size_t Count() const { return m_headers.size(); }
  // The buffer at `index` of the ring: whether the device has finished with it, its data.
  bool IsDone(size_t index) const;
  const BYTE* Data(size_t index) const { return reinterpret_cast<const BYTE*>(m_headers[index].lpData); }
  size_t BytesRecorded(size_t index) const { return m_headers[index].dwBytesRecorded; }
  // Hands a done buffer back to the device.
  MMRESULT Requeue(size_t index);

 private:
  HWAVEIN m_handle = nullptr;
  HANDLE m_event = nullptr;
  std::vector<WAVEHDR> m_headers;  // sized once at Open: the device holds their addresses
  std::vector<BYTE> m_memory;
};
