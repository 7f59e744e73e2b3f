#include "ui/dialogs/VersionResource.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "ui/dialogs/VersionText.h"

namespace {

std::optional<std::string> QueryText(const std::vector<char>& block, const char* key) {
  char* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueA(block.data(), key, reinterpret_cast<void**>(&value), &length) || value == nullptr) {
    return std::nullopt;
  }
  return std::string(value);
}

}  // namespace

int ReadVersionInfo(const std::string& fileName, std::string& legalNotice, std::string& version) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(fileName.c_str(), &ignored);
  if (size == 0) return 0;
  std::vector<char> block(size);
  if (!::GetFileVersionInfoA(fileName.c_str(), 0, size, block.data())) return 0;
  const std::optional<std::string> productVersion = QueryText(block, "\\StringFileInfo\\040904e4\\ProductVersion");
  version = productVersion ? FormatProductVersion(*productVersion) : std::string();
  legalNotice = QueryText(block, "\\StringFileInfo\\040904e4\\LegalCopyright").value_or(std::string());
  return 1;
}
