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

std::string WriteBuildFile(const std::string& name, const Bytes& bytes) {
  const std::string path = std::string(QUORVEL_BINARY_DIR) + "/" + name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
  return path;
}

}  // namespace enginetest
