#include "ui/main/WindowsVersion.h"

int ClassifyWindowsVersion(uint32_t packed, bool fullKnown, uint32_t major, uint32_t minor) {
  if (packed & 0x80000000u) {
    if ((packed & 0xFFu) < 4) return 0;
    if (fullKnown && major == 4 && minor == 10) return 3;
    if (fullKnown && major == 4 && minor == 90) return 4;
    return 2;
  }
  if (!fullKnown) return 1;
  if (major == 4) return 5;
  if (major == 5 && minor == 0) return 6;
  if (major == 5 && minor == 1) return 7;
  if (major == 6 && minor == 0) return 8;
  return 1;
}
