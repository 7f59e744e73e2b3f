#pragma once
// The graphs the benchmarks time. Every one records 44100 Hz 16-bit stereo in the recorder's
// 100 ms buffers, from the bench's virtual device ("Bench Capture": one line, "Line In", a
// 1000 Hz tone) or from a live device:
// - the program's own graphs, built by CRecorder at the bench settings (BenchSettings.h):
//   WAV (capture -> Wave Dest -> File Writer) and MP3 (capture -> Lame MP3 -> Wave Dest ->
//   File Writer);
// - chains that end in a CDiscardSink, for the cost of their parts: the device alone
//   ("capture to nothing"), and the device with the WAV writer or the encoder.
#include <windows.h>
#include <dshow.h>

#include <string>

#include "filters/kit/ComPtr.h"
#include "recorder/Recorder.h"
#include "tests/fixtures/capture/TestCapture.h"

enum class BenchGraph { DeviceAlone, WaveDestToNothing, EncoderToNothing, Wav, Mp3 };

constexpr char kBenchDevice[] = "Bench Capture";
constexpr char kBenchLine[] = "Line In";
constexpr unsigned kBenchRate = 44100;
constexpr unsigned kBenchBlockAlign = 4;
constexpr unsigned kBenchToneHz = 1000;

// What the graph is, for the benchmarks' tables.
const char* Describe(BenchGraph graph);

// Installs the bench device alone, paced as given.
void InstallBenchDevice(CTestCapture& capture, TestPacing pacing);

// Sets the recorder up for a recording to `path` from that device and line, 44100 Hz 16-bit
// stereo at full level.
CRecorder& ConfigureRecorder(CRecorder& recorder, const std::string& path, const char* device, const char* line);

class CBenchGraph {
 public:
  CBenchGraph() = default;
  ~CBenchGraph() { Stop(); }
  CBenchGraph(const CBenchGraph&) = delete;
  CBenchGraph& operator=(const CBenchGraph&) = delete;

  // Builds and runs the graph from `device` (the program's graphs write to `path`).
  HRESULT Start(BenchGraph which, const std::string& path, const char* device = kBenchDevice,
                const char* line = kBenchLine);
  // Stops and releases it.
  void Stop();

 private:
  HRESULT StartChain(BenchGraph which, const char* device);

  CRecorder m_recorder;
  CComPtr<IGraphBuilder> m_graph;
  CComPtr<IMediaControl> m_control;
};
