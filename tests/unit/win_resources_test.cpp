// The dialog templates, icon and manifest as Windows reads them from the
// program: controls in tab order with their ids, classes, texts and styles
// (where they sit is the resource script's to say).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ui/resource_ids.h"

namespace {
constexpr WORD kButton = 0x80, kEdit = 0x81, kStatic = 0x82, kListBox = 0x83, kComboBox = 0x85;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kHidden = WS_CHILD | WS_DISABLED;

struct Item {
  int id;
  WORD atom;               // 0 for a class given by name
  const char* className;   // when atom is 0
  const char* text;        // UTF-8
  DWORD style;
};

struct Template {
  DWORD style;
  std::string caption, font;
  WORD pointSize;
  std::vector<Item> items;
  std::vector<std::string> itemTexts, itemClasses;
  std::vector<WORD> itemAtoms;
};

std::string Utf8(const wchar_t* w) {
  char out[512] = {};
  WideCharToMultiByte(CP_UTF8, 0, w, -1, out, sizeof out, nullptr, nullptr);
  return out;
}

const WORD* ReadSzOrOrd(const WORD* p, std::string* text, WORD* atom) {
  if (*p == 0xFFFF) {
    if (atom) *atom = p[1];
    return p + 2;
  }
  if (text) *text = Utf8(reinterpret_cast<const wchar_t*>(p));
  while (*p) ++p;
  return p + 1;
}

Template Parse(int id, LANGID language = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)) {
  Template t{};
  HRSRC found = FindResourceExA(nullptr, RT_DIALOG, MAKEINTRESOURCEA(id), language);
  EXPECT_NE(found, nullptr) << "dialog " << id;
  if (!found) return t;
  const auto* d = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(nullptr, found)));
  t.style = d->style;
  const WORD* p = reinterpret_cast<const WORD*>(d + 1);
  p = ReadSzOrOrd(p, nullptr, nullptr);  // menu
  p = ReadSzOrOrd(p, nullptr, nullptr);  // class
  p = ReadSzOrOrd(p, &t.caption, nullptr);
  if (d->style & DS_SETFONT) {
    t.pointSize = *p++;
    p = ReadSzOrOrd(p, &t.font, nullptr);
  }
  for (int i = 0; i < d->cdit; ++i) {
    p = reinterpret_cast<const WORD*>((reinterpret_cast<UINT_PTR>(p) + 3) & ~UINT_PTR{3});
    const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
    Item it{static_cast<short>(item->id), 0, nullptr, nullptr, item->style};
    p = reinterpret_cast<const WORD*>(item + 1);
    std::string cls, text;
    WORD atom = 0;
    p = ReadSzOrOrd(p, &cls, &atom);
    p = ReadSzOrOrd(p, &text, nullptr);
    p += 1 + *p / sizeof(WORD);  // creation data
    t.items.push_back(it);
    t.itemTexts.push_back(text);
    t.itemClasses.push_back(cls);
    t.itemAtoms.push_back(atom);
  }
  return t;
}

void ExpectTemplate(int id, const char* caption, const std::vector<Item>& expected) {
  const Template t = Parse(id);
  EXPECT_EQ(t.style, DS_MODALFRAME | DS_3DLOOK | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU) << id;
  EXPECT_EQ(t.caption, caption);
  EXPECT_EQ(t.font, "ＭＳ Ｐゴシック");
  EXPECT_EQ(t.pointSize, 9);
  ASSERT_EQ(t.items.size(), expected.size()) << "dialog " << id;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const Item& e = expected[i];
    const Item& a = t.items[i];
    SCOPED_TRACE("dialog " + std::to_string(id) + " control " + std::to_string(i));
    EXPECT_EQ(a.id, e.id);
    if (e.atom) EXPECT_EQ(t.itemAtoms[i], e.atom);
    else EXPECT_EQ(lstrcmpiA(t.itemClasses[i].c_str(), e.className), 0) << t.itemClasses[i];
    EXPECT_EQ(t.itemTexts[i], e.text);
    EXPECT_EQ(a.style, e.style) << std::hex << a.style << " vs " << e.style;
  }
}

TEST(DialogTemplates, Main) {
  ExpectTemplate(IDD_MAIN, "", {
      {1002, kStatic, nullptr, "解凍先ﾌｫﾙﾀﾞ/ﾃﾞｨﾚｸﾄﾘ(&F):", kChild | SS_LEFT | WS_GROUP},
      {1001, kEdit, nullptr, "", kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_OEMCONVERT},
      {1003, kStatic, nullptr, "", kChild | SS_LEFT | WS_GROUP | SS_NOPREFIX},
      {1000, 0, "msctls_progress32", "", kChild | WS_BORDER},
      {IDOK, kButton, nullptr, "解凍(&E)", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON},
      {IDCANCEL, kButton, nullptr, "ｷｬﾝｾﾙ", kChild | WS_TABSTOP | BS_PUSHBUTTON},
      {1004, kButton, nullptr, "参照(&B)...", kChild | WS_TABSTOP | BS_PUSHBUTTON},
      {1005, kButton, nullptr, "ｵﾌﾟｼｮﾝ(&O)...", kChild | WS_TABSTOP | BS_PUSHBUTTON},
  });
}

TEST(DialogTemplates, Options) {
  const DWORD check = kChild | WS_TABSTOP | BS_AUTOCHECKBOX;
  ExpectTemplate(IDD_OPTIONS, "ｵﾌﾟｼｮﾝ", {
      {1008, kButton, nullptr, "ﾌｫﾙﾀﾞ展開の抑制(&X)", check},
      {1005, kButton, nullptr, "ﾌｧｲﾙ属性の復元(&A)", check},
      {1006, kButton, nullptr, "同名ﾌｧｲﾙの上書き(&W)", check},
      {1007, kButton, nullptr, "自動実行(&R)", check},
      {1002, kStatic, nullptr, "", kChild | SS_LEFTNOWORDWRAP | SS_NOPREFIX | WS_GROUP},
      {IDOK, kButton, nullptr, "OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON},
      {IDCANCEL, kButton, nullptr, "ｷｬﾝｾﾙ", kChild | WS_TABSTOP | BS_PUSHBUTTON},
  });
}

TEST(DialogTemplates, Overwrite) {
  const DWORD push = kChild | WS_TABSTOP | BS_PUSHBUTTON;
  ExpectTemplate(IDD_OVERWRITE, "", {
      {IDYES, kButton, nullptr, "はい(&Y)", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON},
      {IDCANCEL, kButton, nullptr, "ｷｬﾝｾﾙ", push},
      {1004, kButton, nullptr, "すべて上書き(&A)", push},
      {IDNO, kButton, nullptr, "いいえ(&N)", push},
      {1003, kStatic, nullptr, "", kChild | SS_LEFTNOWORDWRAP | SS_NOPREFIX | WS_GROUP},
      {1002, kStatic, nullptr, "", kChild | SS_ICON},
      {-1, kStatic, nullptr, "すでにﾌｧｲﾙが存在します。上書きしますか?", kChild | SS_LEFT | WS_GROUP},
  });
}

TEST(DialogTemplates, OldStyleFolderChooser) {
  const DWORD list = LBS_SORT | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY |
                     LBS_DISABLENOSCROLL | WS_VSCROLL | WS_BORDER;
  const DWORD combo = CBS_DROPDOWNLIST | CBS_AUTOHSCROLL | WS_BORDER | WS_VSCROLL;
  const DWORD drives = combo | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | CBS_SORT | WS_TABSTOP;
  const DWORD push = WS_GROUP | WS_TABSTOP;
  ExpectTemplate(IDD_OLD_FOLDER, "", {
      {-1, kStatic, nullptr, "ﾃﾞｨﾚｸﾄﾘ(&D):", kChild | SS_LEFT | WS_GROUP},
      {1088, kStatic, nullptr, "", kChild | SS_LEFT | WS_GROUP | SS_NOPREFIX},
      {1121, kListBox, nullptr, "", kChild | list | WS_TABSTOP},
      {1091, kStatic, nullptr, "ﾄﾞﾗｲﾌﾞ(&V):", kChild | SS_LEFT | WS_GROUP},
      {1137, kComboBox, nullptr, "", kChild | drives},
      {IDOK, kButton, nullptr, "OK", kChild | push | BS_DEFPUSHBUTTON},
      {IDCANCEL, kButton, nullptr, "ｷｬﾝｾﾙ", kChild | push | BS_PUSHBUTTON},
      {1038, kButton, nullptr, "ﾍﾙﾌﾟ(&H)", kChild | push | BS_PUSHBUTTON},
      {1090, kStatic, nullptr, "ファイル名(&N):", kHidden | SS_LEFT | WS_GROUP},
      {1152, kEdit, nullptr, "", kHidden | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_OEMCONVERT},
      {1120, kListBox, nullptr, "", kHidden | list},
      {1089, kStatic, nullptr, "ファイルの種類(&T):", kHidden | SS_LEFT | WS_GROUP},
      {1136, kComboBox, nullptr, "", kHidden | combo},
      {1040, kButton, nullptr, "上書き禁止(&R)", kHidden | WS_GROUP | BS_AUTOCHECKBOX},
  });
}

// Each English dialog is its Japanese one with English texts in the shell's
// dialog font: the same controls, classes and styles in the same tab order,
// so the code drives either; a text wherever the Japanese one has one, in
// ASCII so that it shows under any code page.
TEST(DialogTemplates, EnglishFormsMatchTheJapaneseOnes) {
  for (const int id : {IDD_MAIN, IDD_OPTIONS, IDD_OVERWRITE, IDD_OLD_FOLDER}) {
    SCOPED_TRACE(id);
    const Template ja = Parse(id);
    const Template en = Parse(id + IDD_ENGLISH, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    EXPECT_EQ(en.style, ja.style);
    EXPECT_EQ(en.font, "MS Shell Dlg");
    EXPECT_EQ(en.pointSize, 8);
    EXPECT_EQ(en.caption.empty(), ja.caption.empty());
    ASSERT_EQ(en.items.size(), ja.items.size());
    for (std::size_t i = 0; i < ja.items.size(); ++i) {
      EXPECT_EQ(en.items[i].id, ja.items[i].id) << i;
      EXPECT_EQ(en.items[i].style, ja.items[i].style) << i;
      EXPECT_EQ(en.itemAtoms[i], ja.itemAtoms[i]) << i;
      EXPECT_EQ(en.itemClasses[i], ja.itemClasses[i]) << i;
      EXPECT_EQ(en.itemTexts[i].empty(), ja.itemTexts[i].empty()) << i;
      for (const char c : en.itemTexts[i] + en.caption) EXPECT_TRUE(c > 0x1F && c < 0x7F) << en.itemTexts[i];
    }
  }
}

TEST(ProgramResources, IconHasTwoSixteenColourImages) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDI_APP), RT_GROUP_ICON);
  ASSERT_NE(found, nullptr);
  const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
  ASSERT_EQ(dir[4] | (dir[5] << 8), 2);  // image count
  for (int i = 0; i < 2; ++i) {
    const BYTE* entry = dir + 6 + 14 * i;
    EXPECT_EQ(entry[0], i == 0 ? 32 : 16);
    EXPECT_EQ(entry[2], 16);  // colours
  }
}

TEST(ProgramResources, ManifestAsksForNoElevationAndNoNewCommonControls) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(found, nullptr);
  const std::string text(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                         SizeofResource(nullptr, found));
  EXPECT_NE(text.find("requestedExecutionLevel level=\"asInvoker\""), std::string::npos);
  EXPECT_EQ(text.find("Common-Controls"), std::string::npos);
}
}  // namespace
