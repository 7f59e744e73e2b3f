// The flush order of the recent-trace ring.
#include "diag/TraceRing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace __dbg_util;

namespace {

std::vector<std::string> Flushed(const std::string& ring, uint32_t writeOffset, uint32_t used) {
  std::vector<std::string> lines;
  ForEachBufferedLine(
      ring.data(), writeOffset, used,
      [](void* context, const char* line, size_t length) {
        static_cast<std::vector<std::string>*>(context)->emplace_back(line, length);
      },
      &lines);
  return lines;
}

std::string Ring(const char* bytes, size_t size) { return std::string(bytes, size); }

}  // namespace

TEST(TraceRing, FlushesOlderLinesThenNewerOnes) {
  using Lines = std::vector<std::string>;
  // Not wrapped yet: everything lies before the write offset.
  const std::string straight = Ring("one\0two\0\0\0\0\0", 12);
  EXPECT_EQ(Flushed(straight, 8, 8), (Lines{"one", "two"}));

  // Wrapped: "new\0" was written over the start of "xxcut\0"; its remnant "ut" is skipped.
  const std::string wrapped = Ring("new\0ut\0old1\0old2\0", 17);
  EXPECT_EQ(Flushed(wrapped, 4, 17), (Lines{"old1", "old2", "new"}));

  // The write offset right on the NUL that ends the newest line: no line is cut.
  const std::string onBoundary = Ring("new1\0old\0", 9);
  EXPECT_EQ(Flushed(onBoundary, 4, 9), (Lines{"old", "new1"}));

  // Nothing behind the write offset: only the newer lines.
  const std::string tail = Ring("a\0b\0\0\0", 6);
  EXPECT_EQ(Flushed(tail, 4, 6), (Lines{"a", "b"}));
}

TEST(TraceRing, EmptyRingsAndBadOffsetsEmitNothingOutside) {
  EXPECT_TRUE(Flushed(Ring("\0\0\0\0", 4), 0, 0).empty());
  EXPECT_TRUE(Flushed(Ring("\0\0\0\0", 4), 0, 4).empty());
  // A write offset beyond the used length is clamped to it.
  EXPECT_EQ(Flushed(Ring("ab\0", 3), 9, 3), std::vector<std::string>{"ab"});
  // A last line without its NUL ends at the used length.
  EXPECT_EQ(Flushed(Ring("abcdef", 6), 4, 4), std::vector<std::string>{"abcd"});
}
