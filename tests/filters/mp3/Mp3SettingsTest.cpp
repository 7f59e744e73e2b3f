#include "filters/mp3/Mp3Settings.h"

#include <gtest/gtest.h>

namespace {

struct UsableCase {
  const char* what;
  Mp3Settings wanted;
  unsigned inputRate;
  Mp3Settings usable;
};

// Fields: sampleRate, variable, bitRate, vbrMin, vbrMax, vbrQuality, quality.
const UsableCase kUsableCases[] = {
    {"values that exist stay", {44100, false, 128, 32, 320, 4, 5}, 44100, {44100, false, 128, 32, 320, 4, 5}},
    {"no output rate keeps the input's", {0, false, 64, 8, 160, 0, 0}, 22050, {22050, false, 64, 8, 160, 0, 0}},
    {"8000 Hz capture asked for 11025", {11025, false, 32, 8, 64, 4, 5}, 8000, {11025, false, 32, 8, 64, 4, 5}},
    {"96000 Hz capture encoded at the nearest MPEG rate", {96000, false, 128, 32, 320, 4, 5}, 96000,
     {48000, false, 128, 32, 320, 4, 5}},
    {"a rate between MPEG rates moves to the nearest", {44000, false, 128, 32, 320, 4, 5}, 44100,
     {44100, false, 128, 32, 320, 4, 5}},
    {"low rates of the dialog's other list raised at 44100", {44100, true, 8, 8, 16, 4, 5}, 44100,
     {44100, true, 32, 32, 32, 4, 5}},
    {"high rates lowered at 22050", {22050, true, 320, 192, 320, 4, 5}, 22050, {22050, true, 160, 160, 160, 4, 5}},
    {"between two bit rates the nearer, the lower on a tie", {44100, false, 144, 150, 200, 4, 5}, 44100,
     {44100, false, 128, 160, 192, 4, 5}},
    {"144 exists at 22050", {22050, false, 144, 144, 144, 4, 5}, 22050, {22050, false, 144, 144, 144, 4, 5}},
    {"at 11025 and 8000 nothing above 64", {11025, true, 160, 80, 144, 4, 5}, 8000, {11025, true, 64, 64, 64, 4, 5}},
    {"VBR minimum above the maximum gives way", {44100, true, 128, 256, 96, 4, 5}, 44100,
     {44100, true, 128, 96, 96, 4, 5}},
    {"qualities above 9 become 9", {44100, true, 128, 32, 320, 10, 4000000000u}, 44100,
     {44100, true, 128, 32, 320, 9, 9}},
};

TEST(Mp3Settings, EveryRequestBecomesTheNearestUsableOne) {
  for (const UsableCase& c : kUsableCases) {
    SCOPED_TRACE(c.what);
    const Mp3Settings got = UsableSettings(c.wanted, c.inputRate);
    EXPECT_EQ(got.sampleRate, c.usable.sampleRate);
    EXPECT_EQ(got.variable, c.usable.variable);
    EXPECT_EQ(got.bitRate, c.usable.bitRate);
    EXPECT_EQ(got.vbrMin, c.usable.vbrMin);
    EXPECT_EQ(got.vbrMax, c.usable.vbrMax);
    EXPECT_EQ(got.vbrQuality, c.usable.vbrQuality);
    EXPECT_EQ(got.quality, c.usable.quality);
  }
}

TEST(Mp3Settings, EncodablePcmIs8Or16BitMonoOrStereoAt8000To96000) {
  EXPECT_TRUE(IsEncodablePcm({1, 8000, 8}));
  EXPECT_TRUE(IsEncodablePcm({2, 48000, 16}));
  EXPECT_TRUE(IsEncodablePcm({2, 37000, 16}));
  EXPECT_TRUE(IsEncodablePcm({2, 96000, 16}));
  EXPECT_FALSE(IsEncodablePcm({1, 7999, 16}));
  EXPECT_FALSE(IsEncodablePcm({1, 96001, 16}));
  EXPECT_FALSE(IsEncodablePcm({3, 44100, 16}));
  EXPECT_FALSE(IsEncodablePcm({0, 44100, 16}));
  EXPECT_FALSE(IsEncodablePcm({2, 44100, 24}));
}

}  // namespace
