// A host for the fuzz targets: the archive is the fuzzer's input in memory,
// output is counted and dropped, messages are counted.
#pragma once

#include <cstddef>
#include <cstdint>

void InstallFuzzHost(const std::uint8_t* data, std::size_t size);
// Moves the archive position (the pass skips member data this way).
void SkipFuzzInput(std::uint64_t bytes);
