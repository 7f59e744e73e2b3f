#include "diag/SymbolEngine.h"

#include <dbghelp.h>
#include <tlhelp32.h>

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "diag/CoffSymbols.h"
#include "diag/DbgContext.h"
#include "diag/FrameRegisters.h"
#include "diag/Options.h"
#include "diag/Signature.h"

namespace __dbg_util {
namespace {

#ifdef _WIN64
constexpr DWORD kMachine = IMAGE_FILE_MACHINE_AMD64;
constexpr unsigned kSlotSize = 8;
// Past the saved frame pointer and the return address: the home slots of the parameters.
constexpr uint64_t kFirstSlotOffset = 16;
constexpr ULONG kFrameRegister = 334;  // CV_AMD64_RBP
constexpr ULONG kStackRegister = 335;  // CV_AMD64_RSP
#else
constexpr DWORD kMachine = IMAGE_FILE_MACHINE_I386;
constexpr unsigned kSlotSize = 4;
constexpr uint64_t kFirstSlotOffset = 8;
constexpr ULONG kFrameRegister = 22;  // CV_REG_EBP
constexpr ULONG kStackRegister = 21;  // CV_REG_ESP
#endif

// Symbol kinds and one type query of dbghelp that mingw-w64's headers leave out.
enum SymbolTag : DWORD {
  kTagUdt = 11,
  kTagEnum = 12,
  kTagFunctionType = 13,
  kTagPointerType = 14,
  kTagBaseType = 16,
  kTagTypedef = 17,
};
constexpr auto kTypeIsReference = static_cast<IMAGEHLP_SYMBOL_TYPE_INFO>(31);  // TI_GET_IS_REFERENCE

constexpr size_t kNameCapacity = 2000;
constexpr DWORD kSignatureFlags = 0x450C;  // no returns, allocation model, throw signatures, UDT return model, special names
constexpr int kMaxFrames = 512;

// The system directory, ending in its separator; read at start-up.
char g_systemDirectory[MAX_PATH];

// Set once the program's own symbols have been read (load_own_symbols): the engine is not
// for two threads at once, and naming a caller meanwhile would find them half read.
HANDLE g_ownSymbolsRead = nullptr;

class ProcessMemory final : public MemoryReader {
 public:
  bool Read(uint64_t address, void* out, size_t size) const override {
    SIZE_T read = 0;
    return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(address)), out, size,
                             &read) &&
           read == size;
  }
};

struct SymbolRecord {
  SymbolRecord() {
    std::memset(storage, 0, sizeof storage);
    info()->SizeOfStruct = sizeof(SYMBOL_INFO);
    info()->MaxNameLen = kNameCapacity;
  }
  SYMBOL_INFO* info() { return reinterpret_cast<SYMBOL_INFO*>(storage); }
  alignas(SYMBOL_INFO) char storage[sizeof(SYMBOL_INFO) + kNameCapacity + 1];
};

// Where a walk ends. On x86 a zero frame pointer marks the outermost frame; x64 code keeps
// no frame pointer (system code may hold anything in RBP), so there the walk ends where no
// return address is left.
bool EndOfStack(const STACKFRAME64& frame) {
#ifdef _WIN64
  return frame.AddrPC.Offset == 0;
#else
  return frame.AddrFrame.Offset == 0;
#endif
}

STACKFRAME64 FrameFromContext(const CONTEXT& c) {
  STACKFRAME64 frame{};
#ifdef _WIN64
  frame.AddrPC.Offset = c.Rip;
  frame.AddrFrame.Offset = c.Rbp;
  frame.AddrStack.Offset = c.Rsp;
#else
  frame.AddrPC.Offset = c.Eip;
  frame.AddrFrame.Offset = c.Ebp;
  frame.AddrStack.Offset = c.Esp;
#endif
  frame.AddrPC.Mode = frame.AddrFrame.Mode = frame.AddrStack.Mode = AddrModeFlat;
  return frame;
}

// Walks a stack frame by frame.
class StackWalker {
 public:
  StackWalker(HANDLE thread, const CONTEXT& context) : m_thread(thread), m_context(context), m_frame(FrameFromContext(context)) {}
  bool Next() {
    return StackWalk64(kMachine, GetCurrentProcess(), m_thread, &m_frame, &m_context, nullptr, SymFunctionTableAccess64,
                       SymGetModuleBase64, nullptr) != FALSE;
  }
  const STACKFRAME64& frame() const { return m_frame; }
  // The registers of the frame just walked to; `innermost` for the walk's first frame.
  FrameRegisters Registers(bool innermost) const {
#ifdef _WIN64
    const uint64_t pc = m_context.Rip;
#else
    const uint64_t pc = m_context.Eip;
#endif
    // The walker keeps its context at the frame only where it unwinds it there.
    if (pc != m_frame.AddrPC.Offset) return FrameRegisters{};
    return FrameRegisters{&m_context, innermost};
  }

 private:
  HANDLE m_thread;
  CONTEXT m_context;
  STACKFRAME64 m_frame;
};

void Undecorate(TextBuffer& out, const char* name, DWORD flags) {
  char text[kNameCapacity];
  PriorityBoost boost;
  if (!UnDecorateSymbolName(name, text, sizeof text, flags)) {
    Sleep(0);
    if (!UnDecorateSymbolName(name, text, sizeof text, flags)) return;
  }
  text[sizeof text - 1] = '\0';
  out.Append(text);
}

void AppendWide(TextBuffer& out, const WCHAR* text) {
  char ansi[512];
  const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi, nullptr, nullptr);
  ansi[sizeof ansi - 1] = '\0';
  if (n > 0) out.Append(ansi);
}

// A type as an undecorated signature spells it.
void AppendTypeName(TextBuffer& out, DWORD64 base, DWORD type, int depth) {
  HANDLE process = GetCurrentProcess();
  DWORD tag = 0;
  if (depth > 16 || !SymGetTypeInfo(process, base, type, TI_GET_SYMTAG, &tag)) {
    out.Append("?");
    return;
  }
  DWORD inner = 0;
  switch (tag) {
    case kTagBaseType: {
      DWORD basic = 0;
      ULONG64 length = 0;
      SymGetTypeInfo(process, base, type, TI_GET_BASETYPE, &basic);
      SymGetTypeInfo(process, base, type, TI_GET_LENGTH, &length);
      const char* name = BasicTypeName(basic, length);
      out.Append(name ? name : "?");
      return;
    }
    case kTagPointerType: {
      SymGetTypeInfo(process, base, type, TI_GET_TYPE, &inner);
      AppendTypeName(out, base, inner, depth + 1);
      BOOL reference = FALSE;
      SymGetTypeInfo(process, base, type, kTypeIsReference, &reference);
      out.Append(reference ? " &" : " *");
      return;
    }
    case kTagTypedef:
      SymGetTypeInfo(process, base, type, TI_GET_TYPE, &inner);
      AppendTypeName(out, base, inner, depth + 1);
      return;
    case kTagUdt:
    case kTagEnum: {
      WCHAR* name = nullptr;
      if (tag == kTagEnum) out.Append("enum ");
      if (SymGetTypeInfo(process, base, type, TI_GET_SYMNAME, &name) && name) {
        AppendWide(out, name);
        LocalFree(name);
      } else {
        out.Append("?");
      }
      return;
    }
    case kTagFunctionType:
      out.Append("function");
      return;
    default:
      out.Append("?");
  }
}

struct ParameterCollector {
  TextBuffer& list;
  LocatedParameters& places;
  uint64_t framePointer, stackPointer;
  const FrameRegisters& registers;
  unsigned count;
  bool member;
};

// The value of a register of the frame as a number (an address).
bool ReadAddressRegister(const FrameRegisters& registers, uint32_t cvRegister, uint64_t* value) {
  uint8_t bytes[16];
  size_t size = 0;
  if (!ReadFrameRegister(registers, cvRegister, bytes, &size) || size > sizeof *value) return false;
  *value = 0;
  std::memcpy(value, bytes, size);
  return true;
}

BOOL CALLBACK CollectParameter(PSYMBOL_INFO symbol, ULONG, PVOID context) {
  ParameterCollector& c = *static_cast<ParameterCollector*>(context);
  if (!(symbol->Flags & SYMFLAG_PARAMETER)) return TRUE;
  if (c.count == 0 && !c.member && std::strcmp(symbol->Name, "this") == 0) {
    // A member function: `this` is not listed, as for thiscall.
    c.member = true;
    return TRUE;
  }
  if (c.count++ > 0) c.list.AppendChar(',');
  AppendTypeName(c.list, symbol->ModBase, symbol->TypeIndex, 0);
  const int64_t offset = static_cast<int64_t>(symbol->Address);
  const bool relative = (symbol->Flags & SYMFLAG_REGREL) != 0;
  uint8_t held[16];
  size_t heldSize = 0;
  uint64_t base = 0;
  if (symbol->Flags & SYMFLAG_REGISTER) {
    // Where the engine cannot place it, it gives an invalid register number: unknown.
    if (ReadFrameRegister(c.registers, symbol->Register, held, &heldSize))
      c.places.AddHeldValue(held, heldSize);
    else
      c.places.AddUnknown();
  } else if ((symbol->Flags & SYMFLAG_FRAMEREL) || (relative && symbol->Register == kFrameRegister)) {
    c.places.AddInMemory(c.framePointer + offset);
  } else if (relative && symbol->Register == kStackRegister) {
    c.places.AddInMemory(c.stackPointer + offset);
  } else if (relative && ReadAddressRegister(c.registers, symbol->Register, &base)) {
    c.places.AddInMemory(base + offset);
  } else {
    c.places.AddUnknown();
  }
  return TRUE;
}

// True when the symbol engine knows the function's type, and with it whether it has
// parameters: a function of the program's own code, not an export or a bare name of a
// module without debug information.
bool HasFunctionType(const SYMBOL_INFO& symbol) {
  DWORD tag = 0;
  return symbol.TypeIndex != 0 && SymGetTypeInfo(GetCurrentProcess(), symbol.ModBase, symbol.TypeIndex, TI_GET_SYMTAG, &tag) &&
         tag == kTagFunctionType;
}

#ifdef _WIN64
// Whether `start` begins the function that holds `pc`, as the module's unwind table tells.
// An export name is the nearest one below the address, which may belong to another,
// unexported function; the unwind table knows every function that is not a leaf.
bool UnwindTableConfirmsStart(uint64_t pc, uint64_t start) {
  DWORD64 imageBase = 0;
  const RUNTIME_FUNCTION* function = RtlLookupFunctionEntry(pc, &imageBase, nullptr);
  // A function's unwind data may continue that of the part before it (chained entries).
  for (int depth = 0; function && depth < 32; ++depth) {
    if (imageBase + function->BeginAddress == start) return true;
    const BYTE* info = reinterpret_cast<const BYTE*>(imageBase + function->UnwindData);
    constexpr BYTE kChained = 0x4;  // UNW_FLAG_CHAININFO
    if (!((info[0] >> 3) & kChained)) return false;
    const unsigned codes = (info[2] + 1u) & ~1u;  // unwind codes, padded to an even count
    function = reinterpret_cast<const RUNTIME_FUNCTION*>(info + 4 + codes * 2);
  }
  return false;
}
#endif

// The program's module files, mapped for their COFF symbols when a report first needs them
// and kept until the process ends. One report at a time uses them.
struct MappedModule {
  uint64_t base;
  const uint8_t* view;  // none when the file could not be mapped
  size_t size;
};
MappedModule g_mappedModules[32];
int g_mappedCount = 0;

const MappedModule* MapModuleFile(uint64_t base) {
  for (int i = 0; i < g_mappedCount; ++i)
    if (g_mappedModules[i].base == base) return &g_mappedModules[i];
  if (g_mappedCount == static_cast<int>(sizeof g_mappedModules / sizeof g_mappedModules[0])) return nullptr;
  MappedModule& m = g_mappedModules[g_mappedCount++];
  m = MappedModule{base, nullptr, 0};
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(base)), path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return &m;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return &m;
  LARGE_INTEGER size{};
  HANDLE mapping = GetFileSizeEx(file, &size) ? CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr) : nullptr;
  if (mapping) {
    m.view = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    m.size = m.view ? static_cast<size_t>(size.QuadPart) : 0;
    CloseHandle(mapping);
  }
  CloseHandle(file);
  return &m;
}

constexpr int kNoLinkerName = -2;  // the module keeps no COFF symbol for the function
constexpr int kNotMangled = -1;    // a C name, which tells nothing of the parameters

// How many parameters the function starting at `address` of the module at `base` has, from
// the mangled name the linker kept for it; or kNoLinkerName, kNotMangled.
int DeclaredParameterCount(uint64_t base, uint64_t address) {
  const MappedModule* module = MapModuleFile(base);
  if (!module || !module->view || address < base || address - base > 0xFFFFFFFFu) return kNoLinkerName;
  FixedText<kNameCapacity> name;
  if (!CoffFunctionNameAt(module->view, module->size, static_cast<uint32_t>(address - base), name)) return kNoLinkerName;
  const char* mangled = name.c_str();
#ifndef _WIN64
  // The 32-bit build puts an underscore before every name.
  if (std::strncmp(mangled, "__Z", 3) == 0) ++mangled;
#endif
  if (std::strncmp(mangled, "_Z", 2) != 0) return kNotMangled;
  int status = -1;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  const int count = status == 0 && demangled ? DemangledParameterCount(demangled) : -1;
  std::free(demangled);
  return count >= 0 ? count : kNoLinkerName;
}

// The undecorated signature of a function named without decoration (as debug information
// names it), built from the parameters the symbol engine lists for the frame. False when
// what it lists cannot be trusted to be all of them: the linker's mangled name declares
// others (the engine leaves out unnamed parameters), or it lists none and neither that name
// nor the function's type confirms that there are none. "(void)" would claim what is not
// known.
bool ComposeSignature(TextBuffer& out, LocatedParameters& places, const SYMBOL_INFO& symbol, uint64_t pc,
                      uint64_t framePointer, uint64_t stackPointer, const FrameRegisters& registers) {
  const char* name = symbol.Name;
  HANDLE process = GetCurrentProcess();
  IMAGEHLP_STACK_FRAME frame{};
  frame.InstructionOffset = pc;
  frame.FrameOffset = framePointer;
  frame.StackOffset = stackPointer;
  // Fails harmlessly when the context is already the frame's.
  SymSetContext(process, &frame, nullptr);
  FixedText<kNameCapacity> list;
  ParameterCollector collector{list, places, framePointer, stackPointer, registers, 0, false};
  SymEnumSymbols(process, 0, nullptr, CollectParameter, &collector);
  const int declared = DeclaredParameterCount(symbol.ModBase, symbol.Address);
  if (declared >= 0 && static_cast<unsigned>(declared) != collector.count) return false;
  if (collector.count == 0 && declared != 0) {
    if (declared == kNoLinkerName) return false;
    // A C function, whose parameters all have names: its type tells.
    DWORD children = 0;
    if (!SymGetTypeInfo(process, symbol.ModBase, symbol.TypeIndex, TI_GET_CHILDRENCOUNT, &children)) return false;
    // A member function's type counts its `this`.
    if (children > (collector.member ? 1u : 0u)) return false;
  }
  out.Append(collector.member ? "public: __thiscall " : "__cdecl ");
  out.Append(name);
  out.AppendChar('(');
  out.Append(collector.count ? list.c_str() : "void");
  out.AppendChar(')');
  return true;
}

void AppendModuleName(TextBuffer& out, uint64_t address, const char* fallback) {
  IMAGEHLP_MODULE64 module{};
  module.SizeOfStruct = sizeof module;
  if (SymGetModuleInfo64(GetCurrentProcess(), address, &module))
    out.Append(module.ModuleName);
  else
    out.Append(fallback);
}

void AppendOffset(TextBuffer& out, uint64_t pc, SYMBOL_INFO* symbol, uint32_t options, const char* description) {
  uint64_t start = symbol->Address;
  if (pc < start) {
    // The symbol found lies above the address: look the function up by its name instead.
    FixedText<kNameCapacity + 64> qualified;
    AppendModuleName(qualified, pc, "");
    qualified.AppendChar('!');
    qualified.Append(description, std::strcspn(description, "("));
    SymbolRecord byName;
    if (!SymFromName(GetCurrentProcess(), qualified.c_str(), byName.info())) return;
    start = byName.info()->Address;
    if (pc < start) return;
  }
  const uint64_t offset = pc - start;
  if (options & DBG_OPT_HEX_OFFSET)
    out.Format(" + 0x%X bytes", static_cast<unsigned>(offset));
  else
    out.Format(" + %d bytes", static_cast<int>(offset));
}

bool IsLibraryFrame(uint64_t address) {
  SymbolRecord record;
  DWORD64 displacement = 0;
  return SymFromAddr(GetCurrentProcess(), address, &displacement, record.info()) &&
         std::strstr(record.info()->Name, "__dbg_util::") != nullptr;
}

// Where one stack's frame lines are gathered before they are written, so that the
// descriptions can start in one column. One report at a time uses it.
struct StackLines {
  static constexpr size_t kArena = 512 * 1024;
  char arena[kArena];
  size_t used;
  struct Line {
    size_t location, locationLength, description, descriptionLength;
  } lines[kMaxFrames];
  int count;
};
StackLines g_stackLines;

size_t Store(StackLines& s, const TextBuffer& text) {
  const size_t at = s.used;
  const size_t n = text.size() < StackLines::kArena - s.used ? text.size() : StackLines::kArena - s.used;
  std::memcpy(s.arena + at, text.c_str(), n);
  s.used += n;
  return at;
}

BOOL CALLBACK CollectModuleDirectory(PCSTR, DWORD64 base, ULONG, PVOID context) {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(base)), path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return TRUE;
  size_t cut = 0;
  for (size_t i = 0; i < n; ++i)
    if (path[i] == '\\' || path[i] == '/') cut = i + 1;
  static_cast<std::set<std::string>*>(context)->insert(std::string(path, cut));
  return TRUE;
}

// Another copy of the library started the engine: add this copy's own module to it.
void LoadOwnModule(const void* ownAddress) {
  LoadLibraryA("psapi.dll");
  HMODULE kernel = LoadLibraryA("kernel32.dll");
  if (!kernel) return;
  using Snapshot = HANDLE(WINAPI*)(DWORD, DWORD);
  using ModuleWalk = BOOL(WINAPI*)(HANDLE, MODULEENTRY32*);
  auto snapshot = reinterpret_cast<Snapshot>(reinterpret_cast<void*>(GetProcAddress(kernel, "CreateToolhelp32Snapshot")));
  auto first = reinterpret_cast<ModuleWalk>(reinterpret_cast<void*>(GetProcAddress(kernel, "Module32First")));
  auto next = reinterpret_cast<ModuleWalk>(reinterpret_cast<void*>(GetProcAddress(kernel, "Module32Next")));
  HANDLE modules = snapshot && first && next ? snapshot(TH32CS_SNAPMODULE, 0) : INVALID_HANDLE_VALUE;
  if (modules != INVALID_HANDLE_VALUE) {
    MODULEENTRY32 entry{};
    entry.dwSize = sizeof entry;
    const BYTE* own = static_cast<const BYTE*>(ownAddress);
    for (BOOL more = first(modules, &entry); more; more = next(modules, &entry)) {
      if (own >= entry.modBaseAddr && own < entry.modBaseAddr + entry.modBaseSize) {
        SymLoadModule64(GetCurrentProcess(), nullptr, entry.szExePath, entry.szModule,
                        reinterpret_cast<DWORD64>(entry.modBaseAddr), entry.modBaseSize);
        break;
      }
    }
    CloseHandle(modules);
  }
  FreeLibrary(kernel);
}

}  // namespace

HANDLE start_symbol_engine(dbg_process_values& values, const void* ownAddress) {
  HANDLE process = GetCurrentProcess();
  g_ownSymbolsRead = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const UINT systemLength = GetSystemDirectoryA(g_systemDirectory, MAX_PATH - 1);
  if (systemLength == 0 || systemLength >= MAX_PATH - 1)
    g_systemDirectory[0] = '\0';
  else if (g_systemDirectory[systemLength - 1] != '\\')
    std::strcat(g_systemDirectory, "\\");
  SymSetOptions(SYMOPT_DEFERRED_LOADS | SYMOPT_LOAD_LINES);
  std::string searchPath = ".";
  char exe[MAX_PATH];
  const DWORD exeLength = GetModuleFileNameA(nullptr, exe, MAX_PATH);
  if (exeLength != 0 && exeLength < MAX_PATH) {
    size_t cut = 0;
    for (size_t i = 0; i < exeLength; ++i)
      if (exe[i] == '\\' || exe[i] == '/') cut = i + 1;
    searchPath.assign(exe, cut);
  }
  char mutexName[64];
  std::snprintf(mutexName, sizeof mutexName, "z__dbg_util__mutex_%05u", static_cast<unsigned>(GetCurrentProcessId()));
  HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName);
  if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    LoadOwnModule(ownAddress);
    values.context_skip_count = 1;
    values.caller_skip_count = 2;
    return nullptr;
  }
  for (const char* variable : {"_NT_SYMBOL_PATH", "_NT_ALTERNATE_SYMBOL_PATH", "SYSTEMROOT"}) {
    char value[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA(variable, value, MAX_PATH);
    if (n > 0 && n < MAX_PATH && !std::strstr(value, "symsrv*")) searchPath.append(";").append(value);
  }
  std::set<std::string> directories;
  EnumerateLoadedModules64(process, CollectModuleDirectory, &directories);
  for (const std::string& directory : directories) searchPath.append(";").append(directory);
  if (!SymInitialize(process, searchPath.c_str(), TRUE)) {
    values.context_skip_count = values.caller_skip_count = -1;
    return mutex;
  }
  // Whatever the undecoration loads or prepares on its first use happens now: at the fault
  // the loader's search for a DLL may be held by a stopped thread.
  char warmed[64];
  UnDecorateSymbolName("?Warm@@YAXXZ", warmed, sizeof warmed, kSignatureFlags);
  values.context_skip_count = 1;
  values.caller_skip_count = 2;
  return mutex;
}

void stop_symbol_engine() {
  SymCleanup(GetCurrentProcess());
  if (g_ownSymbolsRead) CloseHandle(g_ownSymbolsRead);
  g_ownSymbolsRead = nullptr;
}

namespace {

bool InSystemDirectory(const char* path) {
  size_t i = 0;
  for (; g_systemDirectory[i]; ++i) {
    char a = path[i], b = g_systemDirectory[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return i > 0;
}

struct ModuleList {
  static constexpr int kMax = 256;
  struct Module {
    char path[MAX_PATH];
    DWORD64 base;
    ULONG size;
  } modules[kMax];
  int count;
};

// Wine names a module by its base name only, and lists its Unix libraries too: the path
// comes from the loader (whose lock the report holds), which knows the Windows modules only.
BOOL CALLBACK ListModule(PCSTR, DWORD64 base, ULONG size, PVOID context) {
  ModuleList& list = *static_cast<ModuleList*>(context);
  if (list.count == ModuleList::kMax) return FALSE;
  ModuleList::Module& m = list.modules[list.count];
  const DWORD n = GetModuleFileNameA(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(base)), m.path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return TRUE;
  m.base = base;
  m.size = size;
  ++list.count;
  return TRUE;
}

}  // namespace

void refresh_symbol_modules() {
  HANDLE process = GetCurrentProcess();
  // The modules loaded since start-up (the filters, the platform's media DLLs) are added one
  // by one: Wine's SymRefreshModuleList renews only its list of Unix libraries.
  static ModuleList list;
  list.count = 0;
  EnumerateLoadedModules64(process, ListModule, &list);
  // The system's modules get their exported names only: reading their debug information
  // (which Wine's DLLs carry) can take longer than the report may, and their functions'
  // parameters are not the program's to show. The program's own modules keep theirs.
  const DWORD options = SymGetOptions();
  for (int i = 0; i < list.count; ++i) {
    const ModuleList::Module& m = list.modules[i];
    if (!InSystemDirectory(m.path)) {
      if (SymGetModuleBase64(process, m.base) != m.base)
        SymLoadModuleEx(process, nullptr, m.path, nullptr, m.base, m.size, nullptr, 0);
      continue;
    }
    IMAGEHLP_MODULE64 module{};
    module.SizeOfStruct = sizeof module;
    const bool known = SymGetModuleInfo64(process, m.base, &module) && module.BaseOfImage == m.base;
    if (known && module.SymType != SymDeferred) continue;
    if (known) SymUnloadModule64(process, m.base);
    SymSetOptions((options | SYMOPT_PUBLICS_ONLY) & ~SYMOPT_DEFERRED_LOADS);
    SymLoadModuleEx(process, nullptr, m.path, nullptr, m.base, m.size, nullptr, 0);
    SymSetOptions(options);
  }
}

void load_own_symbols(const void* ownAddress) {
  const uint64_t address = reinterpret_cast<uintptr_t>(ownAddress);
  SymbolRecord record;
  DWORD64 displacement = 0;
  SymFromAddr(GetCurrentProcess(), address, &displacement, record.info());
  IMAGEHLP_LINE64 line{};
  line.SizeOfStruct = sizeof line;
  DWORD lineDisplacement = 0;
  SymGetLineFromAddr64(GetCurrentProcess(), address, &lineDisplacement, &line);
  if (g_ownSymbolsRead) SetEvent(g_ownSymbolsRead);
}

void source_location(TextBuffer& out, uint64_t address) {
  IMAGEHLP_LINE64 line{};
  line.SizeOfStruct = sizeof line;
  DWORD displacement = 0;
  if (SymGetLineFromAddr64(GetCurrentProcess(), address, &displacement, &line) && line.FileName) {
    out.Append(line.FileName);
    out.Format("(%d)", static_cast<int>(line.LineNumber));
    return;
  }
  AppendModuleName(out, address, "?");
  out.Append("(?)");
}

void describe_frame(TextBuffer& out, uint64_t pc, uint64_t lookup, uint64_t framePointer, uint64_t stackPointer,
                    const FrameRegisters& registers, uint32_t options) {
  ProcessMemory memory;
  const FrameMemory frame{memory, kSlotSize, framePointer + kFirstSlotOffset};
  SymbolRecord record;
  SYMBOL_INFO* symbol = record.info();
  DWORD64 displacement = 0;
  if (!SymFromAddr(GetCurrentProcess(), lookup, &displacement, symbol) || symbol->Name[0] == '\0') {
#ifdef _WIN64
    FormatUntypedFrame(out, nullptr, pc, frame);
#else
    FormatUnknownFrame(out, pc, options, frame);
#endif
    return;
  }
  symbol->Name[kNameCapacity] = '\0';
  const size_t start = out.size();
  const bool decorated = symbol->Name[0] == '?';
  if (options & DBG_OPT_RAW_SYMBOL) {
    out.Append(symbol->Name);
  } else if (options & (DBG_OPT_FUNC_TYPES | DBG_OPT_FUNC_VALUES)) {
    FixedText<kNameCapacity + 64> undecorated;
    if (decorated) {
      Undecorate(undecorated, symbol->Name, kSignatureFlags);
      StackSlots slots(frame.firstSlot, kSlotSize);
      FormatSignature(out, undecorated.c_str(), options, frame, slots);
    } else if (LocatedParameters places;
               HasFunctionType(*symbol) &&
               ComposeSignature(undecorated, places, *symbol, lookup, framePointer, stackPointer, registers)) {
      FormatSignature(out, undecorated.c_str(), options, frame, places);
    } else {
#ifdef _WIN64
      const bool confirmed = UnwindTableConfirmsStart(lookup, symbol->Address);
      FormatUntypedFrame(out, confirmed ? symbol->Name : nullptr, pc, frame);
      if (!confirmed) return;
#else
      // A C name: the raw stack slots at the frame pointer are its arguments.
      StackSlots slots(frame.firstSlot, kSlotSize);
      FormatSignature(out, symbol->Name, options, frame, slots);
#endif
    }
  } else {
    FixedText<kNameCapacity + 64> name;
    if (decorated)
      Undecorate(name, symbol->Name, UNDNAME_NAME_ONLY);
    else
      name.Append(symbol->Name);
    FormatFunctionName(out, name.c_str());
  }
  if (options & DBG_OPT_FUNC_OFFSET) AppendOffset(out, pc, symbol, options, out.c_str() + start);
}

void write_stack(HANDLE thread, const CONTEXT& context, int skip) {
  dbg_context* self = first_context();
  if (!self) return;
  const uint32_t printWord = self->values().stack_print_word;
  StackLines& s = g_stackLines;
  s.used = 0;
  s.count = 0;
  size_t widest = 0;
  bool outside = false;
  StackWalker walker(thread, context);
  for (int i = 0; s.count < kMaxFrames; ++i) {
    const bool walked = walker.Next();
    if (i < skip) continue;
    const STACKFRAME64& f = walker.frame();
    if (!walked || EndOfStack(f)) break;
    FixedText<kNameCapacity + 256> description;
    const uint64_t lookup = i > 0 ? f.AddrPC.Offset - 1 : f.AddrPC.Offset;
    describe_frame(description, f.AddrPC.Offset, lookup, f.AddrFrame.Offset, f.AddrStack.Offset,
                   walker.Registers(i == 0), printWord | DBG_OPT_FUNC_NAME);
    if (!outside) {
      if (std::strstr(description.c_str(), "__dbg_util::")) continue;
      outside = true;
    }
    description.Append("\r\n");
    FixedText<kPathCapacity + 64> location;
    if (printWord & DBG_OPT_LOCATION) {
      location.Append("        ");
      source_location(location, lookup);
      location.Append(" : ");
      if (location.size() > widest) widest = location.size();
    }
    StackLines::Line& line = s.lines[s.count++];
    line.locationLength = location.size();
    line.location = Store(s, location);
    line.descriptionLength = description.size();
    line.description = Store(s, description);
    if (s.used >= StackLines::kArena) break;
  }
  PriorityBoost boost;
  static const char kSpaces[] = "                                                                ";
  for (int i = 0; i < s.count; ++i) {
    const StackLines::Line& line = s.lines[i];
    if (printWord & DBG_OPT_LOCATION) {
      self->write_buffered_line(s.arena + line.location, line.locationLength);
      for (size_t pad = widest - line.locationLength; pad > 0;) {
        const size_t n = pad < sizeof kSpaces - 1 ? pad : sizeof kSpaces - 1;
        self->write_buffered_line(kSpaces, n);
        pad -= n;
      }
    }
    self->write_buffered_line(s.arena + line.description, line.descriptionLength);
  }
}

void describe_caller(TextBuffer& out, uint32_t options, int extraSkip) {
  if (g_ownSymbolsRead) WaitForSingleObject(g_ownSymbolsRead, INFINITE);
  dbg_context* self = first_context();
  CONTEXT context{};
  context.ContextFlags = CONTEXT_FULL;
  RtlCaptureContext(&context);
  const int skip = extraSkip + (self ? self->values().context_skip_count : -1);
  StackWalker walker(GetCurrentThread(), context);
  FixedText<kNameCapacity + 256> description;
  for (int i = 0; i < kMaxFrames; ++i) {
    const bool walked = walker.Next();
    const STACKFRAME64& f = walker.frame();
    // The skip counts stand for the library's own frames; a frame outside it is never
    // skipped, however deep the library was entered.
    if (i < skip && walked && IsLibraryFrame(f.AddrPC.Offset - 1)) continue;
    if (!walked || EndOfStack(f)) break;
    description.Clear();
    // Every frame here, the first too, was left by a call.
    describe_frame(description, f.AddrPC.Offset, f.AddrPC.Offset - 1, f.AddrFrame.Offset, f.AddrStack.Offset,
                   walker.Registers(i == 0), options);
    if (!std::strstr(description.c_str(), "__dbg_util::")) break;
  }
  out.Append(description.c_str());
}

}  // namespace __dbg_util
