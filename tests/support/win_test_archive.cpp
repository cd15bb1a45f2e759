#include "win_test_archive.h"

#include <utility>

#include "lzh_test_data.h"

using namespace enginetest;

Member::Member(std::string name_, std::string data_, char method_, std::string directory_)
    : name(std::move(name_)), data(std::move(data_)), method(method_), directory(std::move(directory_)) {}

// Extended headers: header CRC, file name, directory name.
std::string MemberBytes(const Member& m) {
  const std::string payload = m.data + m.extraData;
  HeaderSpec s;
  s.method = std::string("-lh") + m.method + "-";
  s.compressedSize = static_cast<std::uint32_t>(payload.size());
  s.originalSize = static_cast<std::uint32_t>(m.data.size());
  s.timeStamp = m.unixTime;
  s.attribute = m.attributes;
  s.dataCrc = static_cast<std::uint16_t>(ReferenceCrc(Text(m.data)) + m.crcDelta);
  s.extended.push_back({0x01, Text(m.name)});
  if (!m.directory.empty()) s.extended.push_back({0x02, Text(m.directory)});
  if (!m.utf16Name.empty()) {
    Bytes field;
    for (const char16_t unit : m.utf16Name) field.insert(field.end(), {std::uint8_t(unit), std::uint8_t(unit >> 8)});
    s.extended.push_back({0x44, field});
  }
  Bytes h = BuildHeader(s);
  // A size whose low byte is 0 would read as the end byte: add an unknown,
  // empty extended header.
  if ((h.size() & 0xFF) == 0) {
    s.extended.push_back({0x46, {}});
    h = BuildHeader(s);
  }
  return std::string(h.begin(), h.end()) + payload;
}

std::string ArchiveBytes(const std::vector<Member>& members) {
  std::string bytes;
  for (const Member& m : members) bytes += MemberBytes(m);
  return bytes + '\0';
}

std::string ArchiveFile(const std::vector<Member>& members, unsigned prefixBytes) {
  return ExecutablePrefix(prefixBytes) + ArchiveBytes(members);
}

std::string ExecutablePrefix(unsigned prefixBytes) {
  std::string file(prefixBytes, '\0');
  file[0] = 'M', file[1] = 'Z';
  return file;
}
