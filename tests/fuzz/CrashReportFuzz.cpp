// The crash report's frame descriptions on arbitrary signatures, option words and stack
// memory, its line prefixes on arbitrary messages, its floating-point values on arbitrary
// bits and its linker-name lookups on arbitrary module files. Every text fits its buffer and
// ends where its length says.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "diag/CoffSymbols.h"
#include "diag/FloatText.h"
#include "diag/LineFormat.h"
#include "diag/Signature.h"

using namespace __dbg_util;

namespace {

// Stack memory: the bytes the input leaves, from kBase on; nothing else can be read.
constexpr uint64_t kBase = 0x1000;

class InputMemory final : public MemoryReader {
 public:
  explicit InputMemory(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
  bool Read(uint64_t address, void* out, size_t size) const override {
    if (address < kBase || address - kBase > m_bytes.size() || size > m_bytes.size() - (address - kBase)) return false;
    std::memcpy(out, m_bytes.data() + (address - kBase), size);
    return true;
  }

 private:
  std::vector<uint8_t> m_bytes;
};

void CheckText(const TextBuffer& text, const char* what) {
  if (text.size() < text.capacity() && std::strlen(text.c_str()) == text.size()) return;
  std::fprintf(stderr, "crash report: %s overran or lost its end\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const uint32_t options = input.ConsumeIntegral<uint32_t>();
  const unsigned slotSize = input.ConsumeBool() ? 8 : 4;
  const uint32_t located = input.ConsumeIntegral<uint32_t>();  // bit i: parameter i in memory
  const uint32_t held = input.ConsumeIntegral<uint32_t>();     // else bit i: in a known register
  const uint64_t counter = input.ConsumeIntegral<uint64_t>();
  const uint64_t frequency = input.ConsumeIntegral<uint64_t>();
  const uint64_t numberBits = input.ConsumeIntegral<uint64_t>();
  const std::string signature = input.ConsumeRandomLengthString(4096);
  const std::string message = input.ConsumeRandomLengthString(2048);
  const std::vector<uint8_t> bytes = input.ConsumeRemainingBytes<uint8_t>();
  const InputMemory memory(bytes);
  const FrameMemory frame{memory, slotSize, kBase};

  FixedText<4096> out;
  StackSlots slots(kBase, slotSize);
  FormatSignature(out, signature.c_str(), options, frame, slots);
  CheckText(out, "a signature on stack slots");

  out.Clear();
  LocatedParameters places;
  for (unsigned i = 0; i < 32; ++i) {
    if (located & (1u << i)) {
      places.AddInMemory(kBase + i * slotSize);
    } else if (held & (1u << i)) {
      // The register holds what the input has there (a value, or an address to read).
      uint8_t bytes[16] = {};
      memory.Read(kBase + i * 16, bytes, sizeof bytes);
      places.AddHeldValue(bytes, sizeof bytes);
    } else {
      places.AddUnknown();
    }
  }
  FormatSignature(out, signature.c_str(), options, frame, places);
  CheckText(out, "a signature on located parameters");

  out.Clear();
  FormatUnknownFrame(out, kBase, options, frame);
  CheckText(out, "an unknown frame");
  out.Clear();
  FormatFunctionName(out, signature.c_str());
  CheckText(out, "a function name");

  FixedText<1024> line;
  LinePrefixParts parts;
  parts.sourceFile = signature.c_str();
  parts.sourceLine = static_cast<int>(located);
  parts.caller = message.c_str();
  parts.time = TimeOfDayFrom100ns(CounterTo100ns(counter, frequency));
  parts.processCpu = CpuTimeFrom100ns(counter);
  parts.threadCpu = CpuTimeFrom100ns(frequency);
  ComposePrefixedLine(line, options, parts, message.c_str());
  CheckText(line, "a prefixed line");

  // The same bytes as a module file whose COFF symbols are looked up, and the text as a
  // demangled signature whose parameters are counted.
  FixedText<512> linkerName;
  CoffFunctionNameAt(bytes.data(), bytes.size(), static_cast<uint32_t>(counter), linkerName);
  CheckText(linkerName, "a linker name");
  if (DemangledParameterCount(signature.c_str()) < -1) std::abort();

  // Floating-point values come out as the runtime's "%g" would give them.
  double number;
  std::memcpy(&number, &numberBits, sizeof number);
  FixedText<64> general;
  AppendGeneralFloat(general, number);
  char printed[64];
  std::snprintf(printed, sizeof printed, "%g", number);
  if (std::strcmp(general.c_str(), printed) != 0) {
    std::fprintf(stderr, "crash report: %a formatted as \"%s\", \"%%g\" gives \"%s\"\n", number, general.c_str(), printed);
    std::abort();
  }

  char path[260];
  std::snprintf(path, sizeof path, "%s", message.c_str());
  MakeReportPath(path, sizeof path);
  // The name replaces the executable's, cut where the buffer ends.
  const char* name = FileNamePart(path);
  if (std::strncmp(name, "Crash.rpt", std::strlen(name)) != 0) {
    std::fprintf(stderr, "crash report: the report path \"%s\"\n", path);
    std::abort();
  }
  return 0;
}
