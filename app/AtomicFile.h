#pragma once
#include <string>

// Writes `content` to a temporary file beside `path`, flushes it to disk and only then
// puts it in place of `path`. On any failure the old file stays as it was and the
// temporary file is removed. Returns whether the new content is in place.
bool WriteFileReplacing(const std::string& path, const std::string& content);
