// Expansion of the folder macros, with values from a provider of the test, on
// bytes and on UTF-16 alike.
#include "paths/folder_macros.h"

#include <gtest/gtest.h>

#include "text_units.h"

namespace {
const char* const kValues[8] = {nullptr,          "C:\\WINDOWS\\system32", "C:\\Program Files",
                                "C:\\Common",     "C:\\TEMP\\",           "D:\\DEST~1",
                                "C:\\Docs",       "C:\\WINDOWS"};

template <typename Unit>
void TestValue(int row, const Unit* destination, Unit* value) {
  const Text<Unit> text = row == kMacroExtractDir ? Text<Unit>(destination) : W<Unit>(kValues[row]);
  value[text.copy(value, text.size())] = '\0';
}

// The expansion into size units; "!" after it when it had to cut.
template <typename Unit>
Text<Unit> Expand(const Text<Unit>& source, const char* destination = nullptr,
                  unsigned size = 1024) {
  Unit out[1024];
  const Text<Unit> folder = W<Unit>(destination ? destination : "");
  const Unit* const folderOrNull = destination ? folder.c_str() : nullptr;
  const bool whole = ExpandFolderMacros(source.c_str(), out, size, folderOrNull, TestValue<Unit>);
  return out + W<Unit>(whole ? "" : "!");
}
}  // namespace

template <typename Unit>
using FolderMacros = BothUnits<Unit>;
TYPED_TEST_SUITE(FolderMacros, TextUnits);

TYPED_TEST(FolderMacros, TableRowsAndMatchingRules) {
  using Unit = TypeParam;
  const struct {
    const char* source;
    const char* destination;
    const char* result;
  } kCases[] = {
      {"%ExtractDir%\\a", "D:\\dest", "D:\\dest\\a"},
      {"%SystemDir%", nullptr, "C:\\WINDOWS\\system32"},
      {"%ProgramFilesDir%\\App", nullptr, "C:\\Program Files\\App"},
      {"%CommonFilesDir%", nullptr, "C:\\Common"},
      {"%TEMP%\\x", nullptr, "C:\\TEMP\\\\x"},  // the value keeps its backslash
      {"%ExtractDirX%", "D:\\dest folder", "D:\\DEST~1"},
      {"%MyDocuments%", nullptr, "C:\\Docs"},
      {"%windir%", nullptr, "C:\\WINDOWS"},
      {"%WINDIR%", nullptr, "%WINDIR%"},           // case-sensitive
      {"100% sure", nullptr, "100% sure"},         // a lone '%'
      {"%%windir%", nullptr, "%C:\\WINDOWS"},      // '%' then the macro
      {"%windir", nullptr, "%windir"},             // the whole name must be there
      {"%ExtractDir%", "%windir%", "%windir%"},    // values are never searched again
      // Without a destination its two macros stay as written...
      {"%ExtractDir%\\a", nullptr, "%ExtractDir%\\a"},
      {"%ExtractDirX%", nullptr, "%ExtractDirX%"},
      // ...and the closing '%' of the first name opens "%windir%".
      {"%ExtractDir%windir%", nullptr, "%ExtractDirC:\\WINDOWS"},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(Expand(W<Unit>(c.source), c.destination), W<Unit>(c.result)) << c.source;
}

TYPED_TEST(FolderMacros, OutputIsCutOnACharacterBoundary) {
  using Unit = TypeParam;
  // Room for 7 units: the value of %windir% (10 units) does not fit and is cut.
  EXPECT_EQ(Expand(W<Unit>("ab%windir%"), nullptr, 8), W<Unit>("abC:\\WI!"));
  // A pair that would straddle the end is left out whole.
  EXPECT_EQ(Expand(W<Unit>("abcdef") + Pairs<Unit>(1), nullptr, 8), W<Unit>("abcdef!"));
  EXPECT_EQ(Expand(W<Unit>("abc"), nullptr, 8), W<Unit>("abc"));
}
