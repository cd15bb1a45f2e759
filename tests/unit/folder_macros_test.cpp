// Expansion of the folder macros, with values from a provider of the test.
#include "paths/folder_macros.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {
const char* const kValues[8] = {nullptr,          "C:\\WINDOWS\\system32", "C:\\Program Files",
                                "C:\\Common",     "C:\\TEMP\\",           nullptr,
                                "C:\\Docs",       "C:\\WINDOWS"};

void TestValue(int row, const char* destination, char* value) {
  if (row == kMacroExtractDir) std::strcpy(value, destination);
  else if (row == kMacroExtractDirShort) std::strcpy(value, "D:\\DEST~1");
  else std::strcpy(value, kValues[row]);
}

std::string Expand(const char* source, const char* destination = nullptr, unsigned size = 1024) {
  char out[1024];
  ExpandFolderMacros(source, out, size, destination, TestValue);
  return out;
}
}  // namespace

TEST(FolderMacros, EveryRowOfTheTable) {
  EXPECT_EQ(Expand("%ExtractDir%\\a", "D:\\dest"), "D:\\dest\\a");
  EXPECT_EQ(Expand("%SystemDir%"), "C:\\WINDOWS\\system32");
  EXPECT_EQ(Expand("%ProgramFilesDir%\\App"), "C:\\Program Files\\App");
  EXPECT_EQ(Expand("%CommonFilesDir%"), "C:\\Common");
  EXPECT_EQ(Expand("%TEMP%\\x"), "C:\\TEMP\\\\x");  // the value keeps its backslash
  EXPECT_EQ(Expand("%ExtractDirX%", "D:\\dest folder"), "D:\\DEST~1");
  EXPECT_EQ(Expand("%MyDocuments%"), "C:\\Docs");
  EXPECT_EQ(Expand("%windir%"), "C:\\WINDOWS");
}

TEST(FolderMacros, MatchingRules) {
  EXPECT_EQ(Expand("%WINDIR%"), "%WINDIR%");                 // case-sensitive
  EXPECT_EQ(Expand("100% sure"), "100% sure");               // a lone '%'
  EXPECT_EQ(Expand("%%windir%"), "%C:\\WINDOWS");            // '%' then the macro
  EXPECT_EQ(Expand("%windir"), "%windir");                   // the whole name must be there
  // Values are never searched for macros again.
  EXPECT_EQ(Expand("%ExtractDir%", "%windir%"), "%windir%");
}

TEST(FolderMacros, DestinationMacrosStayWithoutADestination) {
  EXPECT_EQ(Expand("%ExtractDir%\\a"), "%ExtractDir%\\a");
  EXPECT_EQ(Expand("%ExtractDirX%"), "%ExtractDirX%");
  // The closing '%' of the first name opens "%windir%".
  EXPECT_EQ(Expand("%ExtractDir%windir%"), "%ExtractDirC:\\WINDOWS");
}

TEST(FolderMacros, OutputIsCutOnACharacterBoundary) {
  char out[8];
  std::memset(out, 'Z', sizeof out);
  // Room for 7 bytes: the value of %windir% (10 bytes) does not fit and is cut.
  EXPECT_FALSE(ExpandFolderMacros("ab%windir%", out, sizeof out, nullptr, TestValue));
  EXPECT_STREQ(out, "abC:\\WI");
  // A double-byte character that would straddle the end is left out whole.
  EXPECT_FALSE(ExpandFolderMacros("abcdef\x82\xa0", out, sizeof out, nullptr, TestValue));
  EXPECT_STREQ(out, "abcdef");
  EXPECT_TRUE(ExpandFolderMacros("abc", out, sizeof out, nullptr, TestValue));
}
