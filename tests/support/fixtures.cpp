#include "fixtures.h"

#include <fstream>
#include <iterator>

namespace enginetest {

std::string SourcePath(const std::string& relative) {
  std::string path = std::string(QUORVEL_SOURCE_DIR) + "/" + relative;
#ifdef _WIN32
  path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
#endif
  return path;
}

std::string FixturePath(const std::string& name) { return SourcePath("tests/fixtures/" + name); }

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace enginetest
