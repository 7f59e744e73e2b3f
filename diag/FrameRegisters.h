#pragma once
// The registers of one frame of a stack walk, named as the symbol engine names them
// (CodeView register numbers): where a parameter held in a register has its value.

#include <windows.h>

#include <cstdint>

namespace __dbg_util {

struct FrameRegisters {
  // The walk's context at this frame; none when the walk does not know the frame's registers.
  const CONTEXT* context = nullptr;
  // The frame the walk began at: its context is the thread's own, every register is known.
  // In a caller's frame only the registers that calls preserve are: the others hold what a
  // callee left in them.
  bool innermost = false;
};

// Copies the frame's register `cvRegister` into `bytes` and sets `size` (8 or 16 on x64, 4 on
// x86); false when the frame's value of that register is not known.
bool ReadFrameRegister(const FrameRegisters& frame, uint32_t cvRegister, uint8_t (&bytes)[16], size_t* size);

}  // namespace __dbg_util
