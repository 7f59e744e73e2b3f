#include "tests/program/WaveFileCheck.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "support/LinuxCommand.h"
#include "tests/filters/wavdest/RecordingGraph.h"

namespace {

uint64_t Little(const uint8_t* bytes, int count) {
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

bool Tag(const uint8_t* bytes, const char* tag) { return std::memcmp(bytes, tag, 4) == 0; }

}  // namespace

WaveFileCheck CheckWaveFile(const std::string& path, const PcmFormat& format) {
  WaveFileCheck check;
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    check.error = "cannot open " + path;
    return check;
  }
  LARGE_INTEGER size{};
  ::GetFileSizeEx(file, &size);
  const uint64_t fileBytes = uint64_t(size.QuadPart);
  uint8_t h[kWaveHeaderSize] = {};
  DWORD read = 0;
  auto fail = [&](const std::string& why) {
    check.error = why;
    ::CloseHandle(file);
    return check;
  };
  if (!::ReadFile(file, h, sizeof h, &read, nullptr) || read != sizeof h) return fail("shorter than the header");
  check.rf64 = Tag(h, "RF64");
  if (!check.rf64 && !Tag(h, "RIFF")) return fail("neither RIFF nor RF64");
  if (!Tag(h + 8, "WAVE") || !Tag(h + 12, check.rf64 ? "ds64" : "JUNK") || Little(h + 16, 4) != 28) {
    return fail("not the program's chunk layout");
  }
  if (!Tag(h + 48, "fmt ") || Little(h + 52, 4) != 16 || Little(h + 56, 2) != 1 ||
      Little(h + 58, 2) != format.channels || Little(h + 60, 4) != format.sampleRate ||
      Little(h + 64, 4) != format.ByteRate() || Little(h + 68, 2) != format.BlockAlign() ||
      Little(h + 70, 2) != format.bitsPerSample || !Tag(h + 72, "data")) {
    return fail("a format chunk for another format");
  }
  uint64_t riffSize = Little(h + 4, 4);
  check.dataBytes = Little(h + 76, 4);
  if (check.rf64) {
    if (riffSize != 0xFFFFFFFFu || check.dataBytes != 0xFFFFFFFFu) return fail("RF64 with 32-bit sizes");
    riffSize = Little(h + 20, 8);
    check.dataBytes = Little(h + 28, 8);
    if (Little(h + 36, 8) != check.dataBytes / format.BlockAlign()) return fail("a sample count off the data size");
    if (riffSize <= 0xFFFFFFFFu) return fail("RF64 for a file that fits RIFF");
  }
  if (riffSize != kWaveHeaderSize - 8 + check.dataBytes + check.dataBytes % 2) return fail("RIFF size off the data size");
  if (check.dataBytes % format.BlockAlign() != 0) return fail("a part frame");
  if (8 + riffSize > fileBytes) return fail("the header counts bytes the file does not hold");

  // Pieces of 1 MiB start where the counter starts again (its period divides 1 MiB).
  std::vector<char> buffer(1 << 20);
  check.firstCounterMismatch = check.dataBytes;
  for (uint64_t at = 0; at < check.dataBytes;) {
    const DWORD want = DWORD(std::min<uint64_t>(buffer.size(), check.dataBytes - at));
    if (!::ReadFile(file, buffer.data(), want, &read, nullptr) || read != want) return fail("a read failed");
    const size_t mismatch = FirstCounterMismatch(format, std::string(buffer.data(), read));
    if (mismatch < read) {
      check.firstCounterMismatch = at + mismatch;
      break;
    }
    at += read;
  }
  ::CloseHandle(file);
  return check;
}

std::string StrictReaderComplaints(const std::string& path) {
  const std::string file = ShellQuote(UnixPath(path));
  std::string complaints;
  const LinuxCommandResult sox = RunLinuxCommand("sox -V2 " + file + " -n", 600000);
  if (!sox.finished || sox.exitCode != 0 || !sox.output.empty()) complaints += "sox: " + sox.output;
  // At warning level ffmpeg also remarks on what is no fault: a channel layout it guesses for
  // any plain PCM file, and a killed MP3 file that runs on past what its tag frame (renewed
  // every second) counts. Errors end the decoding.
  const LinuxCommandResult ffmpeg =
      RunLinuxCommand("ffmpeg -nostdin -v error -xerror -i " + file + " -f null -", 600000);
  if (!ffmpeg.finished || ffmpeg.exitCode != 0 || !ffmpeg.output.empty()) complaints += "ffmpeg: " + ffmpeg.output;
  return complaints;
}
