// SOURCE_DATE_EPOCH, the reproducible-builds convention: a build that sets it
// wants no time in its output later than that moment. Member times above it
// are clamped to it and earlier ones stay, so the same sources checked out at
// different times give byte-identical files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pack/archive_writer.h"

// Reads SOURCE_DATE_EPOCH from the environment: set reports whether it is
// there (an empty value counts as not set). False with a message when it is
// not a whole number of seconds since 1970-01-01 UTC.
bool ReadSourceDateEpoch(bool& set, std::int64_t& epoch, std::string& error);

// The same on a value.
bool ParseSourceDateEpoch(const std::string& value, std::int64_t& epoch, std::string& error);

// Every member time later than epoch becomes epoch.
void ClampTimes(std::vector<PackSource>& sources, std::int64_t epoch);
