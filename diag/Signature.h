#pragma once
// Function descriptions for stack frames: the undecorated signature turned into the text a
// report shows, with each parameter's value read from the stack and formatted by its type.
// Reading goes through a MemoryReader, so that fabricated stacks of either architecture can
// be described anywhere.

#include <cstddef>
#include <cstdint>

#include "diag/TextBuffer.h"

namespace __dbg_util {

class MemoryReader {
 public:
  // False when the memory cannot be read.
  virtual bool Read(uint64_t address, void* out, size_t size) const = 0;

 protected:
  ~MemoryReader() = default;
};

// Where one parameter's value is.
struct ParameterPlace {
  enum class Kind { Unknown, Memory, Held };
  Kind kind = Kind::Unknown;
  uint64_t address = 0;   // Memory: where the value starts
  uint8_t held[16] = {};  // Held: the register that holds it, as it was in the frame
};

// Where the parameters' values are, in the order the signature lists them.
class ParameterPlaces {
 public:
  virtual ParameterPlace Next() = 0;
  // The value just formatted took `slots` stack slots.
  virtual void Consumed(unsigned slots) = 0;
  // True when the parameters follow one another in stack slots (32-bit x86): a fastcall
  // function's first ones are then in registers, and a parameter of unknown size loses the
  // place of every later one.
  virtual bool Sequential() const = 0;

 protected:
  ~ParameterPlaces() = default;
};

// Parameters in consecutive stack slots from `first` (frame pointer + 8 on x86).
class StackSlots final : public ParameterPlaces {
 public:
  StackSlots(uint64_t first, unsigned slotSize) : m_next(first), m_slotSize(slotSize) {}
  ParameterPlace Next() override {
    ParameterPlace place;
    place.kind = ParameterPlace::Kind::Memory;
    place.address = m_next;
    return place;
  }
  void Consumed(unsigned slots) override { m_next += static_cast<uint64_t>(slots) * m_slotSize; }
  bool Sequential() const override { return true; }

 private:
  uint64_t m_next;
  unsigned m_slotSize;
};

// Parameters whose places the symbol engine told, one by one.
class LocatedParameters final : public ParameterPlaces {
 public:
  static constexpr unsigned kMaxParameters = 64;
  void AddInMemory(uint64_t address);
  // A register's contents (at most 16 bytes) as the frame had it.
  void AddHeldValue(const void* bytes, size_t size);
  // In a register whose value in the frame is not known, or nowhere.
  void AddUnknown() { Add(ParameterPlace{}); }
  ParameterPlace Next() override;
  void Consumed(unsigned) override {}
  bool Sequential() const override { return false; }

 private:
  void Add(const ParameterPlace& place);
  ParameterPlace m_places[kMaxParameters]{};
  unsigned m_count = 0;
  unsigned m_next = 0;
};

// The stack of one frame: how to read it, its slot (and pointer) size, its first slot.
struct FrameMemory {
  const MemoryReader& memory;
  unsigned slotSize;  // 4 on x86, 8 on x64
  uint64_t firstSlot;
};

// "(" and up to `count` slots from `first` as "0x%08X," each (a failed read ends the list),
// the last comma replaced by `close`.
void AppendRawList(TextBuffer& out, const FrameMemory& frame, uint64_t first, unsigned count, const char* open,
                   const char* close);

// The text for a frame without a symbol: the address and, with values asked for, five raw
// slots.
void FormatUnknownFrame(TextBuffer& out, uint64_t address, uint32_t options, const FrameMemory& frame);

// A frame of a build that passes parameters in registers (x64) whose parameters the symbol
// engine does not know: its name, or its address without one, and "(?)". Stack words are
// not its arguments there, so none is shown as one.
void FormatUntypedFrame(TextBuffer& out, const char* name, uint64_t address, const FrameMemory& frame);

// Signature mode: `undecorated` as UnDecorateSymbolName gives it (calling convention,
// access, parameter types) turned into the shown text under `options`.
void FormatSignature(TextBuffer& out, const char* undecorated, uint32_t options, const FrameMemory& frame,
                     ParameterPlaces& places);

// Name mode: the name with its first template argument list emptied.
void FormatFunctionName(TextBuffer& out, const char* name);

// The spelling of a basic type in an undecorated signature, from the symbol engine's
// basic-type kind (BasicType in dbghelp) and size; nullptr for an unknown kind.
const char* BasicTypeName(uint32_t basicType, uint64_t size);

}  // namespace __dbg_util
