// A frame's registers as the symbol engine names them: every one in the frame a walk began
// at, only those calls preserve in a caller's frame.
#include "diag/FrameRegisters.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace __dbg_util;

namespace {

uint64_t Read(const FrameRegisters& frame, uint32_t cvRegister, bool* known, size_t* size = nullptr) {
  uint8_t bytes[16];
  size_t n = 0;
  *known = ReadFrameRegister(frame, cvRegister, bytes, &n);
  if (size) *size = n;
  uint64_t value = 0;
  std::memcpy(&value, bytes, n < sizeof value ? n : sizeof value);
  return *known ? value : 0;
}

}  // namespace

TEST(FrameRegisters, CallersKnowOnlyThePreservedRegisters) {
  CONTEXT context;
  std::memset(&context, 0, sizeof context);
#ifdef _WIN64
  context.Rbx = 0x1111, context.Rcx = 0x2222, context.Rsi = 0x3333, context.R12 = 0x4444, context.R9 = 0x5555;
  const double six = 0.25;
  std::memcpy(&context.Xmm6, &six, sizeof six);
  context.Xmm1.Low = 0x6666;
  const struct {
    uint32_t cvRegister;
    uint64_t value;
    bool preserved;
  } registers[] = {
      {329, 0x1111, true}, {330, 0x2222, false}, {332, 0x3333, true}, {340, 0x4444, true}, {337, 0x5555, false},
      {155, 0x6666, false},
  };
#else
  context.Ebx = 0x1111, context.Ecx = 0x2222, context.Esi = 0x3333, context.Edx = 0x5555;
  const struct {
    uint32_t cvRegister;
    uint64_t value;
    bool preserved;
  } registers[] = {{20, 0x1111, true}, {18, 0x2222, false}, {23, 0x3333, true}, {19, 0x5555, false}};
#endif
  for (const auto& r : registers) {
    SCOPED_TRACE(r.cvRegister);
    bool known = false;
    EXPECT_EQ(Read(FrameRegisters{&context, true}, r.cvRegister, &known), r.value);
    EXPECT_TRUE(known) << "the innermost frame knows every register";
    EXPECT_EQ(Read(FrameRegisters{&context, false}, r.cvRegister, &known), r.preserved ? r.value : 0);
    EXPECT_EQ(known, r.preserved);
  }
#ifdef _WIN64
  bool known = false;
  size_t size = 0;
  const uint64_t bits = Read(FrameRegisters{&context, false}, 160, &known, &size);
  EXPECT_TRUE(known) << "XMM6 is preserved on x64";
  EXPECT_EQ(size, 16u);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  EXPECT_EQ(value, 0.25);
#endif
}

TEST(FrameRegisters, UnknownWithoutAContextOrForAnInvalidRegister) {
  CONTEXT context;
  std::memset(&context, 0, sizeof context);
  bool known = true;
  Read(FrameRegisters{}, 329, &known);
  EXPECT_FALSE(known);
  // The symbol engine's numbers for a place it could not compute.
  for (uint32_t invalid : {0u, 0xFFFFFFFDu, 0xFFFFFFFFu, 1000u}) {
    Read(FrameRegisters{&context, true}, invalid, &known);
    EXPECT_FALSE(known) << invalid;
  }
}
