#pragma once
#include <string>

// Path pieces, found with a search that never mistakes the trail byte of a double-byte
// character for a backslash.

// The path up to and including its last backslash; a path without one is returned whole.
std::string GetFolderPart(const std::string& path);
// The text after the last backslash; without one, the text after the last dot; without
// either, the empty string.
std::string GetFileNamePart(const std::string& path);
