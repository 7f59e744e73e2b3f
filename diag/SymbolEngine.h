#pragma once
// Call stacks as text: the symbol engine's start-up, a thread's stack written to the report
// file, the description of one frame, the source location of an address, and the name of
// the function that called into the library.

#include <windows.h>

#include <cstdint>

#include "diag/FrameRegisters.h"
#include "diag/TextBuffer.h"

namespace __dbg_util {

struct dbg_process_values;

// Starts the engine for the process and sets the skip counts; returns the marker mutex
// when this call started it. `ownAddress` lies in the module that holds the library.
HANDLE start_symbol_engine(dbg_process_values& values, const void* ownAddress);
void stop_symbol_engine();
// Adds the modules loaded since start-up to the engine.
void refresh_symbol_modules();
// Reads the symbols and lines of the module that holds `ownAddress` (deferred until then);
// naming a caller waits for it.
void load_own_symbols(const void* ownAddress);

// Writes the stack of `thread` from `context` to the report file, skipping `skip` frames
// (none when negative) and the library's own frames at its top.
void write_stack(HANDLE thread, const CONTEXT& context, int skip);

// The first function outside the library on the calling thread's stack, under `options`.
void describe_caller(TextBuffer& out, uint32_t options, int extraSkip);

// One frame: program counter, frame pointer, stack pointer, the registers the walk knows
// there (for parameters held in registers). `lookup` is where the frame's
// function and line are looked up: the program counter itself in the frame that failed,
// one byte before it in a caller's frame, whose program counter is a return address that
// may already belong to the next line or function.
void describe_frame(TextBuffer& out, uint64_t pc, uint64_t lookup, uint64_t framePointer, uint64_t stackPointer,
                    const FrameRegisters& registers, uint32_t options);

// "file(line)", or the module name or "?" followed by "(?)".
void source_location(TextBuffer& out, uint64_t address);

}  // namespace __dbg_util
