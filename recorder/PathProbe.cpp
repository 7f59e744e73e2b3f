#include "recorder/PathProbe.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

PathKind ProbePath(const std::string& path) {
#ifdef _WIN32
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
#else
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return PathKind::Missing;
  return S_ISDIR(info.st_mode) ? PathKind::Folder : PathKind::File;
#endif
}
