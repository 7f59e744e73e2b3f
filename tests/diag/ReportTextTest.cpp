// The report's fixed texts: exception names, the header, the configuration and the message.
#include "diag/ReportText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace __dbg_util;

TEST(ReportText, ExceptionNames) {
  const struct {
    uint32_t code;
    const char* name;
  } cases[] = {
      {0xC0000005, "ACCESS_VIOLATION"}, {0xC00000FD, "STACK_OVERFLOW"},    {0x80000003, "BREAKPOINT"},
      {0xC0000094, "INT_DIVIDE_BY_ZERO"}, {0xC000008E, "FLT_DIVIDE_BY_ZERO"}, {0x80000001, "GUARD_PAGE"},
      {0, "UNKNOWN TYPE"},              {0xE06D7364, "UNKNOWN TYPE"},     {0x40000016, "UNKNOWN TYPE"},
      // The codes the library raises for the runtime's fatal errors.
      {0x40000015, "FATAL_APP_EXIT"},   {0xC0000417, "INVALID_CRT_PARAMETER"},
      {0xE06D7363, "CPP_EXCEPTION"},    {0xE0505643, "PURE_VIRTUAL_CALL"},
  };
  for (const auto& c : cases) EXPECT_STREQ(ExceptionName(c.code), c.name) << std::hex << c.code;
}

TEST(ReportText, HeaderTemplateOf32BitProgram) {
  HeaderX86 h{};
  h.code = 0xC0000005;
  h.address = 0x401234;
  h.threadId = 123;
  h.eax = 1, h.ebx = 2, h.ecx = 3, h.edx = 4, h.esi = 5, h.edi = 6, h.ebp = 0x12FF70, h.esp = 0x12FF60;
  h.eflags = 0x246, h.cs = 0x1B, h.ss = 0x23, h.ds = 0x23, h.es = 0x23, h.fs = 0x3B, h.gs = 0;
  h.lastError = 0x57;
  FixedText<2048> out;
  FormatHeader(out, h);
  EXPECT_STREQ(out.c_str(),
               "Unhandled exception 0xC0000005 (ACCESS_VIOLATION) caught at address 0x00401234 in the thread 123.\r\n"
               " -> Registers:\r\n"
               "        EAX = 0x00000001, EBX = 0x00000002, ECX = 0x00000003, EDX = 0x00000004, \r\n"
               "        ESI = 0x00000005, EDI = 0x00000006, EBP = 0x0012FF70, ESP = 0x0012FF60, \r\n"
               "        EFlags = 0x00000246, CS = 0x001B, SS = 0x0023, DS = 0x0023, ES = 0x23, FS = 0x003B, GS = 0x0000\r\n"
               " -> Last error: 0x00000057\r\n"
               " -> Call stack (thread 123):\r\n");
}

TEST(ReportText, HeaderOf64BitProgramHasTheSameLinesWithItsRegisters) {
  HeaderX64 h{};
  h.code = 0x12345678;
  h.address = 0x140001234ull;
  h.threadId = 77;
  h.rax = 0x1122334455667788ull;
  h.r15 = 15;
  h.es = 0x2B;
  FixedText<2048> out;
  FormatHeader(out, h);
  const std::string text = out.c_str();
  EXPECT_EQ(text.rfind("Unhandled exception 0x12345678 (UNKNOWN TYPE) caught at address 0x0000000140001234 in the "
                       "thread 77.\r\n -> Registers:\r\n        RAX = 0x1122334455667788, ",
                       0),
            0u)
      << text;
  EXPECT_NE(text.find("R15 = 0x000000000000000F, \r\n"), std::string::npos);
  EXPECT_NE(text.find(", ES = 0x2B, FS = 0x0000,"), std::string::npos);
  EXPECT_NE(text.find(" -> Last error: 0x00000000\r\n -> Call stack (thread 77):\r\n"), std::string::npos);
}

namespace {

// CPUID leaves of a fabricated processor, selected per test.
struct FakeCpu {
  const char* vendor;
  uint32_t maxLeaf, maxExtended, signature, features, extendedFeatures;
  const char* brand;
};
const FakeCpu* g_cpu;

void FakeCpuid(uint32_t leaf, uint32_t r[4]) {
  std::memset(r, 0, 4 * sizeof(uint32_t));
  const FakeCpu& c = *g_cpu;
  if (leaf == 0) {
    r[0] = c.maxLeaf;
    std::memcpy(&r[1], c.vendor, 4);
    std::memcpy(&r[3], c.vendor + 4, 4);
    std::memcpy(&r[2], c.vendor + 8, 4);
  } else if (leaf == 1) {
    r[0] = c.signature;
    r[3] = c.features;
  } else if (leaf == 0x80000000) {
    r[0] = c.maxExtended;
  } else if (leaf == 0x80000001) {
    r[3] = c.extendedFeatures;
  } else if (leaf >= 0x80000002 && leaf <= 0x80000004) {
    std::memcpy(r, c.brand + 16 * (leaf - 0x80000002), 16);
  }
}

std::string Configuration(const FakeCpu& cpu, uint32_t platformId = 2) {
  g_cpu = &cpu;
  FixedText<4096> out;
  FormatConfiguration(out, OsInfo{platformId, 6, 1, 7601, 2}, ReadCpuInfo(FakeCpuid));
  return out.c_str();
}

const char kBrand[49] = "      Fabricated CPU @ 2.00GHz                  ";

}  // namespace

TEST(ReportText, ConfigurationOfAnIntelProcessor) {
  // FPU, TSC, CX8, CMOV, MMX, SSE, SSE2, CLFLUSH, VME, PAE, APIC, FXSR, DS, SS, TM.
  const uint32_t features = 1u << 0 | 1u << 4 | 1u << 8 | 1u << 15 | 1u << 23 | 1u << 25 | 1u << 26 | 1u << 19 |
                            1u << 1 | 1u << 6 | 1u << 9 | 1u << 24 | 1u << 21 | 1u << 27 | 1u << 29;
  const FakeCpu intel{"GenuineIntel", 13, 0x80000008, 0x000206A7, features, 0, kBrand};
  EXPECT_EQ(Configuration(intel),
            "        OS type: WIN32 NT\r\n"
            "        OS version: major 6, minor 1, build 7601\r\n"
            "        Number of processors: 2\r\n"
            "        Processor type: GenuineIntel, stepping 7, model 10, instruction family 6\r\n"
            "        Processor name:       Fabricated CPU @ 2.00GHz                  \r\n"
            "        Processor features: FPU, MMX, SSE, SSE2, CLFLUSH, RDTSC, CMPXCHG8B, CMOV\r\n"
            "        More processor features: VME, PAE, APIC, FXSR, DS, SS, TM\r\n");
}

TEST(ReportText, ConfigurationOfAnAmdProcessor) {
  // Standard: FPU, MMX, SSE, PSE, MSR; extended (second set): MMX extensions, 3DNow, 3DNow
  // extensions, MP. The standard SSE2 bit (26) is not read for AMD.
  const uint32_t standard = 1u << 0 | 1u << 23 | 1u << 25 | 1u << 26 | 1u << 3 | 1u << 5;
  const uint32_t extended = 1u << 22 | 1u << 31 | 1u << 30 | 1u << 19;
  const FakeCpu amd{"AuthenticAMD", 1, 0x80000001, 0x00000F48, standard, extended, kBrand};
  EXPECT_EQ(Configuration(amd, 1),
            "        OS type: WINDOWS\r\n"
            "        OS version: major 6, minor 1, build 7601\r\n"
            "        Number of processors: 2\r\n"
            "        Processor type: AuthenticAMD, stepping 8, model 4, instruction family 15\r\n"
            "        Processor features: FPU, MMX, SSE, MMX extensions, 3DNow, 3DNow extensions\r\n"
            "        More processor features: PSE, MSR, MP\r\n");
}

TEST(ReportText, ConfigurationWithoutFeaturesEndsEachListEmpty) {
  const FakeCpu bare{"SomeVendorXX", 0, 0, 0, 0, 0, kBrand};
  const std::string text = Configuration(bare);
  EXPECT_NE(text.find("        Processor features: \r\n        More processor features: \r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("Processor name"), std::string::npos);
}

TEST(ReportText, NotificationTextIsCutToItsBuffer) {
  FixedText<256> out;
  FormatNotification(out, true, "Sondrel.exe", "C:\\Apps\\Crash.rpt");
  EXPECT_STREQ(out.c_str(),
               "Unexpected problem detected in the program \"Sondrel.exe\".\r\n\r\n"
               "See the report file \"C:\\Apps\\Crash.rpt\" for more info.");
  FixedText<256> deadlock;
  FormatNotification(deadlock, false, "", "");
  EXPECT_EQ(std::string(deadlock.c_str()).rfind("Deadlock detected in the program \"\".", 0), 0u);

  char storage[257];
  storage[256] = 'X';
  TextBuffer cut(storage, 256);
  const std::string longPath = "C:\\" + std::string(300, 'd') + "\\Crash.rpt";
  FormatNotification(cut, true, "Sondrel.exe", longPath.c_str());
  EXPECT_EQ(cut.size(), 255u);
  EXPECT_EQ(storage[256], 'X');
}
