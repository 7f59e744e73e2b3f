// Linker names and the parameters they declare: a COFF symbol table read from a PE file's
// bytes, and the parameter count of demangled signatures.
#include "diag/CoffSymbols.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace __dbg_util;

namespace {

// A PE file with one section at RVA 0x1000 and a COFF symbol table: a short name at 0x10, one
// at 0x20 with an auxiliary record, a long one (in the string table) at 0x40 and data at 0x80
// that is not a function.
class PeFile {
 public:
  PeFile() {
    bytes.resize(0x400, 0);
    Put32(0x3C, 0x80);
    std::memcpy(&bytes[0x80], "PE\0\0", 4);
    Put16(0x84 + 2, 1);     // sections
    Put16(0x84 + 16, 0xF0);  // optional header size
    const size_t section = 0x80 + 24 + 0xF0;
    std::memcpy(&bytes[section], ".text\0\0\0", 8);
    Put32(section + 12, 0x1000);  // VirtualAddress
    const size_t table = 0x200;
    Put32(0x84 + 8, table);
    Symbol(table, "main", 0x10, 0x20, 0);
    Symbol(table + 18, "f", 0x20, 0x20, 1);
    // Its auxiliary record, made to look like a function at 0x40: it must be passed over.
    Symbol(table + 36, "aux", 0x40, 0x20, 0);
    Symbol(table + 54, "", 0x40, 0x20, 0);
    Put32(table + 54 + 4, 4);  // string-table offset of the long name
    Symbol(table + 72, "g_data", 0x80, 0, 0);
    const uint32_t symbols = 5;
    Put32(0x84 + 12, symbols);
    const size_t strings = table + symbols * 18;
    const std::string name = "_ZN12_GLOBAL__N_113AbortInWorkerEPv";
    Put32(strings, static_cast<uint32_t>(4 + name.size() + 1));
    std::memcpy(&bytes[strings + 4], name.c_str(), name.size() + 1);
  }
  std::string NameAt(uint32_t rva, size_t size = 0) const {
    FixedText<256> name;
    if (!CoffFunctionNameAt(bytes.data(), size ? size : bytes.size(), rva, name)) return "(none)";
    return name.c_str();
  }
  std::vector<uint8_t> bytes;

 private:
  void Put16(size_t at, uint16_t v) { bytes[at] = v & 0xFF, bytes[at + 1] = v >> 8; }
  void Put32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
  void Symbol(size_t at, const char* shortName, uint32_t value, uint16_t type, uint8_t auxiliary) {
    std::memcpy(&bytes[at], shortName, std::strlen(shortName) < 8 ? std::strlen(shortName) : 8);
    Put32(at + 8, value);
    Put16(at + 12, 1);  // section 1
    Put16(at + 14, type);
    bytes[at + 16] = 2;  // external
    bytes[at + 17] = auxiliary;
  }
};

}  // namespace

TEST(CoffSymbols, FindsTheFunctionAtAnAddress) {
  const PeFile file;
  EXPECT_EQ(file.NameAt(0x1010), "main");
  EXPECT_EQ(file.NameAt(0x1020), "f");
  EXPECT_EQ(file.NameAt(0x1040), "_ZN12_GLOBAL__N_113AbortInWorkerEPv") << "not the auxiliary record";
  EXPECT_EQ(file.NameAt(0x1080), "(none)") << "data is no function";
  EXPECT_EQ(file.NameAt(0x1011), "(none)");
}

TEST(CoffSymbols, ToleratesFilesThatEndEarlyOrHaveNoTable) {
  const PeFile file;
  EXPECT_EQ(file.NameAt(0x1040, 0x250), "(none)") << "the table runs past the end";
  EXPECT_EQ(file.NameAt(0x1040, 0x3F), "(none)");
  PeFile stripped;
  stripped.bytes[0x84 + 8] = stripped.bytes[0x84 + 9] = 0;
  EXPECT_EQ(stripped.NameAt(0x1010), "(none)");
  PeFile notPe;
  notPe.bytes[0x80] = 'X';
  EXPECT_EQ(notPe.NameAt(0x1010), "(none)");
}

TEST(CoffSymbols, CountsTheParametersOfADemangledSignature) {
  const struct {
    const char* demangled;
    int count;
  } cases[] = {
      {"CSondrelApp::InitInstance()", 0},
      {"(anonymous namespace)::AbortInWorker(void*)", 1},
      {"CFoo::Bar(int, char const*)", 2},
      {"CFoo::Get() const", 0},
      {"f(std::map<int, std::pair<int, int>, std::less<int>, std::allocator<int> > const&, int)", 2},
      {"g(void (*)(int, int), int (&) [4])", 2},
      {"bool operator<(A const&, A const&)", 2},
      {"h(int) [clone .constprop.0]", 1},
      {"Foo::operator()(int, int) &&", 2},
      {"main", -1},
      {"", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(DemangledParameterCount(c.demangled), c.count) << c.demangled;
}
