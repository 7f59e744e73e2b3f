#include "ui/dialogs/PlayerDisplay.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace {
constexpr int64_t kUnitsPerMillisecond = 10000;
constexpr long kSilent = -10000;
}  // namespace

std::string FormatPlayingTime(int64_t position) {
  const int64_t seconds = position > 0 ? position / kUnitsPerMillisecond / 1000 : 0;
  char text[32];
  std::snprintf(text, sizeof text, "%02" PRId64 ":%02" PRId64, seconds / 60, seconds % 60);
  return text;
}

long VolumeToAttenuation(int position) {
  if (position < 1) return kSilent;  // log10 has no value there
  const double attenuation = std::trunc(5000.0 * (std::log10(static_cast<double>(position)) - 2.0));
  if (attenuation < kSilent) return kSilent;
  if (attenuation > 0) return 0;
  return static_cast<long>(attenuation);
}

bool PositionPercent(int64_t position, int64_t duration, int& percent) {
  if (duration == 0) return false;
  percent = static_cast<int>(position * 100 / duration);
  return true;
}

int64_t PositionAtPercent(int64_t duration, int percent) { return duration * percent / 100; }
