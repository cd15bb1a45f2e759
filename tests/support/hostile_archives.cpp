#include "hostile_archives.h"

#include "archive/engine_host.h"
#include "common/lzh_format.h"
#include "fixtures.h"

namespace enginetest {
namespace {

Bytes Joined(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Members, then the end byte.
Bytes Archive(std::initializer_list<Bytes> members) {
  Bytes out = Joined(members);
  out.push_back(0);
  return out;
}

// A stored member "a.txt" of data, its header changed by change.
template <typename Change>
Bytes StoredWith(const std::string& data, Change change) {
  HeaderSpec s;
  s.method = "-lh0-";
  s.compressedSize = s.originalSize = static_cast<std::uint32_t>(data.size());
  s.dataCrc = ReferenceCrc(Text(data));
  s.extended.push_back({0x01, Text("a.txt")});
  change(s);
  Bytes m = BuildHeader(s);
  m.insert(m.end(), data.begin(), data.end());
  return m;
}

Bytes Le64(std::uint64_t v) {
  Bytes b;
  for (int i = 0; i < 8; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  return b;
}

HostileArchive Readable(std::string attack, Bytes bytes, std::vector<std::string> names,
                        std::size_t archiveBytes = 0) {
  HostileArchive a{std::move(attack), std::move(bytes), true};
  a.archiveBytes = archiveBytes ? archiveBytes : a.bytes.size();
  a.names = std::move(names);
  return a;
}

// A -lh5- member "big.bin" whose header claims originalSize bytes while its
// data, a valid block, decodes to three bytes only.
Bytes ClaimingMoreThanItsData(std::uint32_t originalSize) {
  StreamWriter w(lzh::kMethodLh5.positionSetSize, lzh::kMethodLh5.positionCountBits);
  w.BeginBlock(3);
  for (char c : std::string("abc")) w.Put(Token::Lit(static_cast<unsigned char>(c)));
  const Bytes stream = w.Finish();
  HeaderSpec s;
  s.method = "-lh5-";
  s.compressedSize = static_cast<std::uint32_t>(stream.size());
  s.originalSize = originalSize;
  s.dataCrc = ReferenceCrc(Text("abc"));
  s.extended.push_back({0x01, Text("big.bin")});
  return Joined({BuildHeader(s), stream});
}

HostileArchive Refused(std::string attack, Bytes bytes, EngineResult result = EngineResult::Damaged) {
  HostileArchive a{std::move(attack), std::move(bytes), false};
  a.result = result;
  return a;
}

}  // namespace

std::vector<HostileArchive> HostileArchives() {
  const Bytes first = StoredMember("first.txt", "first");
  const Bytes good = Archive({first, StoredMember("b.txt", "second member")});
  std::vector<HostileArchive> all;

  all.push_back(Readable("two stored members", good, {"first.txt", "b.txt"}));
  all.push_back(Readable("bytes behind the end byte, never read",
                         Joined({good, Bytes(64, 0xEE)}), {"first.txt", "b.txt"}, good.size()));
  all.push_back(Readable("only the end byte", Bytes{0}, {}));
  all.push_back(Readable("compressed members of every method made by jlha", ReadFile(FixturePath("mixed.lzh")),
                         {"docs/", "docs/small.txt", "spaces.txt", "zeros.bin"}));
  all.push_back(Readable("an unknown extended header, skipped",
                         Archive({StoredWith("x", [](HeaderSpec& s) { s.extended.push_back({0x46, Text("zz")}); })}),
                         {"a.txt"}));
  {
    // A directory entry has no data in the format; bytes it counts anyway
    // are passed over.
    HeaderSpec s;
    s.method = "-lhd-";
    s.compressedSize = 5;
    s.extended.push_back({0x02, Text("docs\xFF")});
    all.push_back(Readable("a directory entry with data of its own",
                           Archive({Joined({BuildHeader(s), Text("JJJJJ")}), first}), {"docs/", "first.txt"}));
  }
  {
    // Other writers make such headers; its first byte, the size's low byte,
    // is 0 like the end byte.
    HeaderSpec s;
    s.method = "-lh0-";
    s.originalSize = s.compressedSize = 1;
    s.dataCrc = ReferenceCrc(Text("z"));
    s.extended.push_back({0x01, Text("z")});
    s.padTo = 256;
    all.push_back(Readable("a member header of exactly 256 bytes after the first member",
                           Archive({first, BuildHeader(s), Text("z")}), {"first.txt", "z"}));
  }

  all.push_back(Refused("a file times header of 1 byte",
                        Archive({StoredWith("x", [](HeaderSpec& s) { s.extended.push_back({0x41, {0x00}}); })})));
  all.push_back(Refused("an attributes header of 1 byte",
                        Archive({StoredWith("x", [](HeaderSpec& s) { s.extended.push_back({0x40, {0x21}}); })})));
  all.push_back(Refused("a header CRC header of 1 byte", Archive({StoredWith("x", [](HeaderSpec& s) {
                          s.withCrcHeader = false;
                          s.extended.push_back({0x00, {0x12}});
                        })})));
  all.push_back(Refused("no header CRC",
                        Archive({StoredWith("x", [](HeaderSpec& s) { s.withCrcHeader = false; })})));
  all.push_back(Refused("64-bit sizes with the top bit set", Archive({StoredWith("x", [](HeaderSpec& s) {
                          s.extended.push_back({0x42, Joined({Le64(1ull << 63), Le64(1)})});
                        })})));
  all.push_back(Refused("a stored member whose two sizes differ", Archive({StoredWith("xy", [](HeaderSpec& s) {
                          s.originalSize = 1;
                          s.dataCrc = ReferenceCrc(Text("x"));
                        })})));
  all.push_back(Refused("method -lh1-",
                        Archive({StoredWith("x", [](HeaderSpec& s) { s.method = "-lh1-"; })}), EngineResult::Unsupported));
  all.push_back(Refused("method -lzs-",
                        Archive({StoredWith("x", [](HeaderSpec& s) { s.method = "-lzs-"; })}), EngineResult::Unsupported));
  all.push_back(Refused("header level 1", Archive({StoredWith("x", [](HeaderSpec& s) { s.level = 1; })})));
  all.push_back(Refused("a joined name longer than the stub's 287 bytes",
                        Archive({StoredWith("x", [](HeaderSpec& s) {
                          s.extended.push_back({0x02, Text(std::string(200, 'd') + "\xFF")});
                          s.extended[0].second = Text(std::string(90, 'f'));
                        })})));
  {
    Bytes m = first;
    m[27] ^= 0x01;  // the stored header CRC
    all.push_back(Refused("a wrong header CRC", Archive({m})));
    m = first;
    m[15] ^= 0x01;  // the time stamp, under the header CRC
    all.push_back(Refused("a changed byte under the header CRC", Archive({m})));
    m = first;
    m[0] = 20;  // a header size below the 26-byte fixed part
    all.push_back(Refused("a header size below the fixed part", Archive({m})));
  }
  {
    // The last next-size field (the header's last two bytes) announces an
    // extended header that would run past the header's end.
    Bytes h = StoredWith("", [](HeaderSpec&) {});
    h[h.size() - 2] = 40;
    SealHeader(h);
    all.push_back(Refused("an extended header chain running past the header", Archive({h})));
    h = StoredWith("", [](HeaderSpec&) {});
    h[24] = 2;  // the first extended header's size, below its own type byte and size field
    SealHeader(h);
    all.push_back(Refused("an extended header size below 3", Archive({h})));
  }
  all.push_back(Refused("a wrong data CRC",
                        Archive({StoredWith("data", [](HeaderSpec& s) { s.dataCrc ^= 0x0100; })})));
  all.push_back(Refused("an archive cut inside the second header",
                        Bytes(good.begin(), good.begin() + static_cast<long>(first.size() + 10))));
  all.push_back(Refused("no end byte", Bytes(good.begin(), good.end() - 1)));
  {
    const Bytes m = StoredMember("long.txt", std::string(100, 'L'));
    all.push_back(Refused("member data cut short", Bytes(m.begin(), m.end() - 40), EngineResult::ReadError));
  }
  {
    Bytes lh5 = ReadFile(FixturePath("sample-lh5.lzh"));
    if (lh5.size() > 40) lh5[lh5.size() - 40] ^= 0x10;
    all.push_back(Refused("a changed byte in compressed data", lh5));
  }
  all.push_back(Refused("a compressed member that claims more bytes than its data holds",
                        Archive({ClaimingMoreThanItsData(1000000), first})));
  return all;
}

}  // namespace enginetest
