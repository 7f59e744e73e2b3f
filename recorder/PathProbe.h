#pragma once
#include <functional>
#include <string>

// What the file system holds under a path, as GetFileAttributesA reports it.
enum class PathKind { Missing, File, Folder };

using PathProbe = std::function<PathKind(const std::string& path)>;

// The real file system.
PathKind ProbePath(const std::string& path);
