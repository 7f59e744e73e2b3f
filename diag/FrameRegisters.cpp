#include "diag/FrameRegisters.h"

#include <cstddef>
#include <cstring>

namespace __dbg_util {
namespace {

struct RegisterPlace {
  uint32_t cvRegister;
  size_t offset;  // in CONTEXT
  size_t size;
  bool preserved;  // across calls, so known in callers' frames too
};

#define REGISTER(id, field, preserved) {id, offsetof(CONTEXT, field), sizeof(CONTEXT::field), preserved}

#ifdef _WIN64
// CV_AMD64_RAX... (cvconst.h), in Windows x64's calling convention.
const RegisterPlace kRegisters[] = {
    REGISTER(328, Rax, false), REGISTER(329, Rbx, true),  REGISTER(330, Rcx, false), REGISTER(331, Rdx, false),
    REGISTER(332, Rsi, true),  REGISTER(333, Rdi, true),  REGISTER(334, Rbp, true),  REGISTER(335, Rsp, true),
    REGISTER(336, R8, false),  REGISTER(337, R9, false),  REGISTER(338, R10, false), REGISTER(339, R11, false),
    REGISTER(340, R12, true),  REGISTER(341, R13, true),  REGISTER(342, R14, true),  REGISTER(343, R15, true),
    REGISTER(154, Xmm0, false), REGISTER(155, Xmm1, false), REGISTER(156, Xmm2, false), REGISTER(157, Xmm3, false),
    REGISTER(158, Xmm4, false), REGISTER(159, Xmm5, false), REGISTER(160, Xmm6, true),  REGISTER(161, Xmm7, true),
    REGISTER(252, Xmm8, true),  REGISTER(253, Xmm9, true),  REGISTER(254, Xmm10, true), REGISTER(255, Xmm11, true),
    REGISTER(256, Xmm12, true), REGISTER(257, Xmm13, true), REGISTER(258, Xmm14, true), REGISTER(259, Xmm15, true),
};
#else
// CV_REG_EAX...; the x87 and SSE registers are left unknown.
const RegisterPlace kRegisters[] = {
    REGISTER(17, Eax, false), REGISTER(18, Ecx, false), REGISTER(19, Edx, false), REGISTER(20, Ebx, true),
    REGISTER(21, Esp, true),  REGISTER(22, Ebp, true),  REGISTER(23, Esi, true),  REGISTER(24, Edi, true),
};
#endif

#undef REGISTER

}  // namespace

bool ReadFrameRegister(const FrameRegisters& frame, uint32_t cvRegister, uint8_t (&bytes)[16], size_t* size) {
  if (!frame.context) return false;
  for (const RegisterPlace& r : kRegisters) {
    if (r.cvRegister != cvRegister) continue;
    if (!r.preserved && !frame.innermost) return false;
    std::memset(bytes, 0, sizeof bytes);
    std::memcpy(bytes, reinterpret_cast<const uint8_t*>(frame.context) + r.offset, r.size);
    *size = r.size;
    return true;
  }
  return false;
}

}  // namespace __dbg_util
