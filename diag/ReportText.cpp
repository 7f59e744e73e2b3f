#include "diag/ReportText.h"

#include <cinttypes>
#include <cstring>

#include "diag/CrashReport.h"

namespace __dbg_util {

const char* ExceptionName(uint32_t code) {
  static const struct {
    uint32_t code;
    const char* name;
  } kNames[] = {
      {0x80000001, "GUARD_PAGE"},
      {0x80000002, "DATATYPE_MISALIGNMENT"},
      {0x80000003, "BREAKPOINT"},
      {0x80000004, "SINGLE_STEP"},
      {0xC0000005, "ACCESS_VIOLATION"},
      {0xC0000006, "IN_PAGE_ERROR"},
      {0xC0000008, "INVALID_HANDLE"},
      {0xC000001D, "ILLEGAL_INSTRUCTION"},
      {0xC0000025, "NONCONTINUABLE_EXCEPTION"},
      {0xC0000026, "INVALID_DISPOSITION"},
      {0xC000008C, "ARRAY_BOUNDS_EXCEEDED"},
      {0xC000008D, "FLT_DENORMAL_OPERAND"},
      {0xC000008E, "FLT_DIVIDE_BY_ZERO"},
      {0xC000008F, "FLT_INEXACT_RESULT"},
      {0xC0000090, "FLT_INVALID_OPERATION"},
      {0xC0000091, "FLT_OVERFLOW"},
      {0xC0000092, "FLT_STACK_CHECK"},
      {0xC0000093, "FLT_UNDERFLOW"},
      {0xC0000094, "INT_DIVIDE_BY_ZERO"},
      {0xC0000095, "INT_OVERFLOW"},
      {0xC0000096, "PRIV_INSTRUCTION"},
      {0xC00000FD, "STACK_OVERFLOW"},
      // The codes the library raises for the runtime's fatal errors.
      {kCodeFatalAppExit, "FATAL_APP_EXIT"},
      {kCodeInvalidCrtParameter, "INVALID_CRT_PARAMETER"},
      {kCodeCppException, "CPP_EXCEPTION"},
      {kCodePureVirtualCall, "PURE_VIRTUAL_CALL"},
  };
  for (const auto& entry : kNames)
    if (entry.code == code) return entry.name;
  return "UNKNOWN TYPE";
}

void FormatHeader(TextBuffer& out, const HeaderX86& h) {
  out.Format(
      "Unhandled exception 0x%08X (%s) caught at address 0x%08X in the thread %d.\r\n"
      " -> Registers:\r\n"
      "        EAX = 0x%08X, EBX = 0x%08X, ECX = 0x%08X, EDX = 0x%08X, \r\n"
      "        ESI = 0x%08X, EDI = 0x%08X, EBP = 0x%08X, ESP = 0x%08X, \r\n"
      "        EFlags = 0x%08X, CS = 0x%04X, SS = 0x%04X, DS = 0x%04X, ES = 0x%0X, FS = 0x%04X, GS = 0x%04X\r\n"
      " -> Last error: 0x%08X\r\n"
      " -> Call stack (thread %d):\r\n",
      h.code, ExceptionName(h.code), h.address, static_cast<int>(h.threadId), h.eax, h.ebx, h.ecx, h.edx, h.esi,
      h.edi, h.ebp, h.esp, h.eflags, h.cs, h.ss, h.ds, h.es, h.fs, h.gs, h.lastError, static_cast<int>(h.threadId));
}

void FormatHeader(TextBuffer& out, const HeaderX64& h) {
  out.Format(
      "Unhandled exception 0x%08X (%s) caught at address 0x%016" PRIX64 " in the thread %d.\r\n"
      " -> Registers:\r\n"
      "        RAX = 0x%016" PRIX64 ", RBX = 0x%016" PRIX64 ", RCX = 0x%016" PRIX64 ", RDX = 0x%016" PRIX64 ", \r\n"
      "        RSI = 0x%016" PRIX64 ", RDI = 0x%016" PRIX64 ", RBP = 0x%016" PRIX64 ", RSP = 0x%016" PRIX64 ", \r\n"
      "        R8 = 0x%016" PRIX64 ", R9 = 0x%016" PRIX64 ", R10 = 0x%016" PRIX64 ", R11 = 0x%016" PRIX64 ", \r\n"
      "        R12 = 0x%016" PRIX64 ", R13 = 0x%016" PRIX64 ", R14 = 0x%016" PRIX64 ", R15 = 0x%016" PRIX64 ", \r\n"
      "        EFlags = 0x%08X, CS = 0x%04X, SS = 0x%04X, DS = 0x%04X, ES = 0x%0X, FS = 0x%04X, GS = 0x%04X\r\n"
      " -> Last error: 0x%08X\r\n"
      " -> Call stack (thread %d):\r\n",
      h.code, ExceptionName(h.code), h.address, static_cast<int>(h.threadId), h.rax, h.rbx, h.rcx, h.rdx, h.rsi,
      h.rdi, h.rbp, h.rsp, h.r8, h.r9, h.r10, h.r11, h.r12, h.r13, h.r14, h.r15, h.eflags, h.cs, h.ss, h.ds, h.es,
      h.fs, h.gs, h.lastError, static_cast<int>(h.threadId));
}

CpuInfo ReadCpuInfo(CpuidFunction cpuid) {
  CpuInfo info{};
  uint32_t r[4];
  cpuid(0, r);
  const uint32_t maxLeaf = r[0];
  std::memcpy(info.vendor, &r[1], 4);
  std::memcpy(info.vendor + 4, &r[3], 4);
  std::memcpy(info.vendor + 8, &r[2], 4);
  info.vendor[12] = '\0';
  cpuid(0x80000000, r);
  const uint32_t maxExtended = r[0];
  info.amd = std::strcmp(info.vendor, "AuthenticAMD") == 0;
  if (maxLeaf >= 1) {
    cpuid(1, r);
    info.signature = r[0];
    info.features = r[3];
  }
  if (!info.amd) {
    info.secondFeatures = info.features;
  } else if (maxExtended >= 0x80000001) {
    cpuid(0x80000001, r);
    info.secondFeatures = r[3];
  }
  if (maxExtended >= 0x80000004) {
    for (uint32_t i = 0; i < 3; ++i) {
      cpuid(0x80000002 + i, r);
      std::memcpy(info.brand + 16 * i, r, 16);
    }
    info.brand[48] = '\0';
    info.hasBrand = true;
  }
  return info;
}

namespace {

enum class Vendor { Any, NonAmd, Amd };

struct FeatureName {
  Vendor only;
  bool second;  // from the second feature set
  unsigned bit;
  const char* name;
};

// The names of the set feature bits that apply to the processor's maker, comma-separated.
template <size_t N>
void AppendFeatureList(TextBuffer& out, const CpuInfo& cpu, const FeatureName (&names)[N]) {
  for (const FeatureName& f : names) {
    if ((f.only == Vendor::Amd && !cpu.amd) || (f.only == Vendor::NonAmd && cpu.amd)) continue;
    const uint32_t word = f.second ? cpu.secondFeatures : cpu.features;
    if (word >> f.bit & 1) out.Append(f.name);
  }
  if (out.EndsWith(", ")) out.Resize(out.size() - 2);
}

constexpr Vendor kAny = Vendor::Any, kNonAmd = Vendor::NonAmd, kAmd = Vendor::Amd;

const FeatureName kFeatures[] = {
    {kAny, false, 0, "FPU, "},           {kAny, false, 23, "MMX, "},      {kAny, false, 25, "SSE, "},
    {kNonAmd, true, 26, "SSE2, "},       {kNonAmd, true, 19, "CLFLUSH, "}, {kAmd, true, 22, "MMX extensions, "},
    {kAmd, true, 31, "3DNow, "},         {kAmd, true, 30, "3DNow extensions, "}, {kAny, false, 4, "RDTSC, "},
    {kAny, false, 8, "CMPXCHG8B, "},     {kAny, false, 15, "CMOV, "},
};

const FeatureName kMoreFeatures[] = {
    {kAny, false, 1, "VME, "},   {kAny, false, 2, "DE, "},     {kAny, false, 3, "PSE, "},   {kAny, false, 5, "MSR, "},
    {kAny, false, 6, "PAE, "},   {kAny, false, 7, "MCE, "},    {kAny, false, 9, "APIC, "},  {kAny, false, 11, "SEP, "},
    {kAny, false, 12, "MTRR, "}, {kAny, false, 13, "PGE, "},   {kAny, false, 14, "MCA, "},  {kAny, false, 16, "PAT, "},
    {kAny, false, 17, "PSE36, "}, {kAny, false, 24, "FXSR, "}, {kNonAmd, true, 21, "DS, "}, {kNonAmd, true, 27, "SS, "},
    {kNonAmd, true, 29, "TM, "}, {kAmd, true, 19, "MP, "},
};

}  // namespace

void FormatConfiguration(TextBuffer& out, const OsInfo& os, const CpuInfo& cpu) {
  out.Format("        OS type: %s\r\n", os.platformId == 2 ? "WIN32 NT" : "WINDOWS");
  out.Format("        OS version: major %u, minor %u, build %u\r\n", os.major, os.minor, os.build);
  out.Format("        Number of processors: %u\r\n", os.processors);
  out.Format("        Processor type: %s, stepping %u, model %u, instruction family %u\r\n", cpu.vendor,
             cpu.signature & 0xF, cpu.signature >> 4 & 0xF, cpu.signature >> 8 & 0xF);
  if (cpu.hasBrand) out.Format("        Processor name: %s\r\n", cpu.brand);
  out.Append("        Processor features: ");
  AppendFeatureList(out, cpu, kFeatures);
  out.Append("\r\n        More processor features: ");
  AppendFeatureList(out, cpu, kMoreFeatures);
  out.Append("\r\n");
}

void FormatNotification(TextBuffer& out, bool exception, const char* exeName, const char* reportPath) {
  out.Format("%s detected in the program \"%s\".\r\n\r\nSee the report file \"%s\" for more info.",
             exception ? "Unexpected problem" : "Deadlock", exeName, reportPath);
}

}  // namespace __dbg_util
