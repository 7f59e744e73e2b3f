#pragma once
#include <string>

// The folder part of a full path: everything before its last backslash, without the
// backslash; the empty string for a path without one.
std::string DirectoryOfPath(const std::string& path);

#ifdef _WIN32
// The executable's folder, without a trailing backslash: the base of the configuration
// file, the help page and the fallback output folder.
std::string GetModuleDirectory();
#endif
