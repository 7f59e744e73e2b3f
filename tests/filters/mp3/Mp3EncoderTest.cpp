#include "filters/mp3/Mp3Encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/AudioCheck.h"
#include "support/TempDir.h"

namespace {

constexpr double kToneHz = 1000.0;
// The silence libmp3lame needs beyond the last frame it completes, and the flush's
// granularity: a pause adds this and at most one frame.
constexpr double kLookAhead = 1328 + 32;

std::vector<uint8_t> Tone(const PcmFormat& format, double seconds) {
  return TonePcm(format.sampleRate, format.channels, format.bitsPerSample, kToneHz, seconds);
}

// An encoder's output collected as a writer keeps it: appended, with the tag frame
// rewritten in place at the start.
struct Mp3Stream {
  std::string bytes;

  void Append(const std::vector<uint8_t>& out) { bytes.append(out.begin(), out.end()); }
  void RewriteTag(const CMp3Encoder& encoder) {
    const std::vector<uint8_t> tag = encoder.TagFrame();
    ASSERT_FALSE(tag.empty());
    ASSERT_LE(tag.size(), bytes.size());
    std::copy(tag.begin(), tag.end(), bytes.begin());
  }
};

// Encodes `pcm` in blocks of `blockBytes` (the last one shorter).
void EncodeInBlocks(CMp3Encoder& encoder, const std::vector<uint8_t>& pcm, size_t blockBytes, Mp3Stream& stream) {
  std::vector<uint8_t> out;
  for (size_t at = 0; at < pcm.size(); at += blockBytes) {
    out.clear();
    ASSERT_TRUE(encoder.Encode(pcm.data() + at, std::min(blockBytes, pcm.size() - at), out));
    stream.Append(out);
  }
}

void Flush(CMp3Encoder& encoder, Mp3Stream& stream) {
  std::vector<uint8_t> out;
  ASSERT_TRUE(encoder.Flush(out));
  stream.Append(out);
  stream.RewriteTag(encoder);
}

DecodedAudio Decode(const TempDir& dir, const std::string& name, const Mp3Stream& stream) {
  const std::string path = dir.File(name);
  WriteWholeFile(path, stream.bytes);
  return DecodeWithFfmpeg(path);
}

size_t TenthOfASecond(const PcmFormat& format) { return format.sampleRate / 10 * format.BlockAlign(); }

struct EncodeCase {
  const char* what;
  PcmFormat input;
  Mp3Settings settings;  // sampleRate, variable, bitRate, vbrMin, vbrMax, vbrQuality, quality
  unsigned outputRate;
  unsigned bitRate;  // every frame's, for a constant bit rate
};

const EncodeCase kEncodeCases[] = {
    {"44100 Hz stereo 16-bit, 128 kbit/s", {2, 44100, 16}, {44100, false, 128, 32, 320, 4, 5}, 44100, 128},
    {"22050 Hz mono 8-bit, 64 kbit/s", {1, 22050, 8}, {22050, false, 64, 8, 160, 4, 5}, 22050, 64},
    {"8000 Hz capture to 11025 Hz, 32 kbit/s", {1, 8000, 16}, {11025, false, 32, 8, 160, 4, 2}, 11025, 32},
    {"11025 Hz stereo 8-bit, 160 kbit/s lowered to 64", {2, 11025, 8}, {11025, false, 160, 8, 160, 4, 9}, 11025,
     64},
    {"48000 Hz stereo, variable 32-320", {2, 48000, 16}, {48000, true, 128, 32, 320, 2, 5}, 48000, 0},
    {"96000 Hz stereo resampled to 48000, 192 kbit/s", {2, 96000, 16}, {96000, false, 192, 32, 320, 4, 5}, 48000,
     192},
    {"44100 Hz mono, variable with the minimum above the maximum", {1, 44100, 16}, {44100, true, 128, 256, 96, 4, 5},
     44100, 0},
    {"22050 Hz stereo 8-bit, variable 8-64", {2, 22050, 8}, {22050, true, 128, 8, 64, 9, 7}, 22050, 0},
};

TEST(Mp3Encoder, EncodesToneThatAnIndependentDecoderReadsBack) {
  TempDir dir;
  for (const EncodeCase& c : kEncodeCases) {
    SCOPED_TRACE(c.what);
    CMp3Encoder encoder;
    ASSERT_TRUE(encoder.Start(c.input, c.settings));
    Mp3Stream stream;
    EncodeInBlocks(encoder, Tone(c.input, 3.0), TenthOfASecond(c.input), stream);
    Flush(encoder, stream);

    const DecodedAudio audio = Decode(dir, "tone.mp3", stream);
    ASSERT_EQ(audio.error, "");
    EXPECT_EQ(audio.sampleRate, c.outputRate);
    EXPECT_EQ(audio.channels, c.input.channels);
    EXPECT_NEAR(double(audio.samples.size()), 3.0 * c.outputRate, encoder.FrameSamples());
    EXPECT_NEAR(ToneFrequency(audio.samples, audio.sampleRate), kToneHz, kToneHz / 100);

    // Players take the duration from the tag's frame count: every frame but the tag.
    const std::vector<MpegFrameHeader> frames = MpegFrames(stream.bytes);
    ASSERT_GT(frames.size(), 3.0 * c.outputRate / encoder.FrameSamples());
    EXPECT_NEAR(ProbedDuration(dir.File("tone.mp3")), double(frames.size() - 1) * encoder.FrameSamples() / c.outputRate,
                0.001);
    EXPECT_EQ(frames.back().offset + frames.back().size, stream.bytes.size()) << "only whole frames";
    const std::string tag = stream.bytes.substr(0, frames[0].size);
    EXPECT_NE(tag.find(c.settings.variable ? "Xing" : "Info"), std::string::npos);
    for (const MpegFrameHeader& frame : frames) {
      EXPECT_EQ(frame.sampleRate, c.outputRate);
      if (c.bitRate != 0) {
        EXPECT_EQ(frame.bitRate, c.bitRate) << "frame at " << frame.offset;
      } else if (frame.offset != 0) {
        EXPECT_LE(frame.bitRate, UsableSettings(c.settings, c.input.sampleRate).vbrMax);
      }
    }
  }
}

TEST(Mp3Encoder, SampleFramesSplitAcrossBlocksEncodeAsWhole) {
  const PcmFormat format{2, 44100, 16};
  const std::vector<uint8_t> pcm = Tone(format, 1.0);
  Mp3Stream whole, split;
  for (auto [blockBytes, stream] : {std::pair{TenthOfASecond(format), &whole}, std::pair{size_t(1001), &split}}) {
    CMp3Encoder encoder;
    ASSERT_TRUE(encoder.Start(format, {}));
    EncodeInBlocks(encoder, pcm, blockBytes, *stream);
    Flush(encoder, *stream);
    EXPECT_EQ(encoder.SamplesIn() >= 44100, true);
  }
  EXPECT_EQ(whole.bytes, split.bytes);
}

TEST(Mp3Encoder, FlushPutsAllAudioOutAndEncodingGoesOn) {
  TempDir dir;
  for (const PcmFormat& format : {PcmFormat{2, 44100, 16}, PcmFormat{1, 11025, 8}}) {
    SCOPED_TRACE(format.sampleRate);
    CMp3Encoder encoder;
    ASSERT_TRUE(encoder.Start(format, {}));
    const unsigned frame = encoder.FrameSamples();
    Mp3Stream stream;
    EncodeInBlocks(encoder, Tone(format, 1.0), TenthOfASecond(format), stream);
    Flush(encoder, stream);
    const DecodedAudio paused = Decode(dir, "paused.mp3", stream);
    ASSERT_EQ(paused.error, "");
    EXPECT_NEAR(double(paused.samples.size()), format.sampleRate, frame / 2) << "all of the first second";

    EncodeInBlocks(encoder, Tone(format, 1.0), TenthOfASecond(format), stream);
    Flush(encoder, stream);
    const DecodedAudio resumed = Decode(dir, "resumed.mp3", stream);
    ASSERT_EQ(resumed.error, "");
    const double silenceAdded = double(resumed.samples.size()) - 2.0 * format.sampleRate;
    EXPECT_GE(silenceAdded, -double(frame) / 2);
    EXPECT_LE(silenceAdded, frame + kLookAhead) << "the rest of a frame and the encoder's look-ahead";
    const std::vector<int16_t> lastHalf(resumed.samples.end() - format.sampleRate / 2, resumed.samples.end());
    EXPECT_NEAR(ToneFrequency(lastHalf, format.sampleRate), kToneHz, kToneHz / 100);

    std::vector<uint8_t> out;
    ASSERT_TRUE(encoder.Flush(out));
    EXPECT_TRUE(out.empty()) << "a second flush has nothing to add";
  }
}

TEST(Mp3Encoder, StreamCutOffAfterATagRewriteDecodesPastIt) {
  // A writer renews the tag every second or so; a recording killed between two renewals
  // leaves a tag describing the stream as it was at the last one.
  TempDir dir;
  const PcmFormat format{2, 44100, 16};
  for (bool variable : {false, true}) {
    SCOPED_TRACE(variable ? "variable" : "constant");
    CMp3Encoder encoder;
    Mp3Settings settings;
    settings.variable = variable;
    ASSERT_TRUE(encoder.Start(format, settings));
    Mp3Stream stream;
    EncodeInBlocks(encoder, Tone(format, 2.0), TenthOfASecond(format), stream);
    stream.RewriteTag(encoder);
    EncodeInBlocks(encoder, Tone(format, 0.5), TenthOfASecond(format), stream);

    const DecodedAudio audio = Decode(dir, "cut.mp3", stream);
    ASSERT_EQ(audio.error, "");
    EXPECT_GE(audio.Seconds(), 2.0);
    EXPECT_LE(audio.Seconds(), 2.5);
    const double reported = ProbedDuration(dir.File("cut.mp3"));
    // At least what the last renewal described, and no more than the file holds.
    EXPECT_GE(reported, 2.0 - 0.05);
    EXPECT_LE(reported, audio.Seconds() + double(encoder.FrameSamples()) / format.sampleRate);
    EXPECT_NEAR(ToneFrequency(audio.samples, format.sampleRate), kToneHz, kToneHz / 100);
  }
}

TEST(Mp3Encoder, RefusesWhatIsNotEncodablePcm) {
  CMp3Encoder encoder;
  EXPECT_FALSE(encoder.Start({2, 44100, 24}, {}));
  EXPECT_FALSE(encoder.IsStarted());
  std::vector<uint8_t> out;
  const uint8_t pcm[4] = {};
  EXPECT_FALSE(encoder.Encode(pcm, sizeof pcm, out));
  EXPECT_FALSE(encoder.Flush(out));
  EXPECT_TRUE(encoder.TagFrame().empty());
}

// For a writer that cannot put a renewed tag in place: nothing but audio frames.
TEST(Mp3Encoder, WithoutTagFrameTheStreamIsOnlyAudioFrames) {
  TempDir dir;
  const PcmFormat format{1, 22050, 16};
  CMp3Encoder encoder;
  ASSERT_TRUE(encoder.Start(format, {}, false));
  Mp3Stream stream;
  EncodeInBlocks(encoder, Tone(format, 1.0), TenthOfASecond(format), stream);
  std::vector<uint8_t> out;
  ASSERT_TRUE(encoder.Flush(out));
  stream.Append(out);
  EXPECT_TRUE(encoder.TagFrame().empty());
  const std::vector<MpegFrameHeader> frames = MpegFrames(stream.bytes);
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.back().offset + frames.back().size, stream.bytes.size());
  EXPECT_EQ(stream.bytes.find("Info"), std::string::npos);
  EXPECT_EQ(stream.bytes.find("Xing"), std::string::npos);
  const DecodedAudio audio = Decode(dir, "plain.mp3", stream);
  ASSERT_EQ(audio.error, "");
  EXPECT_GE(audio.Seconds(), 1.0);
  EXPECT_NEAR(ToneFrequency(audio.samples, audio.sampleRate), kToneHz, kToneHz / 100);
}

TEST(Mp3Encoder, TagPaddingKeepsTheTagsChecksumValid) {
  CMp3Encoder encoder;
  ASSERT_TRUE(encoder.Start({2, 44100, 16}, {}));
  Mp3Stream stream;
  EncodeInBlocks(encoder, Tone({2, 44100, 16}, 0.5), 17640, stream);
  // Before any flush the tag is libmp3lame's own, with padding 0 and its checksum.
  const std::vector<uint8_t> original = encoder.TagFrame();
  std::vector<uint8_t> tag = original;
  ASSERT_TRUE(SetTagPadding(tag, 0));
  EXPECT_EQ(tag, original);

  ASSERT_TRUE(SetTagPadding(tag, 0xABC));
  const size_t lame = std::string(tag.begin(), tag.end()).find("LAME");
  ASSERT_NE(lame, std::string::npos);
  EXPECT_EQ(((tag[lame + 22] & 0x0F) << 8) | tag[lame + 23], 0xABC) << "the low 12 bits of delay/padding";
  EXPECT_EQ(tag[lame + 21], original[lame + 21]) << "the delay stays";
  EXPECT_NE(tag, original);
  ASSERT_TRUE(SetTagPadding(tag, 0));
  EXPECT_EQ(tag, original);

  std::vector<uint8_t> notATag(tag.size(), 0);
  EXPECT_FALSE(SetTagPadding(notATag, 1));
}

}  // namespace
