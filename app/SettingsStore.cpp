#include "SettingsStore.h"

#include <cinttypes>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>

#include "AtomicFile.h"

const SettingDefinition kSettingTable[SettingKeyCount] = {
    {"TraceLevel", SettingKind::Unsigned, "9"},
    {"FileFormat", SettingKind::Unsigned, "0"},
    {"AudioDevice", SettingKind::String, ""},
    {"AudioInput", SettingKind::String, ""},
    {"AudioVolume", SettingKind::Unsigned, "50"},
    {"BytesPerSample", SettingKind::Unsigned, "2"},
    {"Channels", SettingKind::Unsigned, "1"},
    {"SamplesPerSecond", SettingKind::Unsigned, "44100"},
    {"Mp3BitRateType", SettingKind::Unsigned, "0"},
    {"Mp3ConstBitRate", SettingKind::Unsigned, "128"},
    {"Mp3MinBitRate", SettingKind::Unsigned, "80"},
    {"Mp3MaxBitRate", SettingKind::Unsigned, "160"},
    {"Mp3VbrQuality", SettingKind::Unsigned, "4"},
    {"Mp3EncQuality", SettingKind::Unsigned, "5"},
    {"FileCount", SettingKind::Unsigned, "1"},
    {"AddSeqNum", SettingKind::Boolean, "1"},
    {"FileTemplate", SettingKind::String, ""},
    {"PlaybackVolume", SettingKind::Unsigned, "60"},
    {"OverwritePrompt", SettingKind::Boolean, "1"},
    {"StartTime", SettingKind::String, ""},
    {"StopTime", SettingKind::String, ""},
    {"Iconize", SettingKind::Boolean, "1"},
};

namespace {

constexpr size_t kMaxValueLength = 255;
// A compacted line longer than this is cut to it; the rest of the line is read and dropped.
constexpr size_t kMaxLineLength = 511;
constexpr size_t kMaxDigitRun = 254;

bool IsSpaceOrTab(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatText(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

// Reads one line without its line end (LF, or CR LF as text mode reads it), compacted as
// it is read: after every ':' the run of spaces and tabs that follows it is dropped. Only
// the first kMaxLineLength characters are kept, however long the line (a corrupt file may
// hold megabytes without a line end), and the rest still belongs to this line.
bool ReadCompactLine(FILE* file, std::string& line) {
  line.clear();
  bool afterColon = false;
  bool any = false;
  int c;
  while ((c = fgetc(file)) != EOF && c != '\n') {
    any = true;
    if (afterColon && IsSpaceOrTab(static_cast<char>(c))) continue;
    afterColon = c == ':';
    if (line.size() < kMaxLineLength + 1) line += static_cast<char>(c);  // one more for a CR
  }
  if (c == EOF && !any) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() > kMaxLineLength) line.resize(kMaxLineLength);
  return true;
}

}  // namespace

int32_t ParseDecimal(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (IsSpaceOrTab(text[i]) || text[i] == '\n' || text[i] == '\r' ||
                             text[i] == '\v' || text[i] == '\f')) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;  // saturated already
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

double ParseReal(const std::string& text) {
  size_t i = 0;
  // Each run is read as an integer; the fraction is scaled by 0.1 once per digit it had.
  auto readRun = [&](size_t& digits) {
    double value = 0;
    for (digits = 0; i < text.size() && IsDigit(text[i]) && digits < kMaxDigitRun; ++i, ++digits) {
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  size_t digits = 0;
  const double whole = readRun(digits);
  if (i >= text.size() || text[i] != '.') return whole;
  ++i;
  double fraction = readRun(digits);
  for (size_t n = 0; n < digits; ++n) fraction *= 0.1;
  return whole + fraction;
}

const CSettingsStore::Entry& CSettingsStore::At(int key) const {
  if (key < 0 || static_cast<size_t>(key) >= m_entries.size()) {
    throw std::invalid_argument("settings key out of range");
  }
  return m_entries[static_cast<size_t>(key)];
}

CSettingsStore::Entry& CSettingsStore::At(int key) {
  return const_cast<Entry&>(static_cast<const CSettingsStore&>(*this).At(key));
}

bool CSettingsStore::Store(int key, SettingKind kind, std::string text) {
  Entry& entry = At(key);
  if (entry.kind != SettingKind::Untyped && entry.kind != kind) return false;
  entry.kind = kind;
  entry.text = std::move(text);
  return true;
}

void CSettingsStore::StoreByTableKind(int key, const std::string& text) {
  switch (kSettingTable[key].kind) {
    case SettingKind::Signed: SetInt(key, ParseDecimal(text)); break;
    case SettingKind::Unsigned: SetUInt(key, static_cast<uint32_t>(ParseDecimal(text))); break;
    case SettingKind::Boolean: SetBool(key, text != "0"); break;
    case SettingKind::String: SetString(key, text); break;
    case SettingKind::Real: SetReal(key, ParseReal(text)); break;
    case SettingKind::Untyped: break;
  }
}

uint32_t CSettingsStore::GetUInt(int key) const {
  const Entry& e = At(key);
  return e.kind == SettingKind::Unsigned ? static_cast<uint32_t>(ParseDecimal(e.text)) : 0;
}

int32_t CSettingsStore::GetInt(int key) const {
  const Entry& e = At(key);
  return e.kind == SettingKind::Signed ? ParseDecimal(e.text) : -1;
}

bool CSettingsStore::GetBool(int key) const {
  const Entry& e = At(key);
  return e.kind == SettingKind::Boolean && e.text != "0";
}

std::string CSettingsStore::GetString(int key) const { return At(key).text; }

double CSettingsStore::GetReal(int key) const {
  const Entry& e = At(key);
  return e.kind == SettingKind::Real ? ParseReal(e.text) : 0.0;
}

bool CSettingsStore::SetUInt(int key, uint32_t value) {
  return Store(key, SettingKind::Unsigned, FormatText("%" PRIu32, value));
}

bool CSettingsStore::SetInt(int key, int32_t value) {
  return Store(key, SettingKind::Signed, FormatText("%" PRId32, value));
}

bool CSettingsStore::SetBool(int key, bool value) {
  return Store(key, SettingKind::Boolean, value ? "1" : "0");
}

bool CSettingsStore::SetString(int key, const std::string& value) {
  return Store(key, SettingKind::String, value);
}

bool CSettingsStore::SetReal(int key, double value) {
  return Store(key, SettingKind::Real, FormatText("%f", value));
}

bool CSettingsStore::Load(const char* path) {
  if (path == nullptr) return false;
  FILE* file = fopen(path, "rb");
  LoadFrom(file);
  if (file != nullptr) fclose(file);
  return true;
}

void CSettingsStore::LoadFrom(FILE* file) {
  m_entries.assign(SettingKeyCount, Entry{});
  for (int key = 0; key < SettingKeyCount; ++key) StoreByTableKind(key, kSettingTable[key].defaultText);
  if (file == nullptr) return;
  // A long line is one line, cut, never split into several.
  std::string compact;
  while (ReadCompactLine(file, compact)) {
    if (compact.empty() || compact[0] == ';') continue;
    for (int key = 0; key < SettingKeyCount; ++key) {
      const std::string name = kSettingTable[key].name;
      if (compact.compare(0, name.size(), name) != 0) continue;
      if (compact.size() > name.size() && compact[name.size()] == ':') {
        StoreByTableKind(key, compact.substr(name.size() + 1, kMaxValueLength));
      }
      break;  // the first key that matches decides the line
    }
  }
}

std::string CSettingsStore::Compose() const {
  std::string content;
  for (int key = 0; key < SettingKeyCount; ++key) {
    const char* name = kSettingTable[key].name;
    switch (kSettingTable[key].kind) {
      case SettingKind::Signed: content += FormatText("%s: %d", name, GetInt(key)); break;
      case SettingKind::Unsigned: content += FormatText("%s: %d", name, static_cast<int>(GetUInt(key))); break;
      case SettingKind::Boolean: content += FormatText("%s: %d", name, GetBool(key) ? 1 : 0); break;
      case SettingKind::String: content += std::string(name) + ": " + GetString(key); break;
      case SettingKind::Real: content += FormatText("%s: %f", name, GetReal(key)); break;
      case SettingKind::Untyped: break;
    }
    content += "\r\n";
  }
  return content;
}

bool CSettingsStore::Save(const char* path) const {
  WriteFileReplacing(path, Compose());
  return true;
}

CSettingsStore& Settings() {
  static CSettingsStore store;
  return store;
}
