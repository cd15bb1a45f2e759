#include "win_e2e_support.h"

#include <cstring>
#include <random>
#include <vector>

#include "ui/resource_ids.h"

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string Text(UINT id) {
  char text[256] = {};
  LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text);
  return text;
}

std::uint64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

std::uint64_t LastWrite(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

std::string Random(std::size_t bytes) {
  std::mt19937 generator(static_cast<unsigned>(bytes));
  std::string s(bytes, '\0');
  for (char& c : s) c = static_cast<char>(generator());
  return s;
}

void WriteFileAt(const std::string& path, const std::string& bytes) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(WriteWholeFile(path, bytes)) << path;
}

std::uint32_t ArchiveOffset(const std::string& exe) {
  std::uint32_t offset = 0;
  if (exe.size() >= 516) std::memcpy(&offset, exe.data() + 512, 4);
  return offset;
}

void WaitGone(HWND window) {
  for (int i = 0; i < 400 && IsWindow(window) && IsWindowVisible(window); ++i) Sleep(25);
}

std::string StubArchitecture() {
  char name[16] = "";
  const DWORD n = GetEnvironmentVariableA("QUORVEL_STUB", name, sizeof name);
  return n > 0 && n < sizeof name ? name : "x86_64";
}

std::string StubFile() {
  if (StubArchitecture() == "x86_64") return BuildFile("quorvel-sfx.exe");
  std::string path = std::string("Z:") + QUORVEL_BUILD_ROOT + "/win32/quorvel-sfx.exe";
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

void SaveScreenshot(const char* name) {
  const std::string architecture = StubArchitecture();
  SaveScreenshotTo(BuildFile(architecture == "x86_64" ? "screenshots" : ("screenshots-" + architecture).c_str()),
                   name);
}

void SaveScreenshotTo(const std::string& folder, const char* name, HWND window) {
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (window) GetWindowRect(window, &area);
  const int width = area.right - area.left, height = area.bottom - area.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  GdiFlush();
  const DWORD rowBytes = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + rowBytes * height;
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  bytes.append(static_cast<const char*>(bits), rowBytes * height);
  CreateDirectoryA(folder.c_str(), nullptr);
  WriteWholeFile(folder + "\\" + name + ".bmp", bytes);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

void EndToEnd::SetUpTestSuite() {
  UseJapaneseFont();
  const std::string architecture = StubArchitecture();
  ASSERT_TRUE(architecture == "x86_64" || architecture == "i686") << "QUORVEL_STUB=" << architecture;
  ASSERT_TRUE(Exists(StubFile())) << "no stub at " << StubFile() << ": build its tree first";
}

void UseJapaneseFont() {
  // Let Wine draw the dialogs' font with the installed IPA Gothic.
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\Fonts\\Replacements", 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
    const wchar_t* face = L"IPAPGothic";
    for (const wchar_t* name : {L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF",
                                L"\xFF2D\xFF33 \x30B4\x30B7\x30C3\x30AF"})
      RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(face),
                     static_cast<DWORD>((wcslen(face) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
}

void EndToEnd::SetUp() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test->name();
  for (char& c : name)
    if (c == '/') c = '-';  // parameterised tests are named "Case/Param"
  // Each stub's run has its own folders, so that the two may run at once.
  work_ = std::string(temp) + "qe2e-" + StubArchitecture() + "-" + name;
  RemoveTree(work_);
  CreateDirectoryA(work_.c_str(), nullptr);
  src_ = work_ + "\\src";
  dest_ = work_ + "\\dest";
  exe_ = work_ + "\\sfx.exe";
  CreateDirectoryA(src_.c_str(), nullptr);
  CreateDirectoryA(dest_.c_str(), nullptr);
}

void EndToEnd::TearDown() {
  if (!HasFailure()) RemoveTree(work_);
}

void EndToEnd::WriteSource(const std::string& relative, const std::string& bytes, std::uint64_t time) {
  std::string path = src_ + "\\" + relative;
  for (std::size_t i = src_.size() + 1; i < path.size(); ++i)
    if (path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
  WriteFileAt(path, bytes);
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME ft{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
  SetFileTime(f, nullptr, nullptr, &ft);
  CloseHandle(f);
}

bool EndToEnd::Pack(std::initializer_list<std::string> args) {
  std::string line = Quoted(BuildFile("quorvel-pack.exe")) + " create --quiet -o " + Quoted(exe_) +
                     " --stub " + Quoted(StubFile()) + " --title \"E2E Title\"";
  for (const std::string& a : args) line += " " + Quoted(a);
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((src_ + "\\*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") line += " " + Quoted(src_ + "\\" + name);
    } while (FindNextFileA(h, &found));
    FindClose(h);
  }
  ChildProcess packer;
  if (!packer.Start(line)) return false;
  const int code = packer.WaitForExit(120000);
  EXPECT_EQ(code, 0) << line;
  return code == 0;
}

SeenWindow EndToEnd::StartToMainDialog(ChildProcess& stub, const std::string& arguments) {
  SeenWindow main;
  EXPECT_TRUE(stub.Start(Quoted(exe_) + (arguments.empty() ? "" : " " + arguments)));
  EXPECT_TRUE(stub.WaitForWindow(main, 20000, IDC_FOLDER_EDIT)) << "no main dialog";
  return main;
}

void EndToEnd::ExtractInto(HWND main) {
  ChildProcess::SetControlText(main, IDC_FOLDER_EDIT, dest_);
  ChildProcess::Press(main, IDOK);
}

std::string EndToEnd::WaitForBoxText(ChildProcess& stub, SeenWindow& box) {
  if (!stub.WaitForWindow(box, 20000, 0, 0, IDC_FOLDER_EDIT) || box.staticTexts.empty()) return {};
  return box.staticTexts.back();
}

std::set<std::string> TemporaryFolders() {
  std::set<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(TempPath("qv*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) names.insert(TempPath(found.cFileName));
    while (FindNextFileA(find, &found));
    FindClose(find);
  }
  return names;
}
