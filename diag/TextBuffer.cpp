#include "diag/TextBuffer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace __dbg_util {

TextBuffer::TextBuffer(char* data, size_t capacity) : m_data(data), m_capacity(capacity) { m_data[0] = '\0'; }

void TextBuffer::Append(const char* text) { Append(text, std::strlen(text)); }

void TextBuffer::Append(const char* text, size_t length) {
  const size_t room = m_capacity - 1 - m_size;
  if (length > room) length = room;
  std::memmove(m_data + m_size, text, length);
  m_size += length;
  m_data[m_size] = '\0';
}

void TextBuffer::AppendChar(char c) { Append(&c, 1); }

void TextBuffer::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  AppendFormatted(m_capacity, format, args);
  va_end(args);
}

void TextBuffer::FormatLimited(size_t limit, const char* format, ...) {
  va_list args;
  va_start(args, format);
  AppendFormatted(limit, format, args);
  va_end(args);
}

void TextBuffer::AppendFormatted(size_t limit, const char* format, va_list args) {
  size_t room = m_capacity - m_size;
  if (room > limit + 1) room = limit + 1;
  if (room <= 1) return;
  const int written = std::vsnprintf(m_data + m_size, room, format, args);
  if (written < 0) {
    m_data[m_size] = '\0';
    return;
  }
  // A %c of NUL would end the text early; count only what a reader of the string sees.
  m_size += std::strlen(m_data + m_size);
}

void TextBuffer::Resize(size_t length) {
  if (length < m_size) {
    m_size = length;
    m_data[m_size] = '\0';
  }
}

bool TextBuffer::EndsWith(const char* suffix) const {
  const size_t n = std::strlen(suffix);
  return n <= m_size && std::memcmp(m_data + m_size - n, suffix, n) == 0;
}

}  // namespace __dbg_util
