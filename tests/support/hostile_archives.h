// Archives for every reader of the project to judge alike: the packer's check
// of an archive to append (`create --archive`), `quorvel-pack test`, the
// engine's walk and the stub's passes under Wine. Each is a small archive
// built here, named by what it attacks; most are refused by all of them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "archive/engine_host.h"
#include "lzh_test_data.h"

namespace enginetest {

struct HostileArchive {
  std::string attack;   // what the archive tries
  Bytes bytes;          // from its first header on
  bool readable;        // every reader takes it whole
  // When refused: how (ReadError, Damaged or Unsupported).
  EngineResult result = EngineResult::Ok;
  // Bytes up to and including the end byte, when readable.
  std::size_t archiveBytes = 0;
  // When readable: every member's name as the engine joins it, in order.
  std::vector<std::string> names{};
};

std::vector<HostileArchive> HostileArchives();

}  // namespace enginetest
