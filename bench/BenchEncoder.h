#pragma once
// The encoder class alone in real time, the anchor of an MP3 recording's CPU: fed 100 ms of the
// bench device's tone (44100 Hz 16-bit stereo) every 100 ms by a thread that sleeps in
// between, as the capture thread feeds the encoder filter, at the bench settings
// (BenchSettings.h). What it costs includes caches gone cold between buffers, which depends
// on what else runs: alone, or beside Wine's audio threads.
#include <windows.h>

#include <atomic>

#include "bench/BenchMeasures.h"
#include "filters/mp3/Mp3Encoder.h"
#include "tests/fixtures/capture/TestSignal.h"

class CEncoderInRealTime {
 public:
  bool Start();
  // Stops feeding; returns the CPU seconds its thread took.
  double Stop();

 private:
  CTestSignal m_signal;
  CMp3Encoder m_encoder;
  std::atomic<double> m_threadSeconds{0};
  CBenchThread m_thread;
};
