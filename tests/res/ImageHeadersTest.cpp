// The headers and imports of the built Sondrel.exe and SondrelFilters.dll, read from the files:
// a window program without a console, for this build's processor, that starts on a bare
// Windows with nothing to install (no C++ runtime or other DLL beside it but its own).
#include "app/ModuleDirectory.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

// A PE file read whole, with its headers located; `ok` is false for anything malformed.
class PeFile {
 public:
  explicit PeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    m_bytes.assign(std::istreambuf_iterator<char>(in), {});
    if (m_bytes.size() < sizeof(IMAGE_DOS_HEADER)) return;
    const auto* dos = At<IMAGE_DOS_HEADER>(0);
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    m_nt = At<IMAGE_NT_HEADERS>(dos->e_lfanew);
    if (!m_nt || m_nt->Signature != IMAGE_NT_SIGNATURE) return;
    const size_t sections = dos->e_lfanew + offsetof(IMAGE_NT_HEADERS, OptionalHeader) +
                            m_nt->FileHeader.SizeOfOptionalHeader;
    for (WORD i = 0; i < m_nt->FileHeader.NumberOfSections; ++i) {
      const auto* section = At<IMAGE_SECTION_HEADER>(sections + i * sizeof(IMAGE_SECTION_HEADER));
      if (!section) return;
      m_sections.push_back(*section);
    }
    m_ok = true;
  }

  bool ok() const { return m_ok; }
  const IMAGE_NT_HEADERS& headers() const { return *m_nt; }

  // The DLLs named by the import tables (loaded at start and on first use), in upper case.
  std::set<std::string> ImportedDlls() const {
    std::set<std::string> names;
    AddDllNames<IMAGE_IMPORT_DESCRIPTOR, &IMAGE_IMPORT_DESCRIPTOR::Name>(IMAGE_DIRECTORY_ENTRY_IMPORT, names);
    AddDllNames<IMAGE_DELAYLOAD_DESCRIPTOR, &IMAGE_DELAYLOAD_DESCRIPTOR::DllNameRVA>(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT,
                                                                                    names);
    return names;
  }

 private:
  static constexpr size_t kNone = size_t(-1);

  // Reads a table of descriptors that ends with one whose name is 0.
  template <class Descriptor, DWORD Descriptor::*Name>
  void AddDllNames(int directory, std::set<std::string>& names) const {
    const auto& entry = m_nt->OptionalHeader.DataDirectory[directory];
    for (size_t offset = FileOffset(entry.VirtualAddress); offset != kNone; offset += sizeof(Descriptor)) {
      const auto* descriptor = At<Descriptor>(offset);
      if (!descriptor || descriptor->*Name == 0) break;
      names.insert(Upper(String(descriptor->*Name)));
    }
  }

  template <class T>
  const T* At(size_t offset) const {
    if (offset == kNone || offset > m_bytes.size() || m_bytes.size() - offset < sizeof(T)) return nullptr;
    return reinterpret_cast<const T*>(m_bytes.data() + offset);
  }
  size_t FileOffset(DWORD rva) const {
    if (rva == 0) return kNone;
    for (const auto& s : m_sections) {
      if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData))
        return rva - s.VirtualAddress + s.PointerToRawData;
    }
    return kNone;
  }
  std::string String(DWORD rva) const {
    const size_t offset = FileOffset(rva);
    if (offset == kNone || offset >= m_bytes.size()) return {};
    const char* begin = m_bytes.data() + offset;
    return std::string(begin, strnlen(begin, m_bytes.size() - offset));
  }
  static std::string Upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
  }

  std::vector<char> m_bytes;
  const IMAGE_NT_HEADERS* m_nt = nullptr;
  std::vector<IMAGE_SECTION_HEADER> m_sections;
  bool m_ok = false;
};

// DLLs of Windows itself, present since Windows 7: the ones the program uses. msvcrt.dll is
// the C runtime the system itself uses. Anything else (libstdc++-6.dll, libgcc_s_*.dll,
// libwinpthread-1.dll, a Visual C++ runtime) would have to be installed beside the program;
// a new import of a system DLL is added here after checking that every supported Windows has it.
const std::set<std::string> kSystemDlls = {"ADVAPI32.DLL", "COMCTL32.DLL", "COMDLG32.DLL", "DBGHELP.DLL",
                                           "GDI32.DLL",    "KERNEL32.DLL", "MSVCRT.DLL",   "NTDLL.DLL",
                                           "OLE32.DLL",    "OLEAUT32.DLL", "SHELL32.DLL",  "USER32.DLL",
                                           "VERSION.DLL",  "WINMM.DLL"};

TEST(ImageHeaders, ProgramAndFiltersAreWindowsImagesNeedingOnlySystemDlls) {
  const struct {
    const char* file;
    bool dll;
  } files[] = {{"Sondrel.exe", false}, {"SondrelFilters.dll", true}};
  for (const auto& f : files) {
    SCOPED_TRACE(f.file);
    PeFile pe(GetModuleDirectory() + "\\" + f.file);
    ASSERT_TRUE(pe.ok());
#ifdef _WIN64
    EXPECT_EQ(pe.headers().FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(pe.headers().OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
#else
    EXPECT_EQ(pe.headers().FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(pe.headers().OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
#endif
    EXPECT_EQ((pe.headers().FileHeader.Characteristics & IMAGE_FILE_DLL) != 0, f.dll);
    // No console window opens with the program (a DLL's subsystem is never used).
    if (!f.dll) {
      EXPECT_EQ(pe.headers().OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    }

    const std::set<std::string> imports = pe.ImportedDlls();
    EXPECT_TRUE(imports.count("KERNEL32.DLL"));  // the table was read at all
    for (const std::string& dll : imports) {
      EXPECT_TRUE(kSystemDlls.count(dll)) << dll << " is not part of Windows";
    }
  }
}

}  // namespace
