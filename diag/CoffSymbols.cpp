#include "diag/CoffSymbols.h"

#include <cstring>

namespace __dbg_util {
namespace {

// The PE and COFF structures, read field by field from the file (little-endian).
uint32_t Read32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

constexpr size_t kSymbolSize = 18;
constexpr size_t kSectionHeaderSize = 40;
constexpr uint16_t kFunctionType = 0x20;  // IMAGE_SYM_DTYPE_FUNCTION << 4

bool Within(size_t size, size_t offset, size_t length) { return offset <= size && length <= size - offset; }

}  // namespace

bool CoffFunctionNameAt(const uint8_t* file, size_t size, uint32_t rva, TextBuffer& name) {
  if (!Within(size, 0x3C, 4)) return false;
  const size_t pe = Read32(file + 0x3C);
  if (!Within(size, pe, 24) || std::memcmp(file + pe, "PE\0\0", 4) != 0) return false;
  const uint8_t* header = file + pe + 4;
  const unsigned sections = Read16(header + 2);
  const size_t symbolTable = Read32(header + 8);
  const size_t symbols = Read32(header + 12);
  const size_t sectionTable = pe + 24 + Read16(header + 16);
  if (symbolTable == 0 || symbols > size / kSymbolSize || !Within(size, symbolTable, symbols * kSymbolSize + 4) ||
      !Within(size, sectionTable, sections * kSectionHeaderSize))
    return false;
  const size_t strings = symbolTable + symbols * kSymbolSize;
  const size_t stringsSize = Read32(file + strings);
  for (size_t i = 0; i < symbols; ++i) {
    const uint8_t* symbol = file + symbolTable + i * kSymbolSize;
    const unsigned section = Read16(symbol + 12);
    const unsigned auxiliary = symbol[17];
    if (Read16(symbol + 14) == kFunctionType && section >= 1 && section <= sections &&
        Read32(file + sectionTable + (section - 1) * kSectionHeaderSize + 12) + Read32(symbol + 8) == rva) {
      if (Read32(symbol) != 0) {
        // A short name, in the symbol itself (eight characters, NUL-padded).
        name.Append(reinterpret_cast<const char*>(symbol), strnlen(reinterpret_cast<const char*>(symbol), 8));
        return true;
      }
      const size_t offset = Read32(symbol + 4);
      if (offset < 4 || offset >= stringsSize || !Within(size, strings, stringsSize)) return false;
      const char* text = reinterpret_cast<const char*>(file + strings + offset);
      name.Append(text, strnlen(text, stringsSize - offset));
      return true;
    }
    i += auxiliary;
  }
  return false;
}

int DemangledParameterCount(const char* demangled) {
  // The parameter list is the last group in parentheses before any " [clone ...]" and the
  // qualifiers (" const", " &") of a member function.
  size_t end = std::strlen(demangled);
  if (const char* clone = std::strstr(demangled, " [clone ")) end = static_cast<size_t>(clone - demangled);
  while (end > 0 && demangled[end - 1] != ')') --end;
  if (end == 0) return -1;
  const size_t close = end - 1;
  int depth = 0;
  size_t open = close + 1;
  for (size_t i = close + 1; i-- > 0;) {
    const char c = demangled[i];
    if (c == ')' || c == '>' || c == ']') ++depth;
    if (c == '(' || c == '<' || c == '[') --depth;
    if (depth == 0) {
      open = i;
      break;
    }
  }
  if (open > close || demangled[open] != '(') return -1;
  if (open + 1 == close) return 0;
  int count = 1;
  depth = 0;
  for (size_t i = open + 1; i < close; ++i) {
    const char c = demangled[i];
    if (c == '(' || c == '<' || c == '[') ++depth;
    if (c == ')' || c == '>' || c == ']') --depth;
    if (c == ',' && depth == 0) ++count;
  }
  return count;
}

}  // namespace __dbg_util
