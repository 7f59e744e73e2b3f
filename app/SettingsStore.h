#pragma once
// The process-wide settings store: a fixed table of 22 typed keys, filled from the
// configuration file at start-up and written back at normal exit. Every value is held as
// text with a kind tag; the typed accessors convert on each call and check nothing but
// the kind, ranges being the business of whoever reads a key.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum SettingKey : int {
  TraceLevel,
  FileFormat,
  AudioDevice,
  AudioInput,
  AudioVolume,
  BytesPerSample,
  Channels,
  SamplesPerSecond,
  Mp3BitRateType,
  Mp3ConstBitRate,
  Mp3MinBitRate,
  Mp3MaxBitRate,
  Mp3VbrQuality,
  Mp3EncQuality,
  FileCount,
  AddSeqNum,
  FileTemplate,
  PlaybackVolume,
  OverwritePrompt,
  StartTime,
  StopTime,
  Iconize,
  SettingKeyCount
};

enum class SettingKind : int { Untyped = 0, Signed = 1, Unsigned = 2, Boolean = 3, String = 4, Real = 5 };

struct SettingDefinition {
  const char* name;
  SettingKind kind;
  const char* defaultText;
};

// The compiled-in key table, in file order.
extern const SettingDefinition kSettingTable[SettingKeyCount];

class CSettingsStore {
 public:
  // Builds the entries with their defaults and applies the file's lines. False only when
  // no path is given; a missing or unreadable file leaves the defaults.
  bool Load(const char* path);
  // The same for a file already open for reading (binary): applies its lines from where it
  // stands to its end, over the defaults.
  void LoadFrom(FILE* file);
  // Writes all keys in table order. The new file replaces the old one only once it is
  // complete, so a failure part-way leaves the previous file intact; in a folder that takes
  // no new file the old one is overwritten in place (WriteFileReplacing). Always true.
  bool Save(const char* path) const;
  // The text Save writes: every key in table order, one "Name: value" line each, CR LF.
  std::string Compose() const;

  uint32_t GetUInt(int key) const;
  int32_t GetInt(int key) const;
  bool GetBool(int key) const;
  std::string GetString(int key) const;
  double GetReal(int key) const;

  bool SetUInt(int key, uint32_t value);
  bool SetInt(int key, int32_t value);
  bool SetBool(int key, bool value);
  bool SetString(int key, const std::string& value);
  bool SetReal(int key, double value);

 private:
  struct Entry {
    SettingKind kind = SettingKind::Untyped;
    std::string text;
  };

  const Entry& At(int key) const;
  Entry& At(int key);
  bool Store(int key, SettingKind kind, std::string text);
  void StoreByTableKind(int key, const std::string& text);

  std::vector<Entry> m_entries;
};

// The one store of the process.
CSettingsStore& Settings();

// Number parsing shared by the store's file reader and its getters.
// Decimal: leading white space, optional sign, digits; saturates at the int32 limits.
int32_t ParseDecimal(const std::string& text);
// Real: digits, optionally "." and digits; no sign, no exponent.
double ParseReal(const std::string& text);
