// The string table as the stub loads it under code page 932.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/win_startup.h"
#include "ui/resource_ids.h"

namespace {
struct Expected {
  UINT id;
  const char* shiftJis;
};

// Shift_JIS bytes of each text, written out so a wrong conversion shows.
// clang-format off
const Expected kStrings[] = {
    {IDS_READ_ERROR, "\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\xb4\xd7\xb0"},  // 読み込みｴﾗｰ
    {IDS_WRITE_ERROR, "\x8f\x91\x82\xab\x8d\x9e\x82\xdd\xb4\xd7\xb0"},  // 書き込みｴﾗｰ
    {IDS_DAMAGED, "\x8f\x91\x8c\xc9\x82\xaa\x89\xf3\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb7"},  // 書庫が壊れています
    {IDS_UNSUPPORTED, "\x91\xce\x89\x9e\x82\xb5\x82\xc4\x82\xa2\x82\xc8\x82\xa2\x88\xb3\x8fk\x8c`\x8e\xae\x82\xc5\x82\xb7"},  // 対応していない圧縮形式です
    {IDS_TITLE, "Quorvel  Ver 2.1.0.0"},  // Quorvel  Ver 2.1.0.0
    {IDS_NO_MEMORY, "\xd2\xd3\xd8\x82\xaa\x91\xab\x82\xe8\x82\xdc\x82\xb9\x82\xf1"},  // ﾒﾓﾘが足りません
    {IDS_STATUS_EXTRACTING, "\x89\xf0\x93\x80\x92\x86: %s"},  // 解凍中: %s
    {IDS_OVERWRITE_MESSAGE, "\xb5\xcc\xdf\xbc\xae\xdd\x82\xf0\x95\xcf\x8dX\x82\xb5\x82\xc8\x82\xaf\x82\xea\x82\xce\x89\xf0\x93\x80\x90\xe6\x82\xcc\x93\xaf\x96\xbc\xcc\xa7\xb2\xd9\x82\xcd\x8f\xe3\x8f\x91\x82\xab\x82\xb3\x82\xea\x82\xdc\x82\xb7"},  // ｵﾌﾟｼｮﾝを変更しなければ解凍先の同名ﾌｧｲﾙは上書きされます
    {IDS_CHOOSE_FOLDER, "\xcc\xab\xd9\xc0\xde\x82\xf0\x91I\x91\xf0\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2"},  // ﾌｫﾙﾀﾞを選択してください
    {IDS_COMMAND, "\xba\xcf\xdd\xc4\xde: %s"},  // ｺﾏﾝﾄﾞ: %s
    {IDS_OLD_PLATFORM, "\x82\xb1\x82\xcc\xcc\xdf\xdb\xb8\xde\xd7\xd1\x82\xcd Windows95/NT3.51 \x88\xc8\x8d~\x82\xcc\x8a\xc2\x8b\xab\x82\xc5\x82\xc8\x82\xaf\x82\xea\x82\xce\x8e\xc0\x8ds\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1"},  // このﾌﾟﾛｸﾞﾗﾑは Windows95/NT3.51 以降の環境でなければ実行できません
    {IDS_BROWSE_DIRECTORY, "\xc3\xde\xa8\xda\xb8\xc4\xd8\x82\xcc\x8eQ\x8f\xc6"},  // ﾃﾞｨﾚｸﾄﾘの参照
    {IDS_NOT_FULL_PATH, "\xcc\xd9\xca\xdf\xbd\x96\xbc\x82\xc5\x8ew\x92\xe8\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2"},  // ﾌﾙﾊﾟｽ名で指定してください
    {IDS_STATUS_TESTING, "\x8c\x9f\x8d\xb8\x92\x86: %s"},  // 検査中: %s
};
// clang-format on
}  // namespace

TEST(StringTable, EveryTextLoadsAsShiftJis) {
  ASSERT_EQ(GetACP(), 932u) << "the tests run with LC_ALL=ja_JP.UTF-8";
  AppInstance = GetModuleHandleA(nullptr);
  for (const Expected& e : kStrings) {
    EXPECT_EQ(std::string(LoadText(e.id)), std::string(e.shiftJis)) << "string " << e.id;
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
