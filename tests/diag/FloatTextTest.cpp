// Floating-point values formatted without the C runtime give what "%g" gives.
#include "diag/FloatText.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

using namespace __dbg_util;

namespace {

std::string General(double value) {
  FixedText<64> out;
  AppendGeneralFloat(out, value);
  return out.c_str();
}

std::string Printed(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

double FromBits(uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

TEST(FloatText, MatchesPrintfOnATableOfValues) {
  const double values[] = {
      0.0, -0.0, 1.0, -1.0, 0.5, 0.1, 0.2, 0.3, 1.5, 2.5, 3.25, 10.0, 100.0, 123456.0, 1234567.0, 999999.0,
      // Rounding carries into a new digit, and with it into the other form.
      999999.5, 999999.4999, 9999995.0, 0.000099999951, 0.000099999949, 9.9999950000001e-5,
      // Halfway cases on the exact value, to even; and values just above and below halfway.
      1234565.0, 1234575.0, 0.1234565, 2.5e-5, 1000005.0, 1000015.0, 125.0000000001, 8.5, 0.0001, 0.00001,
      1e-4, 9.99999e-5, 1e5, 1e6, 1e15, 1e16, 1e22, 1e100, 1e-100, 1e300, 1e-300, 123.456, -123.456, 3.14159265358979,
      2.718281828459045, 1.0 / 3.0, 2.0 / 3.0, 0.00012345678, 44100.0, 48000.0, 0.75, -0.001, 65535.0, 4294967296.0,
      DBL_MAX, -DBL_MAX, DBL_MIN, DBL_EPSILON, DBL_TRUE_MIN, -DBL_TRUE_MIN, FLT_MAX, FLT_MIN, FLT_TRUE_MIN,
      static_cast<double>(0.1f), static_cast<double>(3.3f), static_cast<double>(16777217.0f),
      FromBits(0x000FFFFFFFFFFFFFull),  // the largest subnormal
      FromBits(0x0010000000000000ull),  // the smallest normal
      FromBits(0x7FEFFFFFFFFFFFFFull), FromBits(0x3FEFFFFFFFFFFFFFull), FromBits(0x3FF0000000000001ull),
  };
  for (double value : values) EXPECT_EQ(General(value), Printed(value)) << std::hexfloat << value;
}

TEST(FloatText, SpellsInfinitiesAndNaNsAsPrintfDoes) {
  const double infinity = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(General(infinity), "inf");
  EXPECT_EQ(General(-infinity), "-inf");
  EXPECT_EQ(General(std::copysign(nan, 1.0)), "nan");
  EXPECT_EQ(General(std::copysign(nan, -1.0)), "-nan");
  EXPECT_EQ(General(FromBits(0x7FF0000000000001ull)), "nan") << "a signalling NaN";
}

TEST(FloatText, MatchesPrintfOnRandomBitPatterns) {
  std::mt19937_64 random(20261211);
  int checked = 0;
  for (int i = 0; i < 40000; ++i) {
    // Every exponent alike, and values of the size a recorder's parameters have.
    const double value = i % 2 == 0 ? FromBits(random()) : std::ldexp(static_cast<double>(random() >> 11), -40 + i % 80);
    if (std::isnan(value)) continue;
    ASSERT_EQ(General(value), Printed(value)) << std::hexfloat << value;
    ++checked;
  }
  EXPECT_GT(checked, 39000);
}

TEST(FloatText, StaysWithinItsBuffer) {
  FixedText<6> out;
  AppendGeneralFloat(out, -1.23456e-300);
  EXPECT_STREQ(out.c_str(), "-1.23");
}
