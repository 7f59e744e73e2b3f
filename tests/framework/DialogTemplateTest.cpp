// Dialog templates built byte by byte in both layouts, as resource compilers write them.
#include "framework/DialogTemplate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSetFont = 0x40;

class TemplateBuilder {
 public:
  TemplateBuilder& Word(uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
    return *this;
  }
  TemplateBuilder& Dword(uint32_t value) { return Word(static_cast<uint16_t>(value)).Word(static_cast<uint16_t>(value >> 16)); }
  TemplateBuilder& String(const std::string& text) {
    for (char c : text) Word(static_cast<uint8_t>(c));
    return Word(0);
  }
  TemplateBuilder& Ordinal(uint16_t value) { return Word(0xFFFF).Word(value); }
  TemplateBuilder& Align() {
    while (bytes.size() % 4) bytes.push_back(0);
    return *this;
  }
  TemplateBuilder& Box() { return Word(10).Word(20).Word(30).Word(40); }  // x, y, cx, cy

  std::vector<uint8_t> bytes;
};

// A DIALOGEX with a font and three controls: a button by ordinal, a date picker, and a
// trackbar with creation data.
std::vector<uint8_t> ExtendedTemplate() {
  TemplateBuilder t;
  t.Word(1).Word(0xFFFF).Dword(0).Dword(0).Dword(kSetFont | 0x80000000).Word(3).Box();
  t.Word(0).Word(0).String("Timer Settings");       // no menu, no class, the caption
  t.Word(8).Word(400).Word(0x0100).String("MS Shell Dlg");  // size, weight, italic + charset, face
  t.Align().Dword(0).Dword(0).Dword(0x50010000).Box().Dword(1).Ordinal(0x0080).String("OK").Word(0);
  t.Align().Dword(0).Dword(0).Dword(0x50010000).Box().Dword(1001).String("SysDateTimePick32").String("").Word(0);
  t.Align().Dword(0).Dword(0).Dword(0x50010000).Box().Dword(1005).String("msctls_trackbar32").Ordinal(7);
  t.Word(3).Word(0xAAAA).bytes.push_back(0xBB);  // three bytes of creation data
  return t.bytes;
}

TEST(DialogTemplate, ExtendedTemplateNamesItsCommonControls) {
  const std::vector<uint8_t> bytes = ExtendedTemplate();
  EXPECT_EQ(DialogControlClassNames(bytes.data(), bytes.size()),
            (std::vector<std::string>{"SysDateTimePick32", "msctls_trackbar32"}));
}

TEST(DialogTemplate, ClassicTemplateWithAndWithoutFont) {
  for (const bool font : {true, false}) {
    TemplateBuilder t;
    t.Dword(font ? kSetFont : 0).Dword(0).Word(2).Box();
    t.Ordinal(5).String("MyClass").String("Caption");  // a menu by number, a named dialog class
    if (font) t.Word(8).String("MS Shell Dlg");
    t.Align().Dword(0x50010000).Dword(0).Box().Word(100).String("SysListView32").String("x").Word(0);
    t.Align().Dword(0x50010000).Dword(0).Box().Word(101).Ordinal(0x0082).String("label").Word(0);
    EXPECT_EQ(DialogControlClassNames(t.bytes.data(), t.bytes.size()), std::vector<std::string>{"SysListView32"})
        << font;
  }
}

TEST(DialogTemplate, CutTemplatesGiveTheirCompleteControlsAndNeverReadBeyond) {
  const std::vector<uint8_t> whole = ExtendedTemplate();
  const std::vector<std::string> all = DialogControlClassNames(whole.data(), whole.size());
  for (size_t size = 0; size < whole.size(); ++size) {
    // A copy of exactly `size` bytes, so that a read past it is a read past the allocation.
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    const std::vector<std::string> names = DialogControlClassNames(cut.data(), cut.size());
    ASSERT_LE(names.size(), all.size()) << size;
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(names[i], all[i]) << size;
  }
  EXPECT_TRUE(DialogControlClassNames(nullptr, 100).empty());
}

TEST(DialogTemplate, NonAsciiCharactersAndAnUnterminatedName) {
  TemplateBuilder t;
  t.Word(1).Word(0xFFFF).Dword(0).Dword(0).Dword(0).Word(2).Box().Word(0).Word(0).Word(0);
  t.Align().Dword(0).Dword(0).Dword(0).Box().Dword(1).Word('A').Word(0x00E9).Word('B').Word(0).Word(0).Word(0);
  t.Align().Dword(0).Dword(0).Dword(0).Box().Dword(2).Word('C').Word('D');  // the template ends inside the name
  EXPECT_EQ(DialogControlClassNames(t.bytes.data(), t.bytes.size()), std::vector<std::string>{"A?B"});
}

}  // namespace
