#include "pack/pack_json.h"

#include <cstdio>

#include "common/file_time.h"
#include "pack/cp932.h"
#include "pack/terminal_text.h"

namespace {
constexpr std::int64_t kSecondsPerDay = 86400;

struct CivilDate {
  std::int64_t year;
  unsigned month, day;
};

// The proleptic Gregorian date of a day counted from 1970-01-01, by eras of
// 400 years (146097 days) starting on 1 March, so that leap days fall last.
CivilDate DateOfDay(std::int64_t days) {
  days += 719468;  // from 0000-03-01
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  const unsigned day = static_cast<unsigned>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  const unsigned month = static_cast<unsigned>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}
}  // namespace

namespace {
void PutBytes(Json& object, const std::string& key, const std::string& bytes) {
  object[key] = TerminalText(bytes, ShownAs::Bytes);
  object[key + "Bytes"] = Hex(bytes);
}
}  // namespace

void PutText(Json& object, const std::string& key, const std::string& text, std::uint32_t codePage) {
  std::string utf8;
  if (CodePageToUtf8(text, codePage, utf8)) object[key] = utf8;
  else PutBytes(object, key, text);
}

std::string IsoUtcTime(std::uint64_t fileTime) {
  const UnixTime time = FileTimeToUnix(fileTime);
  std::int64_t days = time.seconds / kSecondsPerDay, secondOfDay = time.seconds % kSecondsPerDay;
  if (secondOfDay < 0) {
    secondOfDay += kSecondsPerDay;
    --days;
  }
  unsigned fraction = time.nanoseconds / kNanosecondsPerFileTimeUnit;
  const CivilDate date = DateOfDay(days);
  char text[48];
  int n = std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02d",
                        static_cast<long long>(date.year), date.month, date.day,
                        static_cast<int>(secondOfDay / 3600), static_cast<int>(secondOfDay / 60 % 60),
                        static_cast<int>(secondOfDay % 60));
  if (fraction != 0) {
    // Seven digits of 100 ns, without the zeros at the end.
    int digits = 7;
    while (fraction % 10 == 0) {
      fraction /= 10;
      --digits;
    }
    n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), ".%0*u", digits, fraction);
  }
  return std::string(text, static_cast<std::size_t>(n)) + "Z";
}

std::vector<std::string> AttributeWords(std::uint16_t attributes) {
  static const char* const kNames[] = {"read-only", "hidden",    "system",
                                       "volume label", "directory", "archive"};
  std::vector<std::string> words;
  for (unsigned bit = 0; bit < 6; ++bit)
    if (attributes & (1u << bit)) words.push_back(kNames[bit]);
  return words;
}

Json MemberJson(const ArchiveMember& m) {
  Json member = Json::object();
  if (m.nameIsText) member["name"] = m.utf8Name;
  else PutBytes(member, "name", m.name);
  member["directory"] = m.IsDirectory();
  PutText(member, "method", m.MethodName(), lzh::kCodePageShiftJis);
  member["level"] = m.level;
  member["os"] = m.OsName();
  if (m.hasUnixMode) member["unixMode"] = m.unixMode;
  if (m.hasUnixIds) member["unixOwner"] = {{"uid", m.unixUid}, {"gid", m.unixGid}};
  if (!m.unixUser.empty()) PutText(member, "unixUser", m.unixUser, lzh::kCodePageUtf8);
  if (!m.unixGroup.empty()) PutText(member, "unixGroup", m.unixGroup, lzh::kCodePageUtf8);
  if (m.IsSymlink()) member["linkTarget"] = m.nameIsText ? m.linkTarget : std::string();
  member["packedSize"] = m.compressedSize;
  member["size"] = m.originalSize;
  member["crc"] = m.dataCrc;
  member["modified"] = IsoUtcTime(m.modifiedTime);
  member["attributes"] = m.attributes;
  member["attributeNames"] = AttributeWords(m.attributes);
  return member;
}

void PrintJson(const Json& document) {
  // Every text was made valid UTF-8 above, but a path given on the command
  // line need not be; it is shown with U+FFFD rather than refused.
  const std::string text = document.dump(2, ' ', false, Json::error_handler_t::replace);
  std::printf("%s\n", text.c_str());
}
