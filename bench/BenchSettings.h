#pragma once
// The settings every recording benchmark records with: the defaults (no settings file in
// `dir`), and MP3 at a constant 128 kbit/s, quality 5.
#include "app/SettingsStore.h"
#include "support/TempDir.h"

inline void LoadBenchSettings(const TempDir& dir) {
  Settings().Load(dir.File("Sondrel.cfg").c_str());
  Settings().SetUInt(Mp3BitRateType, 0);
  Settings().SetUInt(Mp3ConstBitRate, 128);
  Settings().SetUInt(Mp3EncQuality, 5);
}
