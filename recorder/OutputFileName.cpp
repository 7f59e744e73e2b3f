#include "recorder/OutputFileName.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "app/SettingsStore.h"

namespace {
constexpr uint32_t kFirstNumber = 1;
constexpr uint32_t kLastNumber = 9999;

std::string ToLower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string FourDigits(uint32_t number) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%4.4u", number);
  return digits;
}
}  // namespace

COutputFileName::COutputFileName(std::string extension, std::string moduleDirectory, PathProbe probe)
    : m_extension(std::move(extension)), m_moduleDirectory(std::move(moduleDirectory)), m_probe(std::move(probe)) {}

int COutputFileName::SetTemplate(const std::string& requested, uint32_t number) {
  const std::string path = requested.empty() ? m_moduleDirectory : requested;
  std::string normalised;
  if (m_probe(path) == PathKind::Folder) {
    normalised = !path.empty() && path.back() == '\\' ? path : path + "\\";
  } else {
    const size_t slash = path.rfind('\\');
    if (slash == std::string::npos) {
      m_template.clear();
      return NoBackslash;
    }
    if (m_probe(path.substr(0, slash)) == PathKind::Missing) {
      m_template.clear();
      return FolderMissing;
    }
    // A chosen file's own extension is cut off: the first occurrence, whatever its case.
    const size_t extension = ToLower(path).find(ToLower(m_extension));
    normalised = extension == std::string::npos ? path : path.substr(0, extension);
  }
  m_template = normalised;
  m_sequenceNumber = std::clamp(number, kFirstNumber, kLastNumber);
  Settings().SetString(FileTemplate, m_template);
  return TemplateSet;
}

std::string COutputFileName::GetFileName() const {
  const std::string base = m_template.empty() ? m_moduleDirectory + "\\" : m_template;
  if (Settings().GetBool(AddSeqNum)) return base + FourDigits(m_sequenceNumber) + m_extension;
  if (m_template.empty() || m_template.back() == '\\') return base + "video" + m_extension;
  return base + m_extension;
}

void COutputFileName::AdvanceSequenceNumber() {
  m_sequenceNumber = m_sequenceNumber >= kLastNumber ? kFirstNumber : m_sequenceNumber + 1;
  Settings().SetUInt(FileCount, m_sequenceNumber);
}

void COutputFileName::ResetSequenceNumber() {
  m_sequenceNumber = kFirstNumber;
  Settings().SetUInt(FileCount, m_sequenceNumber);
}

bool NamesDevice(const std::string& path) {
  if (path.rfind("\\\\.\\", 0) == 0) return true;
  const size_t slash = path.find_last_of("\\/:");
  std::string name = ToLower(path.substr(slash == std::string::npos ? 0 : slash + 1));
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  static const char* const kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
  for (const char* device : kDevices) {
    if (name == device) return true;
  }
  return name.size() == 4 && (name.compare(0, 3, "com") == 0 || name.compare(0, 3, "lpt") == 0) && name[3] >= '1' &&
         name[3] <= '9';
}
