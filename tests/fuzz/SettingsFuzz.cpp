// The settings file reader on arbitrary bytes. Whatever a file holds, loading it gives a
// store whose saved text names every key once, in table order, and reads back to itself.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/SettingsStore.h"

namespace {

CSettingsStore LoadBytes(const void* data, size_t size) {
  CSettingsStore store;
  // fmemopen takes no empty buffer: an empty file is a missing one.
  FILE* file = size == 0 ? nullptr : fmemopen(const_cast<void*>(data), size, "rb");
  store.LoadFrom(file);
  if (file != nullptr) fclose(file);
  return store;
}

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "settings: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const CSettingsStore store = LoadBytes(data, size);
  for (int key = 0; key < SettingKeyCount; ++key) {
    // Every accessor on every key, whatever its kind: none may fail on what a file held.
    (void)store.GetUInt(key);
    (void)store.GetInt(key);
    (void)store.GetBool(key);
    (void)store.GetReal(key);
    Check(store.GetString(key).size() <= 255, "a value longer than 255 characters");
  }
  const std::string saved = store.Compose();
  size_t pos = 0;
  for (int key = 0; key < SettingKeyCount; ++key) {
    const std::string prefix = std::string(kSettingTable[key].name) + ": ";
    Check(saved.compare(pos, prefix.size(), prefix) == 0, "a key missing or out of order");
    pos = saved.find("\r\n", pos);
    Check(pos != std::string::npos, "a line without its line end");
    pos += 2;
  }
  Check(pos == saved.size(), "text after the last key");
  Check(LoadBytes(saved.data(), saved.size()).Compose() == saved, "the saved file reads back differently");
  return 0;
}
