#pragma once
#include <string>

// Writes `content` to a temporary file beside `path` (TemporaryPathFor), flushes it to disk
// and only then puts it in place of `path`; on a failure after it was created the old file
// stays as it was and the temporary file is removed. Where no temporary file can be created
// (a folder that lets the file be written but takes no new one), the existing file is
// overwritten in place instead: not safe against a failure part-way, but better than
// keeping nothing. Returns whether the new content is in place.
bool WriteFileReplacing(const std::string& path, const std::string& content);

// The temporary file a save of this process writes: named after the process, so that two
// instances saving at the same moment never write into each other's.
std::string TemporaryPathFor(const std::string& path);
