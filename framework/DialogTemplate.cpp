#include "framework/DialogTemplate.h"

#include <cstdint>

namespace {

constexpr uint32_t kSetFont = 0x40;  // DS_SETFONT: the template names a font
constexpr uint16_t kOrdinalMark = 0xFFFF;

// Little-endian reads with bounds checks; a read past the end marks the reader failed.
class TemplateReader {
 public:
  TemplateReader(const void* data, size_t size) : m_data(static_cast<const uint8_t*>(data)), m_size(size) {}

  bool ok() const { return m_ok; }

  uint16_t Word() {
    if (!Need(2)) return 0;
    const uint16_t value = static_cast<uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
    m_pos += 2;
    return value;
  }
  uint32_t Dword() {
    const uint32_t low = Word();
    return low | (static_cast<uint32_t>(Word()) << 16);
  }
  void Skip(size_t bytes) {
    if (Need(bytes)) m_pos += bytes;
  }
  // Items start on a 32-bit boundary, counted from the template's start.
  void AlignToDword() { Skip((4 - m_pos % 4) % 4); }

  // A NUL-terminated UTF-16 string whose first unit has been read already.
  std::string RestOfString(uint16_t first) {
    std::string text;
    for (uint16_t unit = first; unit != 0 && m_ok; unit = Word()) text.push_back(unit < 0x80 ? char(unit) : '?');
    return text;
  }
  std::string String() { return RestOfString(Word()); }
  // A string, an ordinal (0xFFFF and a number) or nothing (0); the ordinal reads as empty.
  std::string StringOrOrdinal() {
    const uint16_t first = Word();
    if (first == kOrdinalMark) {
      Word();
      return {};
    }
    return RestOfString(first);
  }

 private:
  bool Need(size_t bytes) {
    if (m_ok && bytes <= m_size - m_pos) return true;
    m_ok = false;
    return false;
  }

  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
  bool m_ok = true;
};

}  // namespace

std::vector<std::string> DialogControlClassNames(const void* data, size_t size) {
  std::vector<std::string> names;
  if (data == nullptr) return names;
  TemplateReader in(data, size);
  const bool extended = size >= 4 && in.Word() == 1 && in.Word() == kOrdinalMark;
  if (!extended) in = TemplateReader(data, size);

  uint32_t style = 0;
  if (extended) {
    in.Dword();  // help id
    in.Dword();  // extended style
    style = in.Dword();
  } else {
    style = in.Dword();
    in.Dword();  // extended style
  }
  const uint16_t count = in.Word();
  in.Skip(4 * 2);           // x, y, cx, cy
  in.StringOrOrdinal();     // menu
  in.StringOrOrdinal();     // window class
  in.String();              // title
  if (style & kSetFont) {
    in.Word();  // point size
    if (extended) in.Skip(2 + 1 + 1);  // weight, italic, character set
    in.String();  // face name
  }

  for (uint16_t i = 0; i < count && in.ok(); ++i) {
    in.AlignToDword();
    if (extended) in.Dword();  // help id
    in.Skip(4 + 4 + 4 * 2);    // styles, x, y, cx, cy
    if (extended) {
      in.Dword();  // id
    } else {
      in.Word();
    }
    std::string name = in.StringOrOrdinal();
    in.StringOrOrdinal();       // title
    in.Skip(in.Word());         // creation data
    if (!in.ok()) break;
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}
