#include "pack/cp932.h"

#include "pack/unicode_text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace {

constexpr unsigned kCodePage932 = 932, kCodePageUtf8 = 65001;

#ifdef _WIN32
bool Convert(const std::string& in, unsigned fromPage, unsigned toPage, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  int wide = MultiByteToWideChar(fromPage, MB_ERR_INVALID_CHARS, in.data(),
                                 static_cast<int>(in.size()), nullptr, 0);
  if (wide <= 0) return false;
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(fromPage, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()),
                      &w[0], wide);
  // UTF-8 takes neither a default character nor WC_NO_BEST_FIT_CHARS.
  BOOL usedDefault = FALSE;
  const bool toUtf8 = toPage == CP_UTF8;
  DWORD flags = toUtf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  int bytes = WideCharToMultiByte(toPage, flags, w.data(), wide, nullptr, 0, nullptr,
                                  toUtf8 ? nullptr : &usedDefault);
  if (bytes <= 0 || usedDefault) return false;
  out.assign(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(toPage, flags, w.data(), wide, &out[0], bytes, nullptr,
                      toUtf8 ? nullptr : &usedDefault);
  return !usedDefault;
}
#else
bool Convert(const std::string& in, const char* from, const char* to, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string buffer(in.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t srcLeft = in.size();
  char* dst = &buffer[0];
  std::size_t dstLeft = buffer.size();
  std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  bool ok = r != static_cast<std::size_t>(-1) && srcLeft == 0;
  // A reversible conversion only: iconv counts irreversible replacements in r.
  if (ok && r != 0) ok = false;
  iconv_close(cd);
  if (!ok) return false;
  buffer.resize(buffer.size() - dstLeft);
  out.swap(buffer);
  return true;
}
#endif

}  // namespace

bool Utf8ToCp932(const std::string& utf8, std::string& cp932) {
#ifdef _WIN32
  return Convert(utf8, CP_UTF8, kCodePage932, cp932);
#else
  return Convert(utf8, "UTF-8", "CP932", cp932);
#endif
}

bool Cp932ToUtf8(const std::string& cp932, std::string& utf8) {
  return CodePageToUtf8(cp932, kCodePage932, utf8);
}

bool CodePageToUtf8(const std::string& text, std::uint32_t codePage, std::string& utf8) {
  if (codePage == kCodePageUtf8) {
    utf8 = text;
    return IsValidUtf8(text);
  }
#ifdef _WIN32
  return Convert(text, codePage, CP_UTF8, utf8);
#else
  // iconv names the Windows code pages CP932, CP1252 and so on.
  const std::string name = "CP" + std::to_string(codePage);
  return Convert(text, name.c_str(), "UTF-8", utf8);
#endif
}
