// A host for the fuzz targets: the archive is the fuzzer's input in memory,
// output is dropped (or kept, for the targets that compare it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/engine.h"

// The engine of the fuzz targets, started afresh over data.
Engine& InstallFuzzHost(const std::uint8_t* data, std::size_t size);
// Moves the archive position (the pass skips member data this way).
void SkipFuzzInput(std::uint64_t bytes);
// Where the engine reads next, and a move there (at most to the input's end).
std::size_t FuzzInputPosition();
void SeekFuzzInput(std::uint64_t position);
// Keeps every byte the engine writes in out (null: drop them again).
void KeepFuzzOutput(std::vector<std::uint8_t>* out);
