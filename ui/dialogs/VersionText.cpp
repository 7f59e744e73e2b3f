#include "ui/dialogs/VersionText.h"

#include <array>
#include <cinttypes>
#include <cstdio>

#include "app/SettingsStore.h"

std::string FormatProductVersion(const std::string& text) {
  std::array<int32_t, 4> parts{};
  size_t start = 0;
  for (int32_t& part : parts) {
    if (start > text.size()) break;
    const size_t comma = text.find(',', start);
    part = ParseDecimal(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    start = comma == std::string::npos ? text.size() + 1 : comma + 1;
  }
  char version[64];
  std::snprintf(version, sizeof version, "%" PRId32 ".%" PRId32 ".%" PRId32 ".%" PRId32, parts[0], parts[1], parts[2],
                parts[3]);
  return version;
}
