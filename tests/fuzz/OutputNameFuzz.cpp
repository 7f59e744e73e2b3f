// The output naming on arbitrary templates, extensions and counters. The input is four
// lines: the path, the extension, the counter, and a line of flags (its first character
// odd: numbers added; every further character answers one probe of the file system:
// '0' missing, '1' a file, anything else a folder).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/SettingsStore.h"
#include "recorder/OutputFileName.h"

namespace {

std::vector<std::string> Lines(const uint8_t* data, size_t size, size_t count) {
  std::vector<std::string> lines(count);
  size_t line = 0;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\n' && line + 1 < count) {
      ++line;
    } else {
      lines[line] += static_cast<char>(data[i]);
    }
  }
  return lines;
}

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "output name: %s\n", what);
  std::abort();
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> lines = Lines(data, size, 4);
  const std::string& path = lines[0];
  const std::string& extension = lines[1];
  const uint32_t number = static_cast<uint32_t>(ParseDecimal(lines[2]));
  const std::string& flags = lines[3];

  Settings().LoadFrom(nullptr);
  Settings().SetBool(AddSeqNum, !flags.empty() && (flags[0] & 1));
  size_t probes = 1;
  COutputFileName name(extension, "C:\\Program Files\\Sondrel", [&](const std::string&) {
    const char answer = probes < flags.size() ? flags[probes] : '2';
    ++probes;
    return answer == '0' ? PathKind::Missing : answer == '1' ? PathKind::File : PathKind::Folder;
  });
  const int result = name.SetTemplate(path, number);
  Check(result == COutputFileName::TemplateSet || name.Template().empty(), "a failed template was kept");
  Check(name.SequenceNumber() >= 1 && name.SequenceNumber() <= 9999, "a counter outside 1..9999");
  const std::string first = name.GetFileName();
  Check(EndsWith(first, extension), "a name without the extension");
  name.AdvanceSequenceNumber();
  Check(name.SequenceNumber() >= 1 && name.SequenceNumber() <= 9999, "an advanced counter outside 1..9999");
  Check(Settings().GetUInt(FileCount) == name.SequenceNumber(), "FileCount not written");
  Check(EndsWith(name.GetFileName(), extension), "a name without the extension");
  return 0;
}
