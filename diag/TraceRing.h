#pragma once
// The recent-trace buffer's layout: NUL-terminated lines one after another in a ring. The
// bytes from the write offset up to the used length hold the older lines (the first of
// them possibly cut at its start by the wrap), the bytes from 0 up to the write offset
// the newer ones.

#include <cstddef>
#include <cstdint>

namespace __dbg_util {

// Receives one line, without its NUL.
using TraceLineSink = void (*)(void* context, const char* line, size_t length);

// Passes every complete line of a copy of the ring (`used` bytes, `writeOffset` the next
// write position) to `sink`, oldest first.
void ForEachBufferedLine(const char* ring, uint32_t writeOffset, uint32_t used, TraceLineSink sink, void* context);

}  // namespace __dbg_util
