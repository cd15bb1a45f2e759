// The commands' output for programs (list --json, info --json): one JSON
// document on standard output. Texts are UTF-8; a text that is no valid code
// page 932 keeps its bytes beside it, in hex, under the key plus "Bytes".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/lzh_format.h"
#include "pack/archive_reader.h"

// Keys stay in the order they are written, which reads best.
using Json = nlohmann::ordered_json;

// object[key]: the text of the code page (932, or 65001 for UTF-8) in UTF-8.
// Text that is not valid in it is given as its bytes with every one that is
// no printable ASCII as \xNN, and its bytes as hex under key + "Bytes".
void PutText(Json& object, const std::string& key, const std::string& text,
             std::uint32_t codePage = lzh::kCodePageShiftJis);

// One member: name, directory or file, method, sizes, CRC, time, attributes.
Json MemberJson(const ArchiveMember& member);

// A Windows file time in ISO 8601, UTC: "2001-02-03T04:05:06Z", with the
// fraction of a second when there is one ("2001-02-03T04:05:06.25Z").
std::string IsoUtcTime(std::uint64_t fileTime);

// The MS-DOS attribute bits that are set, in words ("read-only", "hidden",
// "system", "volume label", "directory", "archive").
std::vector<std::string> AttributeWords(std::uint16_t attributes);

// The document on standard output, indented, with a line end.
void PrintJson(const Json& document);
