#pragma once
// Test sizes the soak run raises (scripts/soak.sh) through environment variables.
#include <cstdlib>

// The number in the environment variable `name`, else `fallback`.
inline int EnvironmentNumber(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}
