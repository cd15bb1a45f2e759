// Headers of levels 0, 1 and 3 as the packer reads them: what each field
// becomes, and each fault that makes a header damaged rather than misread.
#include "pack/header_levels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive/crc16.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::uint32_t v, unsigned width) {
  for (unsigned i = 0; i < width; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Ext(std::uint8_t type, const Bytes& data) {
  Bytes e{type};
  e.insert(e.end(), data.begin(), data.end());
  return e;
}

// A level-0 or -1 header: name, an area after the CRC (level 0) or the
// extended headers (level 1, whose sizes the compressed size counts).
Bytes OldHeader(std::uint8_t level, const std::string& name, const Bytes& area,
                const std::vector<Bytes>& exts = {}, std::uint32_t dataBytes = 5) {
  Bytes tail;
  for (std::size_t i = 0; i < exts.size(); ++i) {
    tail.insert(tail.end(), exts[i].begin(), exts[i].end());
    Put(tail, i + 1 < exts.size() ? static_cast<std::uint32_t>(exts[i + 1].size() + 2) : 0, 2);
  }
  Bytes body = Text("-lh5-");
  Put(body, dataBytes + static_cast<std::uint32_t>(tail.size()), 4);
  Put(body, 100, 4);
  Put(body, (21u << 25) | (9u << 21) | (9u << 16) | (1u << 11) | (46u << 5) | 20u, 4);  // 2001-09-09 01:46:40
  body.push_back(0x21);
  body.push_back(level);
  body.push_back(static_cast<std::uint8_t>(name.size()));
  body.insert(body.end(), name.begin(), name.end());
  Put(body, 0xBEEF, 2);
  body.insert(body.end(), area.begin(), area.end());
  if (level == 1) Put(body, exts.empty() ? 0 : static_cast<std::uint32_t>(exts[0].size() + 2), 2);
  std::uint8_t sum = 0;
  for (std::uint8_t c : body) sum = static_cast<std::uint8_t>(sum + c);
  Bytes h{static_cast<std::uint8_t>(body.size()), sum};
  h.insert(h.end(), body.begin(), body.end());
  h.insert(h.end(), tail.begin(), tail.end());
  return h;
}

// A level-3 header with a header CRC (0x00) first, made right unless told.
Bytes Level3(const std::vector<Bytes>& given, bool crcRight = true) {
  std::vector<Bytes> exts{Ext(0x00, {0, 0})};
  exts.insert(exts.end(), given.begin(), given.end());
  Bytes h;
  Put(h, 4, 2);
  const Bytes method = Text("-lzs-");
  h.insert(h.end(), method.begin(), method.end());
  Put(h, 5, 4);
  Put(h, 100, 4);
  Put(h, 1000000000, 4);
  h.push_back(0x20);
  h.push_back(3);
  Put(h, 0xBEEF, 2);
  h.push_back('U');
  std::uint32_t total = 32;
  for (const Bytes& e : exts) total += static_cast<std::uint32_t>(e.size() + 4);
  Put(h, total, 4);
  for (std::size_t i = 0; i < exts.size(); ++i) {
    Put(h, static_cast<std::uint32_t>(exts[i].size() + 4), 4);
    h.insert(h.end(), exts[i].begin(), exts[i].end());
  }
  Put(h, 0, 4);
  // Each size field stands before its header: the last is the chain's end.
  const std::uint16_t crc = Crc16(0, h.data(), h.size());
  h[33] = static_cast<std::uint8_t>(crc ^ (crcRight ? 0 : 1));
  h[34] = static_cast<std::uint8_t>(crc >> 8);
  return h;
}

HeaderOutcome Read(const Bytes& header, HeaderFields& f) {
  std::size_t pos = 21;
  auto read = [&](std::uint8_t* buffer, std::size_t count) {
    if (count > header.size() - pos) return false;
    std::memcpy(buffer, header.data() + pos, count);
    pos += count;
    return true;
  };
  return ReadOtherLevelHeader(header.data(), header.size() < 21 ? header.size() : 21, read, f);
}

TEST(HeaderLevels, ReadsTheFieldsOfEachLevel) {
  // Unix fields and level 3 are checked against lhasa in tests/pack/levels.sh.
  struct Case {
    const char* what;
    Bytes header;
    std::string name;
    std::int64_t compressed;
    std::uint8_t osId;
    std::uint16_t mode;  // 0: none
  } cases[] = {
      {"level 0: backslashes separate", OldHeader(0, "dir\\sub\\file", {}), "dir/sub/file", 5, 0, 0},
      {"level 0: an Amiga comment after the name", OldHeader(0, std::string("pic\0a comment", 13), {}), "pic", 5, 0, 0},
      {"level 1: 0x01 and 0x02 name it, an unknown header is skipped, the sizes count",
       OldHeader(1, "", {'U'},
                 {Ext(0x01, Text("notes")), Ext(0x02, Text("a\xff" "b\xff")), Ext(0x7E, Text("?")),
                  Ext(0x50, {0xA4, 0x81})}),
       "a/b/notes", 5, 'U', 0100644},
  };
  for (const Case& c : cases) {
    HeaderFields f;
    ASSERT_EQ(Read(c.header, f), HeaderOutcome::Ok) << c.what;
    EXPECT_EQ(f.name, c.name) << c.what;
    EXPECT_EQ(f.compressedSize, c.compressed) << c.what;
    EXPECT_EQ(f.originalSize, 100) << c.what;
    EXPECT_EQ(f.osId, c.osId) << c.what;
    EXPECT_EQ(f.hasUnixMode, c.mode != 0) << c.what;
    if (c.mode) EXPECT_EQ(f.unixMode, c.mode) << c.what;
  }
}

TEST(HeaderLevels, RefusesWhatDoesNotHold) {
  // One byte changed, and the checksum made right again (unless it is the
  // checksum), so that the header fails for the change alone.
  auto withByte = [](Bytes h, std::size_t at, std::uint8_t v) {
    h[at] = v;
    if (at == 1) return h;
    std::uint8_t sum = 0;
    for (std::size_t i = 2; i < 2u + h[0] && i < h.size(); ++i) sum = static_cast<std::uint8_t>(sum + h[i]);
    h[1] = sum;
    return h;
  };
  const Bytes plain = OldHeader(0, "name", {});
  // Two CRC headers, the value written in the first (over the header with both
  // zero): it counts only in the last.
  const Bytes twoCrcs = Level3({Ext(0x01, Text("x")), Ext(0x00, {0, 0})});
  Bytes lastHolds = twoCrcs;
  lastHolds[46] = twoCrcs[33], lastHolds[47] = twoCrcs[34], lastHolds[33] ^= 0x55;
  struct Case {
    const char* what;
    Bytes header;
    HeaderOutcome want;
  } cases[] = {
      {"level 0: the checksum", withByte(plain, 1, static_cast<std::uint8_t>(plain[1] + 1)), HeaderOutcome::Damaged},
      {"level 0: a size below the fixed fields", withByte(plain, 0, 21), HeaderOutcome::Damaged},
      {"level 0: a name longer than the header", withByte(plain, 21, 40), HeaderOutcome::Damaged},
      {"level 0: the file ends inside the header", Bytes(plain.begin(), plain.end() - 3), HeaderOutcome::ReadError},
      {"level 1: extended headers that are the whole compressed size",
       OldHeader(1, "n", {'M'}, {Ext(0x7E, Bytes(40))}, 0), HeaderOutcome::Ok},
      {"level 1: extended headers larger than the compressed size",
       withByte(OldHeader(1, "n", {'M'}, {Ext(0x7E, Bytes(40))}, 0), 7, 10), HeaderOutcome::Damaged},
      {"level 1: an extended header too small for its own fields",
       withByte(OldHeader(1, "n", {'M'}, {Ext(0x7E, {})}), 26, 2), HeaderOutcome::Damaged},
      {"level 3: the header CRC", Level3({Ext(0x01, Text("x"))}, false), HeaderOutcome::Damaged},
      {"level 3: the last of two CRC headers, with both zero", lastHolds, HeaderOutcome::Ok},
      {"level 3: the first of two CRC headers", twoCrcs, HeaderOutcome::Damaged},
      {"level 3: a 64-bit size with the top bit set",
       Level3({Ext(0x42, {0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0})}), HeaderOutcome::Damaged},
  };
  for (const Case& c : cases) {
    HeaderFields f;
    EXPECT_EQ(Read(c.header, f), c.want) << c.what;
  }
}

}  // namespace
