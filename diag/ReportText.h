#pragma once
// The fixed texts of a crash or deadlock report, composed from plain values so that they
// can be checked anywhere: the exception name, the header with the registers, the
// computer's configuration and the message shown to the user.

#include <cstdint>

#include "diag/TextBuffer.h"

namespace __dbg_util {

// The name of a structured exception code, "UNKNOWN TYPE" for codes without one.
const char* ExceptionName(uint32_t code);

// The 32-bit program's header.
struct HeaderX86 {
  uint32_t code, address, threadId;
  uint32_t eax, ebx, ecx, edx, esi, edi, ebp, esp, eflags;
  uint32_t cs, ss, ds, es, fs, gs;
  uint32_t lastError;
};
void FormatHeader(TextBuffer& out, const HeaderX86& h);

// The 64-bit program's header: the same lines with the 64-bit registers.
struct HeaderX64 {
  uint32_t code;
  uint64_t address;
  uint32_t threadId;
  uint64_t rax, rbx, rcx, rdx, rsi, rdi, rbp, rsp, r8, r9, r10, r11, r12, r13, r14, r15;
  uint32_t eflags;
  uint32_t cs, ss, ds, es, fs, gs;
  uint32_t lastError;
};
void FormatHeader(TextBuffer& out, const HeaderX64& h);

struct OsInfo {
  uint32_t platformId, major, minor, build, processors;
};

// What CPUID tells about the processor.
struct CpuInfo {
  char vendor[13];
  char brand[49];
  bool hasBrand;
  bool amd;
  uint32_t signature;
  uint32_t features;        // leaf 1 EDX
  uint32_t secondFeatures;  // leaf 1 EDX, or for AMD leaf 0x80000001 EDX
};

// Runs CPUID `leaf` and stores EAX, EBX, ECX, EDX.
using CpuidFunction = void (*)(uint32_t leaf, uint32_t regs[4]);
CpuInfo ReadCpuInfo(CpuidFunction cpuid);

// The lines after " -> Computer configuration:".
void FormatConfiguration(TextBuffer& out, const OsInfo& os, const CpuInfo& cpu);

// The message box text of the default notification (`out` is its 256-character buffer).
void FormatNotification(TextBuffer& out, bool exception, const char* exeName, const char* reportPath);

}  // namespace __dbg_util
