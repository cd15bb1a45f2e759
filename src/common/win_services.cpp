#include "common/win_services.h"

HINSTANCE AppInstance;

void* ShellExport(const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("shell32.dll"), name));
}

char* LoadText(UINT id, char* buffer, unsigned size) {
  buffer[0] = '\0';
  LoadStringA(AppInstance, id, buffer, static_cast<int>(size));
  return buffer;
}
