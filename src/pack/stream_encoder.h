// Compression of an input of any size in bounded memory: the input is read a
// segment at a time, the segments are encoded on a worker pool, a few at a
// time, and their bits are written in order as they are done.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "pack/lzh_encoder.h"
#include "pack/worker_pool.h"

// Reads up to size bytes into data and sets got; fewer than size only at the
// end of the input. False when the input cannot be read.
using StreamRead = std::function<bool(std::uint8_t* data, std::size_t size, std::size_t& got)>;
// Takes the next bytes of the output; false when they cannot be written.
using StreamWrite = std::function<bool(const std::uint8_t* data, std::size_t size)>;

enum class StreamResult { Done, ReadFailed, WriteFailed };

// Segments in flight per thread of the pool: read and waiting, being encoded,
// or encoded and waiting for the ones before them.
constexpr std::size_t kSegmentsInFlightPerThread = 2;

// Writes the bytes LzhEncode gives for the whole input. Besides what the
// pool's jobs use while they encode, it holds the segment being read, the one
// before it and at most kSegmentsInFlightPerThread segments per thread of the
// pool, with their windows and their output.
StreamResult LzhEncodeStream(const LzhMethod& method, WorkerPool& pool, const StreamRead& read,
                             const StreamWrite& write);
