#pragma once
// Bounded text composition into a caller's fixed character array. Nothing here allocates,
// so it serves inside a crash handler; a text that does not fit is cut, never overrun.

#include <cstddef>

namespace __dbg_util {

class TextBuffer {
 public:
  // `capacity` counts the terminating NUL and must be at least 1.
  TextBuffer(char* data, size_t capacity);
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  void Append(const char* text);
  void Append(const char* text, size_t length);
  void AppendChar(char c);
  // printf-style; at most `limit` characters of the result are kept (the line formats cap
  // each part at 1024 characters).
  void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void FormatLimited(size_t limit, const char* format, ...) __attribute__((format(printf, 3, 4)));

  void Clear() { Resize(0); }
  // Cuts the text to `length` characters (no effect when it is shorter).
  void Resize(size_t length);
  bool EndsWith(const char* suffix) const;

  const char* c_str() const { return m_data; }
  char* data() { return m_data; }
  size_t size() const { return m_size; }
  size_t capacity() const { return m_capacity; }
  bool empty() const { return m_size == 0; }
  char operator[](size_t i) const { return m_data[i]; }

 private:
  void AppendFormatted(size_t limit, const char* format, __builtin_va_list args);

  char* m_data;
  size_t m_capacity;
  size_t m_size = 0;
};

// A TextBuffer with its own storage.
template <size_t N>
class FixedText : public TextBuffer {
 public:
  FixedText() : TextBuffer(m_storage, N) {}

 private:
  char m_storage[N];
};

}  // namespace __dbg_util
