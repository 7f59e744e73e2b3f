#pragma once
#include <cstdint>

// The class of a Windows version, 0 to 8:
// | 0     | not NT, major version below 4            |
// | 1     | NT, any version not listed               |
// | 2     | not NT, 4.x other than 4.10 and 4.90     |
// | 3, 4  | not NT, 4.10 and 4.90                    |
// | 5..8  | NT 4.x, 5.0, 5.1, 6.0                    |
// `packed` is what GetVersion gives; `fullKnown` says whether the full version (major,
// minor) could be read.
int ClassifyWindowsVersion(uint32_t packed, bool fullKnown, uint32_t major, uint32_t minor);
