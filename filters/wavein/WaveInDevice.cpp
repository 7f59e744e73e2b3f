#include "filters/wavein/WaveInDevice.h"

#include <atomic>

MMRESULT CWaveInDevice::Open(UINT id, const WAVEFORMATEX& format, size_t count, size_t bytes) {
  Close();
  m_event = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!m_event) return MMSYSERR_NOMEM;
  WAVEFORMATEX wanted = format;
  wanted.cbSize = 0;
  MMRESULT result = ::waveInOpen(&m_handle, id, &wanted, reinterpret_cast<DWORD_PTR>(m_event), 0, CALLBACK_EVENT);
  if (result != MMSYSERR_NOERROR) {
    m_handle = nullptr;
    Close();
    return result;
  }
  m_memory.assign(count * bytes, 0);
  m_headers.assign(count, WAVEHDR{});
  for (size_t i = 0; i < count && result == MMSYSERR_NOERROR; ++i) {
    WAVEHDR& header = m_headers[i];
    header.lpData = reinterpret_cast<LPSTR>(m_memory.data() + i * bytes);
    header.dwBufferLength = static_cast<DWORD>(bytes);
    result = ::waveInPrepareHeader(m_handle, &header, sizeof header);
    if (result == MMSYSERR_NOERROR) result = ::waveInAddBuffer(m_handle, &header, sizeof header);
  }
  if (result != MMSYSERR_NOERROR) Close();
  return result;
}

MMRESULT CWaveInDevice::Start() { return m_handle ? ::waveInStart(m_handle) : MMSYSERR_INVALHANDLE; }

MMRESULT CWaveInDevice::Reset() { return m_handle ? ::waveInReset(m_handle) : MMSYSERR_INVALHANDLE; }

bool CWaveInDevice::IsDone(size_t index) const {
  // The device's thread sets the flag; the data it wrote is read only after seeing it.
  const DWORD flags = *static_cast<const volatile DWORD*>(&m_headers[index].dwFlags);
  std::atomic_thread_fence(std::memory_order_acquire);
  return (flags & WHDR_DONE) != 0;
}

MMRESULT CWaveInDevice::Requeue(size_t index) {
  if (!m_handle) return MMSYSERR_INVALHANDLE;
  WAVEHDR& header = m_headers[index];
  // Not done any more, also when the device refuses it: it is never delivered twice.
  header.dwFlags &= ~WHDR_DONE;
  header.dwBytesRecorded = 0;
  return ::waveInAddBuffer(m_handle, &header, sizeof header);
}

void CWaveInDevice::Close() {
  if (m_handle) {
    ::waveInReset(m_handle);
    for (WAVEHDR& header : m_headers) {
      if (header.dwFlags & WHDR_PREPARED) ::waveInUnprepareHeader(m_handle, &header, sizeof header);
    }
    ::waveInClose(m_handle);
    m_handle = nullptr;
  }
  m_headers.clear();
  m_memory.clear();
  if (m_event) {
    ::CloseHandle(m_event);
    m_event = nullptr;
  }
}
