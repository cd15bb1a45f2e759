// The string table as the stub loads it under code page 932: each text of
// the resource script under its id, converted from the script's UTF-8 into
// Shift_JIS without loss, and the formats that wsprintfA fills.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <map>
#include <set>
#include <string>

#include "common/win_services.h"
#include "ui/resource_ids.h"
#include "fixtures.h"
#include "win_child_process.h"
#include "win_sys_text.h"

namespace {
#define STRING_ID(name) {#name, name}
const std::map<std::string, UINT> kStringIds = {
    STRING_ID(IDS_READ_ERROR),      STRING_ID(IDS_WRITE_ERROR),    STRING_ID(IDS_DAMAGED),
    STRING_ID(IDS_UNSUPPORTED),     STRING_ID(IDS_TITLE),          STRING_ID(IDS_NO_MEMORY),
    STRING_ID(IDS_STATUS_EXTRACTING), STRING_ID(IDS_OVERWRITE_MESSAGE), STRING_ID(IDS_CHOOSE_FOLDER),
    STRING_ID(IDS_COMMAND),         STRING_ID(IDS_OLD_PLATFORM),   STRING_ID(IDS_BROWSE_DIRECTORY),
    STRING_ID(IDS_NOT_FULL_PATH),   STRING_ID(IDS_STATUS_TESTING), STRING_ID(IDS_USAGE),
};
#undef STRING_ID

// The texts of the resource script's string table, by id name, in UTF-8.
std::map<std::string, std::string> ScriptTexts() {
  std::ifstream rc(enginetest::SourcePath("src/ui/resources.rc"));
  std::map<std::string, std::string> texts;
  bool inTable = false;
  for (std::string line; std::getline(rc, line);) {
    if (line.rfind("STRINGTABLE", 0) == 0) inTable = true;
    if (!inTable) continue;
    if (line == "END") break;
    const std::size_t name = line.find("IDS_"), open = line.find('"'), close = line.rfind('"');
    if (name == std::string::npos || open == std::string::npos || close <= open) continue;
    // The resource compiler's escapes: \n, \t and \\.
    std::string text;
    for (std::size_t i = open + 1; i < close; ++i) {
      if (line[i] == '\\' && i + 1 < close) {
        const char next = line[++i];
        text += next == 'n' ? '\n' : next == 't' ? '\t' : next;
      } else {
        text += line[i];
      }
    }
    texts[line.substr(name, line.find(' ', name) - name)] = text;
  }
  return texts;
}

// UTF-8 to the ANSI code page; false when a character has no form there.
bool ToCodePage932(const std::string& utf8, std::string& out) {
  wchar_t wide[512];
  char ansi[1024];
  BOOL lost = FALSE;
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, wide, 512);
  if (n <= 0 || WideCharToMultiByte(932, 0, wide, -1, ansi, sizeof ansi, nullptr, &lost) <= 0) return false;
  out = ansi;
  return !lost;
}
}  // namespace

TEST(StringTable, EveryTextOfTheScriptLoadsUnderItsIdAsShiftJis) {
  ASSERT_EQ(GetACP(), 932u) << "the tests run with LC_ALL=ja_JP.UTF-8";
  const std::map<std::string, std::string> script = ScriptTexts();
  ASSERT_EQ(script.size(), kStringIds.size()) << "one text for each id";
  std::set<std::string> seen;
  for (const auto& [name, id] : kStringIds) {
    SCOPED_TRACE(name);
    ASSERT_EQ(script.count(name), 1u);
    std::string expected;
    ASSERT_TRUE(ToCodePage932(script.at(name), expected));
    EXPECT_EQ(TableText(id), expected);
    EXPECT_TRUE(seen.insert(expected).second) << "a text twice";
  }
  // The conversion, spelled out once: kanji and hiragana as two bytes,
  // half-width katakana as one.
  EXPECT_EQ(TableText(IDS_READ_ERROR), "\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\xb4\xd7\xb0");
}

TEST(StringTable, FormatsTakeOneNameAndNoOtherTextIsAFormat) {
  for (const auto& [name, id] : kStringIds) {
    const std::string text = TableText(id);
    const bool format = id == IDS_STATUS_EXTRACTING || id == IDS_STATUS_TESTING || id == IDS_COMMAND;
    const std::size_t percent = text.find('%');
    EXPECT_EQ(percent != std::string::npos, format) << name;
    if (format) {
      EXPECT_EQ(text.substr(percent, 2), "%s") << name;
      EXPECT_EQ(text.find('%', percent + 1), std::string::npos) << name;
    }
  }
}

TEST(StringTable, TableIsJapanese) {
  // String ids 0-15 form block 1, ids 16-31 block 2.
  for (int block : {1, 2}) {
    EXPECT_NE(FindResourceExA(nullptr, RT_STRING, MAKEINTRESOURCEA(block),
                              MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)),
              nullptr)
        << "block " << block;
  }
}

// The English table: a text under every Japanese id plus IDS_ENGLISH, each
// in ASCII (so it shows whole under any code page), none twice, and the
// formats where the Japanese ones are.
TEST(StringTable, EveryTextHasAnEnglishFormInAscii) {
  std::set<std::string> seen;
  for (const auto& [name, id] : kStringIds) {
    SCOPED_TRACE(name);
    const std::string english = TableText(id + IDS_ENGLISH);
    ASSERT_FALSE(english.empty());
    for (const char c : english) EXPECT_TRUE(c >= 0x09 && c < 0x7F) << english;
    EXPECT_EQ(english.find("%s") != std::string::npos, TableText(id).find("%s") != std::string::npos);
    if (id != IDS_TITLE) EXPECT_TRUE(seen.insert(english).second) << "a text twice";
  }
}

// The box of /? comes through LoadText's 256 units: in either language the
// whole list fits, and it names every switch the command line takes, each at
// a line's start.
TEST(StringTable, SwitchListFitsAndNamesEverySwitchInEitherLanguage) {
  AppInstance = GetModuleHandleA(nullptr);
  for (const UiLanguage language : {UiLanguage::Japanese, UiLanguage::English}) {
    AppLanguage = language;
    const std::string whole = TableText(IDS_USAGE + (language == UiLanguage::English ? IDS_ENGLISH : 0));
    ASSERT_FALSE(whole.empty());
    EXPECT_LT(whole.size(), kLoadTextBytes);
    SysChar loaded[kLoadTextBytes];
    LoadText(IDS_USAGE, loaded, kLoadTextBytes);
    EXPECT_EQ(AnsiFromSys(loaded), whole);
    const std::string text = "\n" + whole;
    for (const char* name : {"/S\t", "/D=", "/Y\t", "/O\t", "/N\t", "/T\t", "/?\t"})
      EXPECT_NE(text.find(std::string("\n") + name), std::string::npos) << name;
  }
  AppLanguage = UiLanguage::Japanese;
}
