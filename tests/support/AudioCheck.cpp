#include "support/AudioCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "support/LinuxCommand.h"
#include "support/TempDir.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// One "key=value" line of ffprobe's output.
std::string ProbeValue(const std::string& output, const std::string& key) {
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  }
  return {};
}

std::string Probe(const std::string& path) {
  return RunLinuxCommand("ffprobe -v error -select_streams a:0 -show_entries "
                         "stream=sample_rate,channels,duration -of default=nw=1 " +
                         ShellQuote(UnixPath(path)))
      .output;
}

}  // namespace

DecodedAudio DecodeWithFfmpeg(const std::string& path) {
  DecodedAudio audio;
  const std::string probe = Probe(path);
  audio.sampleRate = unsigned(std::atoi(ProbeValue(probe, "sample_rate").c_str()));
  audio.channels = unsigned(std::atoi(ProbeValue(probe, "channels").c_str()));
  if (audio.sampleRate == 0 || audio.channels == 0) {
    audio.error = "ffprobe: " + probe;
    return audio;
  }
  const std::string raw = path + ".raw";
  LinuxCommandResult decode = RunLinuxCommand("ffmpeg -nostdin -v error -y -i " + ShellQuote(UnixPath(path)) +
                                              " -map 0:a:0 -f s16le -acodec pcm_s16le " +
                                              ShellQuote(UnixPath(raw)));
  if (!decode.finished || decode.exitCode != 0) {
    audio.error = "ffmpeg: " + decode.output;
    return audio;
  }
  const std::string bytes = ReadWholeFile(raw);
  const size_t frameBytes = 2 * audio.channels;
  for (size_t at = 0; at + frameBytes <= bytes.size(); at += frameBytes) {
    audio.samples.push_back(int16_t(uint16_t(uint8_t(bytes[at]) | (uint8_t(bytes[at + 1]) << 8))));
  }
  return audio;
}

double ProbedDuration(const std::string& path) {
  const std::string value = ProbeValue(Probe(path), "duration");
  return value.empty() || value == "N/A" ? -1.0 : std::atof(value.c_str());
}

std::vector<uint8_t> TonePcm(unsigned sampleRate, unsigned channels, unsigned bitsPerSample, double hz,
                             double seconds) {
  std::vector<uint8_t> pcm;
  const size_t frames = size_t(seconds * sampleRate);
  pcm.reserve(frames * channels * bitsPerSample / 8);
  for (size_t i = 0; i < frames; ++i) {
    const double value = 0.5 * std::sin(2 * kPi * hz * double(i) / sampleRate);
    for (unsigned c = 0; c < channels; ++c) {
      if (bitsPerSample == 8) {
        pcm.push_back(uint8_t(std::lround(128 + 127 * value)));
      } else {
        const auto sample = uint16_t(int16_t(std::lround(32767 * value)));
        pcm.push_back(uint8_t(sample));
        pcm.push_back(uint8_t(sample >> 8));
      }
    }
  }
  return pcm;
}

namespace {

// The rising zero crossings, placed between samples by linear interpolation; a small
// threshold keeps noise around silence from counting.
std::vector<double> RisingCrossings(const std::vector<int16_t>& samples) {
  std::vector<double> crossings;
  for (size_t i = 1; i < samples.size(); ++i) {
    if (samples[i - 1] < 0 && samples[i] >= 0 && samples[i] - samples[i - 1] > 64) {
      crossings.push_back(double(i - 1) + double(-samples[i - 1]) / double(samples[i] - samples[i - 1]));
    }
  }
  return crossings;
}

}  // namespace

double ToneFrequency(const std::vector<int16_t>& samples, unsigned sampleRate) {
  const std::vector<double> crossings = RisingCrossings(samples);
  if (crossings.size() < 2) return 0.0;
  return double(crossings.size() - 1) * sampleRate / (crossings.back() - crossings.front());
}

double ToneFrequencyAcrossGaps(const std::vector<int16_t>& samples, unsigned sampleRate) {
  const std::vector<double> crossings = RisingCrossings(samples);
  if (crossings.size() < 3) return 0.0;
  std::vector<double> periods;
  for (size_t i = 1; i < crossings.size(); ++i) periods.push_back(crossings[i] - crossings[i - 1]);
  std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
  return sampleRate / periods[periods.size() / 2];
}

ToneSpan FindToneSpan(const std::vector<int16_t>& samples, unsigned sampleRate, int threshold) {
  ToneSpan span;
  size_t quietStart = 0, longest = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    if (std::abs(int(samples[i])) < threshold) continue;
    if (!span.found) {
      span.found = true;
      span.first = i;
    } else {
      longest = std::max(longest, i - quietStart);
    }
    span.last = i;
    quietStart = i + 1;
  }
  if (span.found && sampleRate > 0) {
    span.seconds = double(span.last - span.first + 1) / sampleRate;
    span.longestQuiet = double(longest) / sampleRate;
  }
  return span;
}

double Rms(const std::vector<int16_t>& samples, size_t first, size_t last) {
  if (first > last || last >= samples.size()) return 0.0;
  double sum = 0;
  for (size_t i = first; i <= last; ++i) sum += double(samples[i]) * samples[i];
  return std::sqrt(sum / double(last - first + 1));
}

std::vector<MpegFrameHeader> MpegFrames(const std::string& bytes, size_t offset) {
  static const unsigned kMpeg1Rates[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static const unsigned kMpeg2Rates[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static const unsigned kSampleRates[] = {44100, 48000, 32000};
  std::vector<MpegFrameHeader> frames;
  while (offset + 4 <= bytes.size()) {
    const auto* h = reinterpret_cast<const uint8_t*>(bytes.data() + offset);
    const unsigned version = (h[1] >> 3) & 3;  // 0: MPEG-2.5, 2: MPEG-2, 3: MPEG-1
    const unsigned bitRateIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3;
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || version == 1 || ((h[1] >> 1) & 3) != 1 ||
        bitRateIndex == 0 || bitRateIndex == 15 || rateIndex == 3) {
      break;
    }
    MpegFrameHeader frame;
    frame.offset = offset;
    frame.bitRate = version == 3 ? kMpeg1Rates[bitRateIndex] : kMpeg2Rates[bitRateIndex];
    frame.sampleRate = kSampleRates[rateIndex] / (version == 3 ? 1 : version == 2 ? 2 : 4);
    frame.channels = (h[3] >> 6) == 3 ? 1 : 2;
    const unsigned padding = (h[2] >> 1) & 1;
    frame.size = (version == 3 ? 144000 : 72000) * frame.bitRate / frame.sampleRate + padding;
    if (offset + frame.size > bytes.size()) break;
    frames.push_back(frame);
    offset += frame.size;
  }
  return frames;
}
