// The stub this tree built, read as a file: the MS-DOS header and header area
// that the self-extracting format needs, the PE image behind them unchanged,
// only the system DLLs that cannot be planted beside a download as static
// imports, and its size within the tree's limit. The tree passes the files
// and the limit in the environment:
//   QUORVEL_STUB, QUORVEL_STUB_LINKED   the stub as laid out, and as linked
//   QUORVEL_STUB_MAX_BYTES              the largest the stub may be
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/exe_layout.h"
#include "common/le_bytes.h"
#include "pack/pe_image.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

std::string Setting(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

Bytes ReadStub(const char* variable) {
  std::ifstream in(Setting(variable), std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class BuiltStub : public ::testing::Test {
 protected:
  void SetUp() override {
    relaid = ReadStub("QUORVEL_STUB");
    linked = ReadStub("QUORVEL_STUB_LINKED");
    ASSERT_GT(relaid.size(), 0x600u) << "no stub at QUORVEL_STUB='" << Setting("QUORVEL_STUB") << "'";
    ASSERT_GT(linked.size(), 0x200u) << "no stub at QUORVEL_STUB_LINKED";
  }
  Bytes relaid, linked;
};

TEST_F(BuiltStub, WithinItsSize) {
  const std::string limit = Setting("QUORVEL_STUB_MAX_BYTES");
  ASSERT_FALSE(limit.empty());
  EXPECT_LE(relaid.size(), std::stoul(limit));
}

TEST_F(BuiltStub, DosHeaderFieldsAndHeaderArea) {
  const std::uint8_t* f = relaid.data();
  EXPECT_EQ(f[0], 'M');
  EXPECT_EQ(f[1], 'Z');
  const std::pair<std::size_t, std::uint16_t> words[] = {
      {0x02, 0x010A}, {0x04, 3},  {0x06, 0},      {0x08, 0x20}, {0x0A, 0},
      {0x0C, 0xFFFF}, {0x0E, 0},  {0x10, 0x02CE}, {0x12, 0},    {0x14, 0},
      {0x16, 0x2D},   {0x18, 0x40}, {0x1A, 0},    {0x1C, 1},    {0x1E, 0},
      {0x20, 1},      {0x22, 0}};
  for (auto [offset, value] : words) EXPECT_EQ(ReadLe16(f + offset), value) << "offset " << offset;
  EXPECT_EQ(std::memcmp(f + 0x24, "LHA's SFX ", 10), 0);
  for (std::size_t i = 0x2E; i < 0x3C; ++i) EXPECT_EQ(f[i], 0) << "offset " << i;
  // Zero from the end of the header through the configuration block up to the stub.
  for (std::size_t i = 0x40; i < 0x4D0; ++i) ASSERT_EQ(f[i], 0) << "offset " << i;
}

TEST_F(BuiltStub, SixteenBitProgram) {
  const std::uint8_t* stub = relaid.data() + 0x4D0;
  EXPECT_EQ(stub[0], 0xEB);
  EXPECT_EQ(stub[1], 0x2A);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stub + 2), 42),
            "This program cannot be run in DOS mode.\r\n$");
  const std::uint8_t code[] = {0x0E, 0x1F, 0xBA, 0x02, 0x00, 0xB4, 0x09,
                               0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
  EXPECT_EQ(std::memcmp(stub + 44, code, sizeof code), 0);
  // e_cp and e_cblp describe a 16-bit image that ends right after the program.
  EXPECT_EQ((ReadLe16(&relaid[4]) - 1) * 512 + ReadLe16(&relaid[2]), 0x4D0 + 58);
}

TEST_F(BuiltStub, PeImageBehindTheStubWithTheLinkersSections) {
  const std::uint32_t lfanew = ReadLe32(&relaid[0x3C]);
  EXPECT_GE(lfanew, 0x50Au);
  EXPECT_EQ(lfanew % 8, 0u);
  ASSERT_LT(lfanew + 4, relaid.size());
  EXPECT_EQ(std::memcmp(&relaid[lfanew], "PE\0\0", 4), 0);

  pe_image::PeInfo before, after;
  std::string error;
  ASSERT_TRUE(pe_image::ParsePe(linked, before, error)) << error;
  ASSERT_TRUE(pe_image::ParsePe(relaid, after, error)) << error;
  ASSERT_EQ(before.sections.size(), after.sections.size());
  EXPECT_GE(after.sizeOfHeaders, lfanew + after.headersBytes);
  for (std::size_t i = 0; i < before.sections.size(); ++i) {
    const auto& a = before.sections[i];
    const auto& b = after.sections[i];
    EXPECT_STREQ(a.name, b.name);
    ASSERT_EQ(a.rawSize, b.rawSize) << a.name;
    if (b.rawSize) {
      EXPECT_GE(b.rawOffset, after.sizeOfHeaders) << a.name;
    }
    EXPECT_TRUE(std::equal(linked.begin() + a.rawOffset, linked.begin() + a.rawOffset + a.rawSize,
                           relaid.begin() + b.rawOffset))
        << "section " << a.name << " changed";
  }
  EXPECT_EQ(ReadLe32(&relaid[after.checksumOffset]),
            pe_image::ComputeChecksum(relaid, after.checksumOffset));
}

// The import directory: each DLL (in lower case) with the functions taken
// from it by name; a function taken by ordinal is listed as "#<ordinal>".
using Imports = std::map<std::string, std::set<std::string>>;

Imports ImportsOf(const Bytes& f, const pe_image::PeInfo& info) {
  const std::uint32_t opt = info.peOffset + 24;
  const std::uint32_t dirs = opt + (info.pe32Plus ? 112 : 96);
  const std::uint32_t importRva = ReadLe32(&f[dirs + 8]);
  const std::uint16_t optBytes = ReadLe16(&f[info.peOffset + 4 + 16]);
  auto toFile = [&](std::uint32_t rva) -> std::size_t {
    for (std::size_t i = 0; i < info.sections.size(); ++i) {
      const std::uint8_t* s = &f[opt + optBytes + 40 * i];
      const std::uint32_t va = ReadLe32(s + 12), size = std::max(ReadLe32(s + 8), ReadLe32(s + 16));
      if (rva >= va && rva < va + size) return rva - va + ReadLe32(s + 20);
    }
    ADD_FAILURE() << "rva " << rva << " in no section";
    return 0;
  };
  const std::size_t thunkBytes = info.pe32Plus ? 8 : 4;
  Imports imports;
  for (std::size_t d = toFile(importRva); d && ReadLe32(&f[d + 12]) != 0; d += 20) {
    std::string dll(reinterpret_cast<const char*>(&f[toFile(ReadLe32(&f[d + 12]))]));
    std::transform(dll.begin(), dll.end(), dll.begin(), ::tolower);
    std::set<std::string>& names = imports[dll];
    const std::uint32_t lookup = ReadLe32(&f[d]) ? ReadLe32(&f[d]) : ReadLe32(&f[d + 16]);
    for (std::size_t t = toFile(lookup);; t += thunkBytes) {
      const std::uint64_t thunk = info.pe32Plus ? ReadLe32(&f[t]) | std::uint64_t{ReadLe32(&f[t + 4])} << 32
                                                : ReadLe32(&f[t]);
      if (thunk == 0) break;
      const bool byOrdinal = thunk >> (info.pe32Plus ? 63 : 31);
      if (byOrdinal)
        names.insert("#" + std::to_string(thunk & 0xFFFF));
      else
        names.insert(reinterpret_cast<const char*>(&f[toFile(static_cast<std::uint32_t>(thunk)) + 2]));
    }
  }
  return imports;
}

TEST_F(BuiltStub, ImportsOnlyProtectedSystemDllsAndNoRuntime) {
  pe_image::PeInfo info;
  std::string error;
  ASSERT_TRUE(pe_image::ParsePe(relaid, info, error)) << error;
  // No C runtime among them: the stubs link none.
  const std::set<std::string> allowed = {"kernel32.dll", "user32.dll",  "gdi32.dll",  "advapi32.dll",
                                         "shell32.dll",  "ole32.dll",   "comdlg32.dll"};
  const Imports imports = ImportsOf(relaid, info);
  EXPECT_TRUE(imports.count("kernel32.dll"));
  for (const auto& entry : imports) EXPECT_TRUE(allowed.count(entry.first)) << "imports " << entry.first;
}

// The sections' protections: no code that can be written, and the data that
// the program only reads (the resources; on x86-64 the import and exception
// tables too, which share .rdata as Microsoft's linker lays them out) in no
// writable section. The 32-bit stub keeps its import tables writable, as the
// oldest systems it runs on expect them.
TEST_F(BuiltStub, ReadOnlyDataInNoWritableSectionAndNoWritableCode) {
  pe_image::PeInfo info;
  std::string error;
  ASSERT_TRUE(pe_image::ParsePe(relaid, info, error)) << error;
  const std::uint32_t opt = info.peOffset + 24;
  const std::uint16_t optBytes = ReadLe16(&relaid[info.peOffset + 4 + 16]);
  constexpr std::uint32_t kExecute = 0x20000000, kWrite = 0x80000000;
  auto flagsAt = [&](std::uint32_t rva) -> std::uint32_t {
    for (std::size_t i = 0; i < info.sections.size(); ++i) {
      const std::uint8_t* sec = &relaid[opt + optBytes + 40 * i];
      const std::uint32_t va = ReadLe32(sec + 12);
      if (rva >= va && rva < va + std::max(ReadLe32(sec + 8), ReadLe32(sec + 16))) return ReadLe32(sec + 36);
    }
    ADD_FAILURE() << "rva " << rva << " in no section";
    return 0;
  };
  for (std::size_t i = 0; i < info.sections.size(); ++i) {
    const std::uint32_t flags = ReadLe32(&relaid[opt + optBytes + 40 * i + 36]);
    EXPECT_FALSE((flags & kExecute) && (flags & kWrite)) << info.sections[i].name;
  }
  const std::uint32_t dirs = opt + (info.pe32Plus ? 112 : 96);
  std::vector<int> readOnly = {2};  // resources
  if (info.pe32Plus) readOnly.insert(readOnly.end(), {1, 3, 12});  // imports, exceptions, import addresses
  for (int d : readOnly) {
    const std::uint32_t rva = ReadLe32(&relaid[dirs + 8 * d]);
    ASSERT_NE(rva, 0u) << "directory " << d;
    EXPECT_FALSE(flagsAt(rva) & kWrite) << "directory " << d;
  }
}

// The 64-bit stub's exception directory: the table Windows searches by
// halving to unwind through the stub's functions, so it must hold only
// entries, each a function within the code, in the order of their code, with
// its unwind codes inside the image. (Its data shares sections with others.)
TEST_F(BuiltStub, ExceptionDirectoryIsASortedTableOfTheCode) {
  pe_image::PeInfo info;
  std::string error;
  ASSERT_TRUE(pe_image::ParsePe(relaid, info, error)) << error;
  if (!info.pe32Plus) GTEST_SKIP() << "the 32-bit stub unwinds without tables";
  const std::uint32_t opt = info.peOffset + 24;
  const std::uint16_t optBytes = ReadLe16(&relaid[info.peOffset + 4 + 16]);
  const std::uint32_t tableRva = ReadLe32(&relaid[opt + 112 + 8 * 3]);
  const std::uint32_t tableSize = ReadLe32(&relaid[opt + 112 + 8 * 3 + 4]);
  ASSERT_GT(tableSize, 0u);
  EXPECT_EQ(tableSize % 12, 0u);
  const std::uint32_t imageSize = ReadLe32(&relaid[opt + 56]);
  std::uint32_t codeStart = 0, codeEnd = 0;
  std::size_t table = 0;
  for (std::size_t i = 0; i < info.sections.size(); ++i) {
    const std::uint8_t* s = &relaid[opt + optBytes + 40 * i];
    const std::uint32_t va = ReadLe32(s + 12), size = ReadLe32(s + 8);
    if (ReadLe32(s + 36) & 0x20) codeStart = va, codeEnd = va + size;  // IMAGE_SCN_CNT_CODE
    if (tableRva >= va && tableRva + tableSize <= va + std::max(size, ReadLe32(s + 16)))
      table = tableRva - va + ReadLe32(s + 20);
  }
  ASSERT_NE(table, 0u) << "the table lies in no section";
  std::uint32_t previousEnd = codeStart;
  for (std::uint32_t at = 0; at < tableSize; at += 12) {
    const std::uint32_t begin = ReadLe32(&relaid[table + at]), end = ReadLe32(&relaid[table + at + 4]);
    const std::uint32_t unwind = ReadLe32(&relaid[table + at + 8]);
    EXPECT_GE(begin, previousEnd) << "entry " << at / 12;
    EXPECT_LT(begin, end) << "entry " << at / 12;
    EXPECT_LE(end, codeEnd) << "entry " << at / 12;
    EXPECT_LT(unwind & ~1u, imageSize) << "entry " << at / 12;
    previousEnd = end;
  }
}

// The 32-bit stub is the one for Windows 95 and NT 3.51: every function it
// imports must exist in those systems' DLLs, or the loader refuses the whole
// program before it can say anything. Functions of later systems are looked up
// at run time instead (the shell's folder browser, comctl32's initialisation,
// the DLL search-path calls).
struct OldSystemImport {
  const char* dll;
  const char* function;
  const char* why;  // why NT 3.51 and Windows 95 both have it
};

const OldSystemImport kOldSystemImports[] = {
    {"advapi32.dll", "RegCloseKey", "registry API of NT 3.1, in Windows 95's advapi32"},
    {"advapi32.dll", "RegOpenKeyExA", "registry API of NT 3.1, in Windows 95's advapi32"},
    {"advapi32.dll", "RegQueryValueExA", "registry API of NT 3.1, in Windows 95's advapi32"},
    {"comdlg32.dll", "GetOpenFileNameA", "comdlg32 of NT 3.1 and Windows 95; used without OFN_EXPLORER"},
    {"kernel32.dll", "CloseHandle", "Win32 base API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "CompareStringA", "NLS API of NT 3.1, in Windows 95"},
    {"kernel32.dll", "CreateDirectoryA", "Win32 file API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "CreateFileA", "Win32 file API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "DeleteFileA", "Win32 file API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "ExitProcess", "Win32 base API since NT 3.1 and in Windows 95; the stub's exit"},
    {"kernel32.dll", "ExpandEnvironmentStringsA", "NT 3.1 and Windows 95"},
    {"kernel32.dll", "GetCommandLineA", "Win32 base API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "GetCurrentDirectoryA", "Win32 file API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "GetCurrentProcess", "Win32 process API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "GetCurrentProcessId", "Win32 process API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "GetCurrentThreadId", "Win32 process API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "FindClose", "Win32 file API since NT 3.1 and in Windows 95; the temporary folder's walk"},
    {"kernel32.dll", "FindFirstFileA", "Win32 file API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "FindNextFileA", "Win32 file API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "MultiByteToWideChar", "NLS API since NT 3.1 and in Windows 95; the own name's check"},
    {"kernel32.dll", "QueryPerformanceCounter", "Win32 base API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "RemoveDirectoryA", "Win32 file API since NT 3.1 and in Windows 95"},
    {"user32.dll", "GetWindowTextLengthA", "window API of NT 3.1 and Windows 95"},
    {"kernel32.dll", "GetFileAttributesA", "Win32 file API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "GetExitCodeProcess", "Win32 process API since NT 3.1 and in Windows 95; a temporary run's code"},
    {"kernel32.dll", "GetFullPathNameA", "Win32 file API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "GetLastError", "Win32 base API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "GetModuleFileNameA", "Win32 base API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "GetModuleHandleA", "Win32 base API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "GetProcAddress", "NT 3.1 and Windows 95; finds what later systems added"},
    {"kernel32.dll", "GetShortPathNameA", "came with long names on FAT in NT 3.5; in Windows 95"},
    {"kernel32.dll", "GetSystemDirectoryA", "Win32 base API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "GetSystemTimeAsFileTime", "NT 3.5 and Windows 95"},
    {"kernel32.dll", "GetTickCount", "Win32 base API since NT 3.1 and in Windows 95; the pass's pace"},
    {"kernel32.dll", "GetTempPathA", "Win32 file API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "GetVersion", "NT 3.1 and Windows 95; GetVersionEx came later on NT"},
    {"kernel32.dll", "GetVolumeInformationA", "Win32 file API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "GetWindowsDirectoryA", "Win32 base API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "IsDBCSLeadByte", "NLS API of NT 3.1, in Windows 95"},
    {"kernel32.dll", "GetACP", "NLS API of NT 3.1, in Windows 95"},
    {"kernel32.dll", "LoadLibraryA", "Win32 base API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "LocalAlloc", "Win32 memory API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "LocalFree", "Win32 memory API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "MoveFileA", "Win32 file API since NT 3.1 and in Windows 95 (MoveFileExA is NT's only)"},
    {"kernel32.dll", "ReadFile", "Win32 file API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "SetFileAttributesA", "Win32 file API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "SetFilePointer", "Win32 file API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "SetFileTime", "Win32 file API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "SetLastError", "Win32 base API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "Sleep", "Win32 base API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "VirtualAlloc", "Win32 memory API since NT 3.1 and in Windows 95; a pass's object"},
    {"kernel32.dll", "VirtualFree", "Win32 memory API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "WaitForSingleObject", "Win32 sync API since NT 3.1 and in Windows 95; the started command"},
    {"kernel32.dll", "WriteFile", "Win32 file API since NT 3.1 and in Windows 95"},
    {"kernel32.dll", "lstrcatA", "string API of NT 3.1, in Windows 95"},
    {"kernel32.dll", "lstrcmpA", "string API of NT 3.1, in Windows 95"},
    {"kernel32.dll", "lstrcpyA", "string API of NT 3.1, in Windows 95"},
    {"kernel32.dll", "lstrcpynA", "string API of NT 3.1, in Windows 95"},
    {"kernel32.dll", "lstrlenA", "string API of NT 3.1, in Windows 95; the stub's strlen"},
    {"ole32.dll", "CoInitialize", "OLE 2 came with NT 3.5 and Windows 95"},
    {"ole32.dll", "CoUninitialize", "OLE 2 came with NT 3.5 and Windows 95"},
    {"shell32.dll", "ShellExecuteA", "shell32 of NT 3.1 and Windows 95"},
    {"user32.dll", "CheckDlgButton", "dialog API of NT 3.1 and Windows 95"},
    {"user32.dll", "DefWindowProcA", "window API of NT 3.1 and Windows 95"},
    {"user32.dll", "DialogBoxParamA", "dialog API of NT 3.1 and Windows 95"},
    {"user32.dll", "DispatchMessageA", "message API of NT 3.1 and Windows 95"},
    {"user32.dll", "EnableWindow", "window API of NT 3.1 and Windows 95"},
    {"user32.dll", "EndDialog", "dialog API of NT 3.1 and Windows 95"},
    {"user32.dll", "GetDlgCtrlID", "dialog API of NT 3.1 and Windows 95"},
    {"user32.dll", "GetDlgItem", "dialog API of NT 3.1 and Windows 95"},
    {"user32.dll", "GetDlgItemTextA", "dialog API of NT 3.1 and Windows 95"},
    {"user32.dll", "GetFocus", "window API of NT 3.1 and Windows 95"},
    {"user32.dll", "GetSystemMetrics", "window API of NT 3.1 and Windows 95"},
    {"user32.dll", "GetWindowLongA", "window API of NT 3.1 and Windows 95 (GetWindowLongPtrA is a macro for it)"},
    {"user32.dll", "GetWindowRect", "window API of NT 3.1 and Windows 95"},
    {"user32.dll", "IsDialogMessageA", "dialog API of NT 3.1 and Windows 95"},
    {"user32.dll", "IsDlgButtonChecked", "dialog API of NT 3.1 and Windows 95"},
    {"user32.dll", "IsWindowEnabled", "window API of NT 3.1 and Windows 95"},
    {"user32.dll", "LoadIconA", "resource API of NT 3.1 and Windows 95"},
    {"user32.dll", "LoadStringA", "resource API of NT 3.1 and Windows 95"},
    {"user32.dll", "MessageBoxA", "NT 3.1 and Windows 95"},
    {"user32.dll", "MoveWindow", "window API of NT 3.1 and Windows 95"},
    {"user32.dll", "PeekMessageA", "message API of NT 3.1 and Windows 95"},
    {"user32.dll", "PostMessageA", "message API of NT 3.1 and Windows 95"},
    {"user32.dll", "SendDlgItemMessageA", "dialog API of NT 3.1 and Windows 95"},
    {"user32.dll", "SendMessageA", "message API of NT 3.1 and Windows 95"},
    {"user32.dll", "SetDlgItemTextA", "dialog API of NT 3.1 and Windows 95"},
    {"user32.dll", "SetFocus", "window API of NT 3.1 and Windows 95"},
    {"user32.dll", "SetWindowLongA", "window API of NT 3.1 and Windows 95 (SetWindowLongPtrA is a macro for it)"},
    {"user32.dll", "SetWindowTextA", "window API of NT 3.1 and Windows 95"},
    {"user32.dll", "TranslateMessage", "message API of NT 3.1 and Windows 95"},
    {"user32.dll", "wsprintfA", "NT 3.1 and Windows 95"},
};

// Run by the win32 tree alone.
class I686Stub : public ::testing::Test {
 protected:
  void SetUp() override {
    image = ReadStub("QUORVEL_STUB");
    std::string error;
    ASSERT_TRUE(pe_image::ParsePe(image, info, error)) << error;
    ASSERT_FALSE(info.pe32Plus);
  }
  std::uint16_t OptionalWord(std::uint32_t offset) const { return ReadLe16(&image[info.peOffset + 24 + offset]); }
  Bytes image;
  pe_image::PeInfo info;
};

TEST_F(I686Stub, AsksForWindows310SoThatNt351LoadsIt) {
  // Optional header: MajorOperatingSystemVersion at 40, MinorOperatingSystemVersion
  // at 42, MajorSubsystemVersion at 48, MinorSubsystemVersion at 50.
  EXPECT_EQ(OptionalWord(40), 3);
  EXPECT_EQ(OptionalWord(42), 10);
  EXPECT_EQ(OptionalWord(48), 3);
  EXPECT_EQ(OptionalWord(50), 10);
}

TEST_F(I686Stub, ImportsOnlyWhatNt351AndWindows95Have) {
  std::map<std::string, std::set<std::string>> known;
  for (const OldSystemImport& entry : kOldSystemImports) known[entry.dll].insert(entry.function);
  const Imports imports = ImportsOf(image, info);
  EXPECT_TRUE(imports.count("kernel32.dll"));
  for (const auto& entry : imports) {
    EXPECT_TRUE(known.count(entry.first)) << "imports " << entry.first;
    for (const std::string& function : entry.second)
      EXPECT_TRUE(known[entry.first].count(function))
          << entry.first << "!" << function << " is not known to be in NT 3.51 and Windows 95";
  }
}

}  // namespace
