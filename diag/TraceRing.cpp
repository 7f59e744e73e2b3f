#include "diag/TraceRing.h"

#include <cstring>

namespace __dbg_util {
namespace {

// Lines from `a` up to `b`, stopping at the first empty one.
void EmitLines(const char* ring, size_t a, size_t b, size_t used, TraceLineSink sink, void* context) {
  while (a < b && ring[a] != '\0') {
    const size_t length = strnlen(ring + a, used - a);
    sink(context, ring + a, length);
    a += length + 1;
  }
}

}  // namespace

void ForEachBufferedLine(const char* ring, uint32_t writeOffset, uint32_t used, TraceLineSink sink, void* context) {
  const size_t w = writeOffset < used ? writeOffset : used;
  const size_t n = used;
  if ((w < n && ring[w] != '\0') || (w + 1 < n && ring[w + 1] != '\0')) {
    // What starts at w is the remnant of a line the wrap cut (or the empty string that
    // ends the newest line): skip it.
    const size_t older = w + strnlen(ring + w, n - w) + 1;
    EmitLines(ring, older, n, n, sink, context);
  }
  EmitLines(ring, 0, w, n, sink, context);
}

}  // namespace __dbg_util
