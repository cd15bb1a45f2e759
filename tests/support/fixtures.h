// The committed fixtures of tests/fixtures and other files of the source
// tree, found from a native test and from a test under Wine alike.
#pragma once

#include <string>

#include "lzh_test_data.h"

namespace enginetest {

// The path of a file of the source tree (relative: "src/ui/resources.rc");
// under Wine through drive Z:, the Linux root.
std::string SourcePath(const std::string& relative);
// The path of tests/fixtures/name.
std::string FixturePath(const std::string& name);
// The whole file; empty when it cannot be read.
Bytes ReadFile(const std::string& path);
// Writes bytes as the file name in the build tree; returns its path.
std::string WriteBuildFile(const std::string& name, const Bytes& bytes);

}  // namespace enginetest
