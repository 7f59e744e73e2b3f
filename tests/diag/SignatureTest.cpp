// Frame descriptions on fabricated stacks: the signature rules and the value formatting
// table, for the 32-bit slot model (frame pointer + 8, 4-byte slots) and for parameters the
// symbol engine places one by one (the 64-bit build).
#include "diag/Signature.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "diag/Options.h"

using namespace __dbg_util;

namespace {

class FakeMemory final : public MemoryReader {
 public:
  bool Read(uint64_t address, void* out, size_t size) const override {
    auto* bytes = static_cast<uint8_t*>(out);
    for (size_t i = 0; i < size; ++i) {
      auto it = m_bytes.find(address + i);
      if (it == m_bytes.end()) return false;
      bytes[i] = it->second;
    }
    return true;
  }
  void Put(uint64_t address, uint64_t value, size_t size) {
    for (size_t i = 0; i < size; ++i) m_bytes[address + i] = static_cast<uint8_t>(value >> (8 * i));
  }
  void PutText(uint64_t address, const std::string& text) {
    for (size_t i = 0; i <= text.size(); ++i) m_bytes[address + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : 0;
  }
  void PutWideText(uint64_t address, const std::u16string& text) {
    for (size_t i = 0; i <= text.size(); ++i) Put(address + 2 * i, i < text.size() ? text[i] : 0, 2);
  }

 private:
  std::map<uint64_t, uint8_t> m_bytes;
};

constexpr uint64_t kFrame = 0x10000;  // frame pointer
constexpr uint64_t kAbc = 0x2000;     // the text "abc"
constexpr uint32_t kStackWord = DBG_DEFAULT_STACK_PRINT_WORD | DBG_OPT_FUNC_NAME;

// A 32-bit stack whose parameter slots start at frame pointer + 8.
struct X86Stack {
  FakeMemory memory;
  std::vector<uint32_t> slots;

  explicit X86Stack(std::vector<uint32_t> values) : slots(std::move(values)) {
    for (size_t i = 0; i < slots.size(); ++i) memory.Put(kFrame + 8 + 4 * i, slots[i], 4);
    memory.PutText(kAbc, "abc");
  }
  std::string Describe(const char* undecorated, uint32_t options = kStackWord) {
    FrameMemory frame{memory, 4, kFrame + 8};
    StackSlots places(frame.firstSlot, 4);
    FixedText<4096> out;
    FormatSignature(out, undecorated, options, frame, places);
    return out.c_str();
  }
};

}  // namespace

TEST(Signature, CallingConventionsAndMembers) {
  const struct {
    const char* undecorated;
    std::vector<uint32_t> slots;
    const char* expected;
  } cases[] = {
      // thiscall: `this` travels in ECX and is not shown.
      {"public: __thiscall CFoo::Bar(int,char const *)", {5, kAbc}, "CFoo::Bar(int=5,char const*=\"abc\")"},
      {"public: virtual __thiscall CFoo::Bar(int,char const *)", {5, kAbc}, "CFoo::Bar(int=5,char const*=\"abc\")"},
      // stdcall and cdecl members pass `this` on the stack.
      {"public: __stdcall CFoo::Bar(int,char const *)", {0x3000, 5, kAbc},
       "CFoo::Bar(this*=0x00003000,int=5,char const*=\"abc\")"},
      {"protected: __cdecl CFoo::Get(void)", {0x3000}, "CFoo::Get(this*=0x00003000)"},
      // fastcall: two register parameters for a function, one for a member.
      {"__fastcall Fast(int,int,int)", {7}, "Fast(int=??,int=??,int=7)"},
      {"private: __fastcall CFoo::Fast(int,int)", {9}, "CFoo::Fast(int=??,int=9)"},
      {"__cdecl Plain(void)", {}, "Plain(void)"},
      {"__stdcall Variadic(int,...)", {3}, "Variadic(int=3,...)"},
      {"public: __thiscall CFoo::Size(void) const ", {}, "CFoo::Size(void) const"},
      {"public: __thiscall CFoo::Find(int) const ", {4}, "CFoo::Find(int=4) const"},
  };
  for (const auto& c : cases) {
    X86Stack stack(c.slots);
    EXPECT_EQ(stack.Describe(c.undecorated), c.expected) << c.undecorated;
  }
}

TEST(Signature, TypesOnlyAndTemplateArguments) {
  X86Stack stack({5, kAbc});
  EXPECT_EQ(stack.Describe("public: __thiscall CFoo::Bar(int,char const *)", DBG_OPT_FUNC_TYPES),
            "CFoo::Bar(int,char const*)");
  EXPECT_EQ(stack.Describe("public: __thiscall Box<int,class std::string>::Put(class std::vector<int> &)",
                           DBG_OPT_FUNC_TYPES | DBG_OPT_NO_TEMPLATE_ARGS),
            "Box<>::Put(vector<>&)");
  EXPECT_EQ(stack.Describe("public: __thiscall Box<int>::Put(class std::vector<int> &)", DBG_OPT_FUNC_TYPES),
            "Box<int>::Put(vector<int>&)");
  // A mangled name whose only "(" sits in the template list that is emptied is shown as it
  // is left, without a parameter list.
  EXPECT_EQ(stack.Describe("void __cdecl f<(int)>", kStackWord | DBG_OPT_NO_TEMPLATE_ARGS), "void __cdecl f<>");

  FixedText<256> name;
  FormatFunctionName(name, "Box<int,char>::Put<long>");
  EXPECT_STREQ(name.c_str(), "Box<>::Put<long>");
}

TEST(Signature, CFunctionsGetRawSlots) {
  const struct {
    const char* name;
    const char* expected;
  } cases[] = {
      {"_Sum@8", "_Sum@8(0x00000001,0x00000002)"},
      {"_Nothing@0", "_Nothing@0()"},
      {"plain_c", "plain_c(0x00000001,0x00000002,0x00000003,0x00000004,0x00000005)"},
      {"_no_size", "_no_size"},
  };
  X86Stack stack({1, 2, 3, 4, 5, 6});
  for (const auto& c : cases) EXPECT_EQ(stack.Describe(c.name), c.expected) << c.name;
}

TEST(Signature, FrameWithoutSymbolShowsItsAddressAndFiveSlots) {
  X86Stack stack({1, 2, 3, 4, 5, 6});
  FrameMemory frame{stack.memory, 4, kFrame + 8};
  FixedText<256> out;
  FormatUnknownFrame(out, 0x401000, kStackWord, frame);
  EXPECT_STREQ(out.c_str(), "0x00401000(0x00000001,0x00000002,0x00000003,0x00000004,0x00000005,...)");
  out.Clear();
  FormatUnknownFrame(out, 0x401000, DBG_OPT_FUNC_NAME, frame);
  EXPECT_STREQ(out.c_str(), "0x00401000()");

  // The raw list ends where the stack stops being readable.
  X86Stack shortStack({1, 2});
  FrameMemory shortFrame{shortStack.memory, 4, kFrame + 8};
  out.Clear();
  FormatUnknownFrame(out, 0x401000, kStackWord, shortFrame);
  EXPECT_STREQ(out.c_str(), "0x00401000(0x00000001,0x00000002,...)");
  FrameMemory unreadable{shortStack.memory, 4, 0x900000};
  out.Clear();
  FormatUnknownFrame(out, 0x401000, kStackWord, unreadable);
  EXPECT_STREQ(out.c_str(), "0x00401000(,...)");
}

// Where parameters are passed in registers (x64), stack words are never shown as a
// function's arguments when the symbol engine does not know its parameters.
TEST(Signature, UntypedFrameOfRegisterArgumentsShowsOnlyAQuestionMark) {
  X86Stack stack({1, 2, 3});
  const FrameMemory frame{stack.memory, 8, kFrame + 16};
  const struct {
    const char* name;
    const char* expected;
  } cases[] = {
      {"WaitForSingleObject", "WaitForSingleObject(?)"},
      {nullptr, "0x00007FF612340000(?)"},
      {"", "0x00007FF612340000(?)"},
  };
  for (const auto& c : cases) {
    FixedText<128> out;
    FormatUntypedFrame(out, c.name, 0x7FF612340000, frame);
    EXPECT_STREQ(out.c_str(), c.expected) << (c.name ? c.name : "no name");
  }
}

TEST(Signature, UnknownStructureByValueLosesTheLaterPlaces) {
  X86Stack stack({1, 2, 3, 4, 9});
  EXPECT_EQ(stack.Describe("__cdecl Take(struct Big,int,char const *)"),
            "Take(Big={0x00000001,0x00000002,0x00000003,...},int=?\?,char const*=?\?)");
  // By reference its address and first word show, and the places stay known.
  stack.memory.Put(0x5000, 0xABCD, 4);
  X86Stack byRef({0x5000, 9});
  byRef.memory.Put(0x5000, 0xABCD, 4);
  EXPECT_EQ(byRef.Describe("__cdecl Take(struct Big const &,int)"), "Take(Big const&=0x00005000 {0x0000ABCD, ...},int=9)");
}

TEST(Signature, TextValues) {
  const std::string thirty(30, 'x');
  const std::string longer = "0123456789012345678901234567890123456789";
  X86Stack stack({0x2100, 0x2200, 0x2300, 0, 0x2400});
  stack.memory.PutText(0x2100, thirty);
  stack.memory.PutText(0x2200, longer);
  stack.memory.PutText(0x2300, "bell\a");
  EXPECT_EQ(stack.Describe("__cdecl T(char const *,char *,char const *,char *,int)"),
            "T(char const*=\"" + thirty + "\",char*=\"0123456789012345678901234567...\",char const*=0x00002300,"
            "char*=NULL,int=9216)");
  // Without the text-only bit a text shows its address too.
  X86Stack withAddress({kAbc});
  EXPECT_EQ(withAddress.Describe("__cdecl T(char const *)", kStackWord & ~DBG_OPT_VALUE_TEXT_ONLY),
            "T(char const*={0x00002000 \"abc\"})");
}

TEST(Signature, WideTextAndStringObjects) {
  X86Stack stack({0x2500, 0x2600, 0x2700, 0x2800});
  stack.memory.PutWideText(0x2500, u"wide");
  stack.memory.Put(0x2600, kAbc, 4);    // CString: its only word is the text pointer
  stack.memory.Put(0x2700, 0x11, 4);    // basic_string: the second word is the text pointer
  stack.memory.Put(0x2704, kAbc, 4);
  stack.memory.Put(0x2800, 0x2500, 4);  // _bstr_t: points to a record that starts with the text
  const char* signature =
      "__cdecl S(unsigned short const *,class CString &,"
      "class std::basic_string<char,struct std::char_traits<char>,class std::allocator<char> > const &,class _bstr_t)";
  EXPECT_EQ(stack.Describe(signature),
            "S(wchar_t const*=\"wide\",CString&=\"abc\",basic_string<> const&=\"abc\",_bstr_t=\"wide\")");
  EXPECT_EQ(stack.Describe(signature, (kStackWord & ~DBG_OPT_VALUE_TEXT_ONLY) | DBG_OPT_NO_WIDE_GUESS),
            "S(WORD const*=0x00002500,CString&=0x00002600 {0x00002000 \"abc\"},"
            "basic_string<> const&=0x00002700 {0x00002000 \"abc\"},_bstr_t={0x00002500 \"wide\"})");

  // A wide basic_string shows its character type as wchar_t; a broken one shows "{??}".
  X86Stack wide({0x2700, 0x4444});
  wide.memory.Put(0x2704, 0x2500, 4);
  wide.memory.PutWideText(0x2500, u"wide");
  EXPECT_EQ(wide.Describe("__cdecl W(class std::basic_string<unsigned short> *,class CString *)", DBG_OPT_FUNC_VALUES),
            "W(basic_string<wchar_t>*=0x00002700 {0x00002500 \"wide\"},CString*=0x00004444 {?\?})");
}

TEST(Signature, NumbersAndCharactersPerOptionBits) {
  // int -5, DWORD 0xFFFFFFFF, short -2, __int64 -3 (two slots), DWORD64 (two slots), a byte and
  // a word whose slots carry other bits above them, a char.
  const std::vector<uint32_t> slots = {0xFFFFFFFB, 0xFFFFFFFF, 0x0000FFFE, 0xFFFFFFFD, 0xFFFFFFFF,
                                       0x00000010, 0x00000001, 0x12341241, 0xABCD0042, 'q'};
  const char* signature = "__cdecl N(int,unsigned long,short,__int64,unsigned __int64,unsigned char,unsigned short,char)";
  const struct {
    uint32_t extra;
    const char* expected;
  } cases[] = {
      {0, "N(int=-5,DWORD=0xFFFFFFFF,short=-2,__int64=-3,DWORD64=0x100000010,BYTE=0x41('A'),WORD=0x42('B'),char='q')"},
      {DBG_OPT_SIGNED_HEX,
       "N(int=0xFFFFFFFB,DWORD=0xFFFFFFFF,short=0xFFFE,__int64=0xFFFFFFFFFFFFFFFD,DWORD64=0x100000010,BYTE=0x41('A'),"
       "WORD=0x42('B'),char='q')"},
      {DBG_OPT_UNSIGNED_DECIMAL,
       "N(int=-5,DWORD=4294967295,short=-2,__int64=-3,DWORD64=4294967312,BYTE=65('A'),WORD=66('B'),char='q')"},
      // Both bits together: each kind keeps its usual form.
      {DBG_OPT_SIGNED_HEX | DBG_OPT_UNSIGNED_DECIMAL,
       "N(int=-5,DWORD=0xFFFFFFFF,short=-2,__int64=-3,DWORD64=0x100000010,BYTE=0x41('A'),WORD=0x42('B'),char='q')"},
  };
  X86Stack stack(slots);
  for (const auto& c : cases) EXPECT_EQ(stack.Describe(signature, kStackWord | c.extra), c.expected) << c.extra;
}

TEST(Signature, OtherBasicValues) {
  float f = 2.5f;
  uint32_t fbits;
  std::memcpy(&fbits, &f, 4);
  double d = -0.125;
  uint64_t dbits;
  std::memcpy(&dbits, &d, 8);
  X86Stack stack({fbits, static_cast<uint32_t>(dbits), static_cast<uint32_t>(dbits >> 32), 1, 7, 0x3100});
  stack.memory.Put(0x3100, 77, 4);
  EXPECT_EQ(stack.Describe("__cdecl V(float,double,bool,unsigned int,int &)"),
            "V(float=2.5,double=-0.125,bool=true,unsigned int=0x7,int&=77)");
}

TEST(Signature, LocatedParametersKeepTheirPlaces) {
  // The 64-bit build: 8-byte words, each parameter where the symbol engine says.
  FakeMemory memory;
  memory.Put(0x7000, 5, 8);
  memory.Put(0x7008, 0x2000, 8);
  memory.PutText(0x2000, "abc");
  memory.Put(0x7100, 1, 8);
  memory.Put(0x7108, 2, 8);
  memory.Put(0x7110, 3, 8);
  memory.Put(0x7200, 0x123456789ull, 8);
  FrameMemory frame{memory, 8, 0x7000};
  LocatedParameters places;
  places.AddInMemory(0x7000);
  places.AddUnknown();
  places.AddInMemory(0x7008);
  places.AddInMemory(0x7100);
  places.AddInMemory(0x7200);
  FixedText<1024> out;
  FormatSignature(out, "public: __thiscall CFoo::Bar(int,int,char *,struct Big,void *)", kStackWord, frame, places);
  EXPECT_STREQ(out.c_str(),
               "CFoo::Bar(int=5,int=??,char*=\"abc\",Big={0x0000000000000001,0x0000000000000002,0x0000000000000003,...},"
               "void*=0x0000000123456789)");
}

TEST(Signature, ValuesHeldInRegistersAreFormattedByTheirTypes) {
  // What a register held in the frame: the value itself, or the address of what it points
  // to (read from memory).
  FakeMemory memory;
  memory.PutText(0x2000, "abc");
  memory.Put(0x3000, 42, 4);
  FrameMemory frame{memory, 8, 0x7000};
  LocatedParameters places;
  const int32_t count = -7;
  const double ratio = 0.25;
  const float level = 1.5f;
  const uint64_t text = 0x2000, number = 0x3000, nowhere = 0;
  places.AddHeldValue(&count, sizeof count);
  places.AddHeldValue(&ratio, sizeof ratio);
  places.AddHeldValue(&level, sizeof level);
  places.AddHeldValue(&text, sizeof text);
  places.AddHeldValue(&number, sizeof number);
  places.AddHeldValue(&nowhere, sizeof nowhere);
  places.AddUnknown();
  FixedText<1024> out;
  FormatSignature(out, "__cdecl F(int,double,float,char const *,int &,char *,int)", kStackWord, frame, places);
  EXPECT_STREQ(out.c_str(), "F(int=-7,double=0.25,float=1.5,char const*=\"abc\",int&=42,char*=NULL,int=?" "?)");
}

TEST(BasicTypeName, SpellsTheEnginesBasicTypes) {
  EXPECT_STREQ(BasicTypeName(6, 4), "int");
  EXPECT_STREQ(BasicTypeName(6, 8), "__int64");
  EXPECT_STREQ(BasicTypeName(7, 1), "unsigned char");
  EXPECT_STREQ(BasicTypeName(7, 2), "unsigned short");
  EXPECT_STREQ(BasicTypeName(7, 8), "unsigned __int64");
  EXPECT_STREQ(BasicTypeName(2, 1), "char");
  EXPECT_STREQ(BasicTypeName(8, 8), "double");
  EXPECT_STREQ(BasicTypeName(14, 4), "unsigned long");
  EXPECT_EQ(BasicTypeName(99, 4), nullptr);
}
