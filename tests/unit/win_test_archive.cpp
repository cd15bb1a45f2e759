#include "win_test_archive.h"

#include <cstring>
#include <utility>

#include "archive/crc16.h"

Member::Member(std::string name_, std::string data_, char method_, std::string directory_)
    : name(std::move(name_)), data(std::move(data_)), method(method_), directory(std::move(directory_)) {}

namespace {
std::uint16_t Crc(const std::string& bytes) {
  BuildCrcTable(kCrcPolynomial);
  crcValue = 0;
  return UpdateCrc(bytes.data(), static_cast<long>(bytes.size()));
}

void Put16(std::string& s, std::size_t at, unsigned v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
}  // namespace

// Extended headers: header CRC (first, so its two bytes sit at offsets 27 and
// 28), file name, directory name; the header CRC is computed with its field zero.
std::string MemberBytes(const Member& m) {
  std::vector<std::pair<std::uint8_t, std::string>> ext = {{0x00, std::string(2, '\0')}, {0x01, m.name}};
  if (!m.directory.empty()) ext.push_back({0x02, m.directory});
  std::size_t size = 26;
  for (const auto& e : ext) size += 3 + e.second.size();
  // A size whose low byte is 0 would read as the end byte: add an unknown,
  // empty extended header.
  if ((size & 0xFF) == 0) ext.push_back({0x46, ""});
  std::string h(26, '\0');
  Put16(h, 24, static_cast<unsigned>(3 + ext[0].second.size()));
  for (std::size_t i = 0; i < ext.size(); ++i) {
    h += static_cast<char>(ext[i].first);
    h += ext[i].second;
    std::string next(2, '\0');
    if (i + 1 < ext.size()) Put16(next, 0, static_cast<unsigned>(3 + ext[i + 1].second.size()));
    h += next;
  }
  const std::string payload = m.data + m.extraData;
  Put16(h, 0, static_cast<unsigned>(h.size()));
  std::memcpy(&h[2], "-lh", 3);
  h[5] = m.method;
  h[6] = '-';
  Put32(h, 7, static_cast<std::uint32_t>(payload.size()));
  Put32(h, 11, static_cast<std::uint32_t>(m.data.size()));
  Put32(h, 15, m.unixTime);
  h[19] = static_cast<char>(m.attributes);
  h[20] = 2;
  Put16(h, 21, static_cast<std::uint16_t>(Crc(m.data) + m.crcDelta));
  h[23] = 'M';
  Put16(h, 27, Crc(h));
  return h + payload;
}

std::string ArchiveBytes(const std::vector<Member>& members) {
  std::string bytes;
  for (const Member& m : members) bytes += MemberBytes(m);
  return bytes + '\0';
}

std::string ArchiveFile(const std::vector<Member>& members, unsigned prefixBytes) {
  std::string file(prefixBytes, '\0');
  file[0] = 'M', file[1] = 'Z';
  return file + ArchiveBytes(members);
}
