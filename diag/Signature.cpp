#include "diag/Signature.h"

#include <cctype>
#include <cinttypes>
#include <cstring>
#include <cwctype>

#include "diag/FloatText.h"
#include "diag/Options.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace __dbg_util {
namespace {

constexpr size_t kTextLimit = 31;  // characters of a text value shown at most
using Work = FixedText<2048>;      // one undecorated signature (2000 characters) and room

bool Contains(const char* text, const char* part) { return std::strstr(text, part) != nullptr; }

bool StartsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

void Assign(TextBuffer& out, const char* text, size_t length) {
  out.Clear();
  out.Append(text, length);
}

void ReplaceAll(TextBuffer& text, const char* from, const char* to) {
  if (!Contains(text.c_str(), from)) return;
  Work result;
  const size_t n = std::strlen(from);
  for (const char* p = text.c_str(); *p;) {
    if (std::strncmp(p, from, n) == 0) {
      result.Append(to);
      p += n;
    } else {
      result.AppendChar(*p++);
    }
  }
  Assign(text, result.c_str(), result.size());
}

// Removes a leading `prefix`; true when it was there.
bool DropPrefix(TextBuffer& text, const char* prefix) {
  if (!StartsWith(text.c_str(), prefix)) return false;
  Work rest;
  rest.Append(text.c_str() + std::strlen(prefix));
  Assign(text, rest.c_str(), rest.size());
  return true;
}

// Empties the template argument list that opens at `open` (the brackets stay).
void EmptyTemplateListAt(TextBuffer& text, size_t open) {
  int depth = 0;
  for (size_t i = open; i < text.size(); ++i) {
    if (text[i] == '<') ++depth;
    if (text[i] == '>' && --depth == 0) {
      Work result;
      result.Append(text.c_str(), open + 1);
      result.Append(text.c_str() + i);
      Assign(text, result.c_str(), result.size());
      return;
    }
  }
}

void EmptyFirstTemplateList(TextBuffer& text) {
  const char* open = std::strchr(text.c_str(), '<');
  if (open) EmptyTemplateListAt(text, static_cast<size_t>(open - text.c_str()));
}

// --- Reading the stack -------------------------------------------------------------------

// A value held in a register, served at an address no pointer of a process can have (the top
// of the address space, the system's on every Windows), so that it is formatted as if it were
// in memory; whatever it points to is read from the memory itself.
class HeldValueMemory final : public MemoryReader {
 public:
  static constexpr uint64_t kAddress = 0xFFFFFFFFFFFFFFE0ull;
  HeldValueMemory(const MemoryReader& memory, const uint8_t (&held)[16]) : m_memory(memory), m_held(held) {}
  bool Read(uint64_t address, void* out, size_t size) const override {
    if (address < kAddress) return m_memory.Read(address, out, size);
    if (size > sizeof m_held || address - kAddress > sizeof m_held - size) return false;
    std::memcpy(out, m_held + (address - kAddress), size);
    return true;
  }

 private:
  const MemoryReader& m_memory;
  const uint8_t (&m_held)[16];
};

uint64_t ReadWord(const FrameMemory& frame, uint64_t address, bool* ok) {
  uint64_t value = 0;
  *ok = frame.memory.Read(address, &value, frame.slotSize);
  return value;
}

void AppendPointer(TextBuffer& out, const FrameMemory& frame, uint64_t value) {
  if (frame.slotSize == 4)
    out.Format("0x%08X", static_cast<uint32_t>(value));
  else
    out.Format("0x%016" PRIX64, value);
}

void AppendWideChar(TextBuffer& out, uint16_t c) {
#ifdef _WIN32
  char ansi[8];
  const wchar_t wide = c;
  const int n = WideCharToMultiByte(CP_ACP, 0, &wide, 1, ansi, sizeof ansi, nullptr, nullptr);
  if (n > 0) {
    out.Append(ansi, static_cast<size_t>(n));
    return;
  }
#endif
  out.AppendChar(c < 0x80 ? static_cast<char>(c) : '?');
}

// A NUL would end the whole line, so it shows as its escape.
void AppendQuotedChar(TextBuffer& out, char c) {
  if (c == '\0')
    out.Append("'\\0'");
  else
    out.Format("'%c'", c);
}

bool IsPrintableText(int c, bool wide) {
  if (c == '\t' || c == '\n' || c == '\r') return true;
  return wide ? std::iswprint(static_cast<wint_t>(c)) != 0 : (c < 0x80 && std::isprint(c) != 0);
}

// Reads the text at `pointer`: at most 31 characters; false when its first character
// cannot be read. `printable` tells whether every character read is printable.
bool ReadText(const FrameMemory& frame, uint64_t pointer, bool wide, TextBuffer& text, bool* printable) {
  *printable = true;
  size_t count = 0;
  for (; count < kTextLimit; ++count) {
    uint16_t c = 0;
    if (!frame.memory.Read(pointer + count * (wide ? 2 : 1), &c, wide ? 2 : 1)) {
      if (count == 0) return false;
      break;
    }
    if (c == 0) break;
    if (!IsPrintableText(c, wide)) *printable = false;
    if (wide)
      AppendWideChar(text, c);
    else
      text.AppendChar(static_cast<char>(c));
  }
  if (count == kTextLimit && text.size() >= 3) {
    text.Resize(text.size() - 3);
    text.Append("...");
  }
  return true;
}

// The text at `pointer` as a value: "NULL", the text in quotes, or with its address too.
bool AppendRenderedText(TextBuffer& out, const FrameMemory& frame, uint32_t options, uint64_t pointer, bool wide) {
  if (pointer == 0) {
    out.Append("NULL");
    return true;
  }
  FixedText<kTextLimit * 4 + 4> text;
  bool printable;
  if (!ReadText(frame, pointer, wide, text, &printable)) return false;
  if (options & DBG_OPT_VALUE_TEXT_ONLY) {
    out.Format("\"%s\"", text.c_str());
  } else {
    out.AppendChar('{');
    AppendPointer(out, frame, pointer);
    out.Format(" \"%s\"}", text.c_str());
  }
  return true;
}

// True when the text at `pointer` reads and is printable within its first 31 characters.
bool IsPrintableTextAt(const FrameMemory& frame, uint64_t pointer, bool wide) {
  if (pointer == 0) return false;
  FixedText<kTextLimit * 4 + 4> text;
  bool printable;
  return ReadText(frame, pointer, wide, text, &printable) && printable;
}

// --- One parameter's value -----------------------------------------------------------------

struct ParameterType {
  char base[64];
  unsigned indirections;  // the "&" and "*" in the type
  bool byReference;       // the first of them is "&"
};

ParameterType ParseType(const char* text) {
  ParameterType type{};
  while (*text == ' ') ++text;
  const size_t baseLength = std::strcspn(text, " ,&*<)");
  TextBuffer base(type.base, sizeof type.base);
  base.Append(text, baseLength);
  bool first = true;
  for (const char* p = text; *p; ++p) {
    if (*p != '&' && *p != '*') continue;
    if (first) type.byReference = *p == '&';
    first = false;
    ++type.indirections;
  }
  return type;
}

bool BaseIs(const ParameterType& type, const char* name) { return std::strcmp(type.base, name) == 0; }

// Replaces the first template argument of a string type for display.
void RenameTemplateArgument(TextBuffer& param, const char* from, const char* to) {
  const char* open = std::strchr(param.c_str(), '<');
  if (!open || !StartsWith(open + 1, from)) return;
  Work result;
  result.Append(param.c_str(), static_cast<size_t>(open + 1 - param.c_str()));
  result.Append(to);
  result.Append(open + 1 + std::strlen(from));
  Assign(param, result.c_str(), result.size());
}

enum class StringKind { None, BasicString, CString, Bstr };

StringKind StringKindOf(const ParameterType& type) {
  if (BaseIs(type, "basic_string") || BaseIs(type, "BasicString")) return StringKind::BasicString;
  if (BaseIs(type, "CString")) return StringKind::CString;
  if (BaseIs(type, "_bstr_t")) return StringKind::Bstr;
  return StringKind::None;
}

// String objects: the text pointer is the second word of a basic_string, the only word of
// a CString, the first word of the record a _bstr_t points to.
bool FormatStringValue(TextBuffer& value, TextBuffer& param, const FrameMemory& frame, uint32_t options,
                       const ParameterType& type, StringKind kind, uint64_t address, unsigned* slots) {
  bool wide = kind == StringKind::Bstr;
  if (kind == StringKind::BasicString) {
    const char* open = std::strchr(param.c_str(), '<');
    wide = open && StartsWith(open + 1, "WORD");
    RenameTemplateArgument(param, "WORD", "wchar_t");
    RenameTemplateArgument(param, "BYTE", "u_char");
  }
  *slots = kind == StringKind::BasicString && type.indirections == 0 ? 4 : 1;
  bool ok;
  const uint64_t slot = ReadWord(frame, address, &ok);
  if (!ok) return false;
  if (type.indirections >= 2) {
    if (slot == 0)
      value.Append("NULL");
    else
      AppendPointer(value, frame, slot);
    return true;
  }
  // The object itself: in the slots (by value) or where the slot points.
  const uint64_t object = type.indirections == 0 ? address : slot;
  uint64_t text = 0;
  switch (kind) {
    case StringKind::BasicString:
      text = ReadWord(frame, object + frame.slotSize, &ok);
      break;
    case StringKind::CString:
      text = ReadWord(frame, object, &ok);
      break;
    default: {
      const uint64_t record = ReadWord(frame, object, &ok);
      if (ok) text = ReadWord(frame, record, &ok);
    }
  }
  FixedText<256> rendered;
  if (!ok || !AppendRenderedText(rendered, frame, options, text, wide)) {
    AppendPointer(value, frame, slot);
    value.Append(" {??}");
    return true;
  }
  if (type.indirections == 1 && !(options & DBG_OPT_VALUE_TEXT_ONLY)) {
    AppendPointer(value, frame, slot);
    value.AppendChar(' ');
  }
  value.Append(rendered.c_str());
  return true;
}

// Formats the parameter whose value starts at `address`; `param` is its type text and may
// be renamed for display. False when the value's size is unknown.
bool FormatValue(TextBuffer& value, TextBuffer& param, const FrameMemory& frame, uint32_t options, uint64_t address,
                 unsigned* slots) {
  const ParameterType type = ParseType(param.c_str());
  *slots = 1;
  const StringKind kind = StringKindOf(type);
  if (kind != StringKind::None) {
    if (!FormatStringValue(value, param, frame, options, type, kind, address, slots)) value.Append("{??}");
    return true;
  }
  bool ok;
  const uint64_t slot = ReadWord(frame, address, &ok);
  if (!ok) {
    value.Append("??");
    return true;
  }
  const bool pointer = type.indirections >= 2 || (type.indirections == 1 && !type.byReference);
  if (pointer && type.indirections == 1) {
    const bool wideGuess = BaseIs(type, "WORD") && !(options & DBG_OPT_NO_WIDE_GUESS);
    if (slot == 0 && (BaseIs(type, "char") || wideGuess)) {
      value.Append("NULL");
      return true;
    }
    if (BaseIs(type, "char") && IsPrintableTextAt(frame, slot, false)) {
      AppendRenderedText(value, frame, options, slot, false);
      return true;
    }
    if (wideGuess && IsPrintableTextAt(frame, slot, true)) {
      ReplaceAll(param, "WORD", "wchar_t");
      AppendRenderedText(value, frame, options, slot, true);
      return true;
    }
  }
  if (pointer) {
    AppendPointer(value, frame, slot);
    return true;
  }

  // A value, in the slots or where the reference points.
  const uint64_t where = type.byReference ? slot : address;
  const unsigned wideSlots = type.byReference ? 1 : (8 + frame.slotSize - 1) / frame.slotSize;
  const uint32_t radix = options & (DBG_OPT_UNSIGNED_DECIMAL | DBG_OPT_SIGNED_HEX);
  const bool signedHex = radix == DBG_OPT_SIGNED_HEX;
  const bool unsignedDecimal = radix == DBG_OPT_UNSIGNED_DECIMAL;
  uint64_t v = 0;
  const bool is64 = BaseIs(type, "__int64") || BaseIs(type, "DWORD64") || BaseIs(type, "double");
  if (!frame.memory.Read(where, &v, is64 ? 8 : 4)) {
    value.Append("??");
    return true;
  }
  const uint32_t v32 = static_cast<uint32_t>(v);
  if (BaseIs(type, "char") || BaseIs(type, "signed")) {
    AppendQuotedChar(value, static_cast<char>(v32));
  } else if (BaseIs(type, "short")) {
    if (signedHex)
      value.Format("0x%X", static_cast<unsigned>(static_cast<uint16_t>(v32)));
    else
      value.Format("%hd", static_cast<short>(v32));
  } else if (BaseIs(type, "int") || BaseIs(type, "long") || BaseIs(type, "enum")) {
    if (signedHex)
      value.Format("0x%X", v32);
    else
      value.Format("%d", static_cast<int32_t>(v32));
  } else if (BaseIs(type, "DWORD") || BaseIs(type, "unsigned")) {
    value.Format(unsignedDecimal ? "%u" : "0x%X", v32);
  } else if (BaseIs(type, "__int64")) {
    *slots = wideSlots;
    if (signedHex)
      value.Format("0x%" PRIX64, v);
    else
      value.Format("%" PRId64, static_cast<int64_t>(v));
  } else if (BaseIs(type, "DWORD64")) {
    *slots = wideSlots;
    value.Format(unsignedDecimal ? "%" PRIu64 : "0x%" PRIX64, v);
  } else if (BaseIs(type, "float")) {
    float f;
    std::memcpy(&f, &v32, sizeof f);
    AppendGeneralFloat(value, static_cast<double>(f));
  } else if (BaseIs(type, "double")) {
    *slots = wideSlots;
    double d;
    std::memcpy(&d, &v, sizeof d);
    AppendGeneralFloat(value, d);
  } else if (BaseIs(type, "bool")) {
    value.Append((v32 & 0xFF) ? "true" : "false");
  } else if (BaseIs(type, "BYTE")) {
    // A byte's slot carries whatever the caller left above its low 8 bits.
    const unsigned b = v32 & 0xFF;
    value.Format(unsignedDecimal ? "%u(" : "0x%X(", b);
    AppendQuotedChar(value, static_cast<char>(b));
    value.AppendChar(')');
  } else if (BaseIs(type, "WORD")) {
    const unsigned w = v32 & 0xFFFF;
    value.Format(unsignedDecimal ? "%u('" : "0x%X('", w);
    if (w == 0)
      value.Append("\\0");
    else
      AppendWideChar(value, static_cast<uint16_t>(w));
    value.Append("')");
  } else if (type.byReference) {
    AppendPointer(value, frame, slot);
    value.Append(" {");
    bool firstOk;
    const uint64_t first = ReadWord(frame, slot, &firstOk);
    if (firstOk) {
      AppendPointer(value, frame, first);
      value.Append(", ...}");
    } else {
      value.Append("??}");
    }
  } else {
    *slots = 3;
    AppendRawList(value, frame, address, 3, "{", ",...}");
    return false;
  }
  return true;
}

// Appends the parameter list of `text` (from its first "(") with values under `options`.
void AppendParameters(TextBuffer& out, const char* text, uint32_t options, const FrameMemory& frame,
                      ParameterPlaces& places, unsigned registerParameters) {
  const char* open = std::strchr(text, '(');
  if (!open) {  // a malformed name whose only "(" was inside the template list just emptied
    out.Append(text);
    return;
  }
  out.Append(text, static_cast<size_t>(open + 1 - text));
  const char* p = open + 1;
  bool placesLost = false;
  for (;;) {
    const char* end = p;
    for (int depth = 0; *end; ++end) {
      if (*end == '<') ++depth;
      if (*end == '>') --depth;
      if (depth == 0 && (*end == ',' || *end == ')')) break;
    }
    if (!*end || (end - p == 3 && std::strncmp(p, "...", 3) == 0)) {
      out.Append(p);
      return;
    }
    FixedText<512> param;
    param.Append(p, static_cast<size_t>(end - p));
    FixedText<512> value;
    if (options & DBG_OPT_FUNC_VALUES) {
      const bool inRegister = registerParameters > 0;
      if (inRegister) --registerParameters;
      const ParameterPlace place = inRegister || placesLost ? ParameterPlace{} : places.Next();
      if (place.kind == ParameterPlace::Kind::Unknown) {
        value.Append("=??");
      } else {
        value.AppendChar('=');
        unsigned slots = 1;
        const HeldValueMemory held(frame.memory, place.held);
        const bool inMemory = place.kind == ParameterPlace::Kind::Memory;
        const FrameMemory heldFrame{held, frame.slotSize, frame.firstSlot};
        const bool sized = FormatValue(value, param, inMemory ? frame : heldFrame, options,
                                       inMemory ? place.address : HeldValueMemory::kAddress, &slots);
        places.Consumed(slots);
        if (!sized && places.Sequential()) placesLost = true;
      }
    }
    if (options & DBG_OPT_NO_TEMPLATE_ARGS) EmptyFirstTemplateList(param);
    out.Append(param.c_str());
    out.Append(value.c_str());
    out.AppendChar(*end);
    p = end + 1;
    if (*end == ')') break;
  }
  out.Append(p);
}

unsigned DecimalAfterAt(const char* name, bool* found) {
  const char* at = std::strrchr(name, '@');
  *found = at && std::isdigit(static_cast<unsigned char>(at[1]));
  if (!*found) return 0;
  unsigned n = 0;
  for (const char* d = at + 1; std::isdigit(static_cast<unsigned char>(*d)); ++d) n = n * 10 + static_cast<unsigned>(*d - '0');
  return n;
}

}  // namespace

void LocatedParameters::AddInMemory(uint64_t address) {
  ParameterPlace place;
  place.kind = ParameterPlace::Kind::Memory;
  place.address = address;
  Add(place);
}

void LocatedParameters::AddHeldValue(const void* bytes, size_t size) {
  ParameterPlace place;
  place.kind = ParameterPlace::Kind::Held;
  std::memcpy(place.held, bytes, size < sizeof place.held ? size : sizeof place.held);
  Add(place);
}

ParameterPlace LocatedParameters::Next() { return m_next < m_count ? m_places[m_next++] : ParameterPlace{}; }

void LocatedParameters::Add(const ParameterPlace& place) {
  if (m_count < kMaxParameters) m_places[m_count++] = place;
}

void AppendRawList(TextBuffer& out, const FrameMemory& frame, uint64_t first, unsigned count, const char* open,
                   const char* close) {
  out.Append(open);
  unsigned read = 0;
  for (; read < count; ++read) {
    bool ok;
    const uint64_t slot = ReadWord(frame, first + static_cast<uint64_t>(read) * frame.slotSize, &ok);
    if (!ok) break;
    AppendPointer(out, frame, slot);
    out.AppendChar(',');
  }
  if (read > 0) out.Resize(out.size() - 1);
  out.Append(close);
}

void FormatUnknownFrame(TextBuffer& out, uint64_t address, uint32_t options, const FrameMemory& frame) {
  AppendPointer(out, frame, address);
  if (options & DBG_OPT_FUNC_VALUES)
    AppendRawList(out, frame, frame.firstSlot, 5, "(", ",...)");
  else
    out.Append("()");
}

void FormatUntypedFrame(TextBuffer& out, const char* name, uint64_t address, const FrameMemory& frame) {
  if (name && name[0])
    out.Append(name);
  else
    AppendPointer(out, frame, address);
  out.Append("(?)");
}

void FormatSignature(TextBuffer& out, const char* undecorated, uint32_t options, const FrameMemory& frame,
                     ParameterPlaces& places) {
  Work text;
  text.Append(undecorated);
  if (!std::strchr(text.c_str(), '(')) {
    // A C name: a stdcall one tells the size of its parameters after the at sign.
    out.Append(text.c_str());
    bool sized;
    const unsigned bytes = DecimalAfterAt(text.c_str(), &sized);
    if (text[0] == '_' && sized)
      AppendRawList(out, frame, frame.firstSlot, bytes / 4, "(", ")");
    else if (text[0] != '_')
      AppendRawList(out, frame, frame.firstSlot, 5, "(", ")");
    return;
  }

  const bool member = Contains(text.c_str(), ": ");
  if (member) {
    DropPrefix(text, "public: ") || DropPrefix(text, "protected: ") || DropPrefix(text, "private: ");
    DropPrefix(text, "virtual ");
  }
  bool stackThis = false, fastcall = false;
  if (!DropPrefix(text, "__thiscall ")) {
    if (DropPrefix(text, "__stdcall ") || DropPrefix(text, "__cdecl "))
      stackThis = member;
    else
      fastcall = DropPrefix(text, "__fastcall ");
  }
  if (stackThis) {
    // `this` is the first stack parameter; a member without parameters then has just it.
    ReplaceAll(text, "(void)", "()");
    const size_t open = static_cast<size_t>(std::strchr(text.c_str(), '(') - text.c_str());
    Work inserted;
    inserted.Append(text.c_str(), open + 1);
    inserted.Append(text[open + 1] == ')' ? "this*" : "this*,");
    inserted.Append(text.c_str() + open + 1);
    Assign(text, inserted.c_str(), inserted.size());
  }
  const unsigned registerParameters = fastcall && places.Sequential() ? (member ? 1 : 2) : 0;

  if (options & DBG_OPT_NO_TEMPLATE_ARGS) {
    const char* less = std::strchr(text.c_str(), '<');
    if (less && less < std::strchr(text.c_str(), '(')) EmptyTemplateListAt(text, static_cast<size_t>(less - text.c_str()));
  }
  ReplaceAll(text, " &", "&");
  ReplaceAll(text, " *", "*");
  ReplaceAll(text, "class ", "");
  ReplaceAll(text, "struct ", "");
  ReplaceAll(text, "std::", "");
  ReplaceAll(text, "unsigned char", "BYTE");
  ReplaceAll(text, "unsigned short", "WORD");
  ReplaceAll(text, "unsigned long", "DWORD");
  ReplaceAll(text, "unsigned __int64", "DWORD64");

  Work result;
  if (Contains(text.c_str(), "(void)") || Contains(text.c_str(), "()"))
    result.Append(text.c_str());
  else
    AppendParameters(result, text.c_str(), options, frame, places, registerParameters);
  if (result.EndsWith(" ")) result.Resize(result.size() - 1);
  out.Append(result.c_str());
}

void FormatFunctionName(TextBuffer& out, const char* name) {
  Work text;
  text.Append(name);
  EmptyFirstTemplateList(text);
  out.Append(text.c_str());
}

const char* BasicTypeName(uint32_t basicType, uint64_t size) {
  // dbghelp's BasicType values.
  enum { btVoid = 1, btChar = 2, btWChar = 3, btInt = 6, btUInt = 7, btFloat = 8, btBool = 10, btLong = 13, btULong = 14 };
  switch (basicType) {
    case btVoid: return "void";
    case btChar: return "char";
    case btWChar: return "wchar_t";
    case btBool: return "bool";
    case btLong: return "long";
    case btULong: return "unsigned long";
    case btFloat: return size == 4 ? "float" : size == 8 ? "double" : "long double";
    case btInt:
      return size == 1 ? "char" : size == 2 ? "short" : size == 8 ? "__int64" : "int";
    case btUInt:
      return size == 1 ? "unsigned char" : size == 2 ? "unsigned short" : size == 8 ? "unsigned __int64" : "unsigned int";
    default: return nullptr;
  }
}

}  // namespace __dbg_util
