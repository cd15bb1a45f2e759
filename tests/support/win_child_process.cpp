#include "win_child_process.h"

namespace {
struct Search {
  DWORD pid;
  int has, alsoHas, lacks;
  HWND found;
};

bool HasControl(HWND window, int id) { return id == 0 || GetDlgItem(window, id) != nullptr; }

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == s->pid && IsWindowVisible(window) &&
      HasControl(window, s->has) && HasControl(window, s->alsoHas) &&
      (s->lacks == 0 || !GetDlgItem(window, s->lacks))) {
    s->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectStatics(HWND child, LPARAM param) {
  auto* seen = reinterpret_cast<SeenWindow*>(param);
  char cls[64] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0) {
    char text[1024] = {};
    GetWindowTextA(child, text, sizeof text);
    if (text[0]) seen->staticTexts.push_back(text);
  }
  return TRUE;
}
}  // namespace

bool ChildProcess::Start(const std::string& commandLine, const std::string& directory) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string line = commandLine;
  return CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &info_) != 0;
}

bool ChildProcess::WaitForWindow(SeenWindow& seen, DWORD timeoutMs, int has, int alsoHas,
                                 int lacks) {
  for (DWORD waited = 0; waited <= timeoutMs; waited += 50) {
    Search s{info_.dwProcessId, has, alsoHas, lacks, nullptr};
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&s));
    if (s.found) {
      seen = SeenWindow{};
      seen.window = s.found;
      char text[1024] = {};
      GetClassNameA(s.found, text, sizeof text);
      seen.className = text;
      GetWindowTextA(s.found, text, sizeof text);
      seen.caption = text;
      EnumChildWindows(s.found, CollectStatics, reinterpret_cast<LPARAM>(&seen));
      return true;
    }
    if (WaitForSingleObject(info_.hProcess, 50) == WAIT_OBJECT_0) return false;
  }
  return false;
}

std::string ChildProcess::ControlText(HWND window, int controlId) {
  char text[1024] = {};
  SendMessageA(GetDlgItem(window, controlId), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

void ChildProcess::SetControlText(HWND window, int controlId, const std::string& text) {
  SendMessageA(GetDlgItem(window, controlId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool ChildProcess::Running() const {
  return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

void ChildProcess::Press(HWND window, int buttonId) {
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, buttonId)));
}

int ChildProcess::WaitForExit(DWORD timeoutMs) {
  if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(info_.hProcess, 99);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return static_cast<int>(code);
}

ChildProcess::~ChildProcess() {
  if (info_.hProcess) {
    if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(info_.hProcess, 99);
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
  }
}

std::string BuildFile(const char* name) {
  std::string path = std::string("Z:") + QUORVEL_BINARY_DIR + "/" + name;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  CloseHandle(f);
  return ok;
}

std::string ReadWholeFile(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  std::string bytes(GetFileSize(f, nullptr), '\0');
  DWORD got = 0;
  ReadFile(f, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(f);
  bytes.resize(got);
  return bytes;
}

std::string TempPath(const std::string& name) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  return dir + name;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

namespace {
// In UTF-16, so that names outside the ANSI code page go too.
void RemoveTreeWide(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTreeWide(path);
      else
        DeleteFileW(path.c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}
}  // namespace

void RemoveTree(const std::string& folder) {
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, MAX_PATH);
  RemoveTreeWide(wide);
}

std::string TableText(UINT id) {
  char text[1024] = "";
  LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text);
  return text;
}
