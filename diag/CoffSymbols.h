#pragma once
// What a function's linker name says about its parameters. Debug information as the symbol
// engine reads it leaves out parameters without a name (an unused `void*` of a thread
// routine, say), so that a function with one looks like one without any; the COFF symbol
// table that mingw-built programs keep (unless stripped) has the compiler's mangled name,
// which lists every parameter. Works on the file's bytes: no Windows needed.

#include <cstddef>
#include <cstdint>

#include "diag/TextBuffer.h"

namespace __dbg_util {

// The name of the function symbol whose address is `rva` (relative to the image base) in the
// PE file `file` of `size` bytes; false when it has no COFF symbol table or no such symbol.
bool CoffFunctionNameAt(const uint8_t* file, size_t size, uint32_t rva, TextBuffer& name);

// The number of parameters a demangled C++ signature declares: "f(int, char*)" 2, "g()" 0,
// "h(void (*)(int)) const [clone .isra.0]" 1; -1 when the text has no parameter list.
int DemangledParameterCount(const char* demangled);

}  // namespace __dbg_util
