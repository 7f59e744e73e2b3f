#pragma once
// What this process holds now: kernel handles, GDI and USER objects, threads and committed
// private memory, for tests that repeat an action many times and must not grow. Wine counts
// no GDI and USER objects (GetGuiResources gives 0 there); Windows does.
#ifdef _WIN32
#include <cstdint>
#include <map>
#include <string>

struct ProcessResources {
  long handles = 0;
  std::map<std::string, long> handlesByType;  // "Event", "Key", "Thread", "File" ...
  long gdiObjects = 0;
  long userObjects = 0;
  long threads = 0;
  int64_t privateBytes = 0;

  static ProcessResources Now();
  // "handles 123 (Event 4, Key 100, ...), GDI 4, USER 5, threads 6, private 12.3 MB".
  std::string Describe() const;
};

#endif
