// One reader: the packer's check of an archive to append (`create
// --archive`), `quorvel-pack test` and the engine's walk as the stub makes it
// take and refuse the same archives (but for the older methods, which the
// packer decodes and the stub does not). The stub's own passes judge the same
// archives under Wine (win_pass_test.cpp).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "engine_test_support.h"
#include "hostile_archives.h"
#include "pack/archive_reader.h"
#include "pack/archive_writer.h"

using namespace enginetest;

namespace {
// `quorvel-pack test` on the bytes as a file: true when it passes.
bool PackTestPasses(const Bytes& archive, std::string& output) {
  const std::string path = std::string(QUORVEL_BINARY_DIR) + "/readers-agree.lzh";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
  const std::string command = std::string(QUORVEL_BINARY_DIR) + "/quorvel-pack test " + path + " 2>&1";
  output.clear();
  FILE* p = popen(command.c_str(), "r");
  if (!p) return false;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, p)) output += buffer;
  return pclose(p) == 0;
}
}  // namespace

TEST(ReadersAgree, CreateArchiveTakesExactlyWhatTestAndTheEngineTake) {
  for (const HostileArchive& a : HostileArchives()) {
    SCOPED_TRACE(a.attack);
    ASSERT_FALSE(a.bytes.empty());
    std::size_t length = 0;
    std::string createError, testOutput;
    const bool created = CheckAppendableArchive(a.bytes, length, createError);
    const bool tested = PackTestPasses(a.bytes, testOutput);
    const Decoded walked = DecodeArchive(a.bytes);
    if (a.result == EngineResult::Unsupported) {
      // A method the stub does not decode: the packer decodes the older
      // ones itself, but never appends them as they are.
      EXPECT_FALSE(created);
      EXPECT_NE(createError.find("not as the stub reads it"), std::string::npos) << createError;
      continue;
    }
    EXPECT_EQ(tested, walked.failure.empty()) << testOutput << walked.failure;
    EXPECT_EQ(created, a.readable) << createError;
    EXPECT_EQ(tested, a.readable) << testOutput;
    if (created) {
      EXPECT_EQ(length, a.archiveBytes);  // what follows the end byte is not appended
      // Every member is read, none dropped at a zero byte that is no end.
      EXPECT_EQ(walked.names, a.names);
      EXPECT_NE(testOutput.find(std::to_string(a.names.size()) + " member"), std::string::npos) << testOutput;
      continue;
    }
    // Both say why, in the engine's words (a data CRC by its values).
    for (const std::string& said : {createError, testOutput}) {
      const bool named = said.find(EngineMessage(a.result)) != std::string::npos ||
                         (a.result == EngineResult::Damaged && said.find("data CRC") != std::string::npos);
      EXPECT_TRUE(named) << said;
    }
  }
}
