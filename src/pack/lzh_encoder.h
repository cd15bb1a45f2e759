// The packer's compressor for the LZH static-Huffman methods -lh5-, -lh6- and
// -lh7-: LZ77 over each method's own dictionary, parsed by price, coded in
// blocks that each carry their own three code-length lists and end where the
// statistics of the symbols change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/lzh_format.h"

// A row of the format's method table: letter, dictionary, position set.
using LzhMethod = lzh::MethodFormat;

// -lh5-, -lh6- and -lh7-; null for any other letter. Every reader sizes its
// history by the method, so a match never reaches beyond the method's own
// dictionary even though some readers keep more.
const LzhMethod* FindLzhMethod(char letter);

// Inputs below kLzhSegmentedFromBytes are encoded in one piece. Larger ones
// are cut into segments of kLzhSegmentBytes (the last one takes what is
// left), each encoded on its own from a window of the input and joined bit by
// bit: segments can be encoded side by side, and an input of any size in
// bounded memory.
constexpr std::size_t kLzhSegmentBytes = std::size_t{1} << 20;
constexpr std::size_t kLzhSegmentedFromBytes = kLzhSegmentBytes + kLzhSegmentBytes / 2;
// A segment's window: the method's dictionary before the segment (or as much
// of the input as there is), the segment, and up to this many bytes after it,
// which the match finder compares while it enters the segment's last positions.
constexpr std::size_t kLzhSegmentLookaheadBytes = lzh::kMaxMatchBytes;

// Compresses size bytes into the member data of the method. The output depends
// on the input alone, so equal files give equal members.
std::vector<std::uint8_t> LzhEncode(const LzhMethod& method, const std::uint8_t* data,
                                    std::size_t size);

// Encoded bits, whole bytes with the last one padded by zero bits.
struct LzhBits {
  std::vector<std::uint8_t> bytes;
  std::uint64_t bits = 0;
};

// Encodes the segment window[begin, end) of a larger input: window[0, begin)
// is its history, window[end, windowSize) the input's next bytes (see
// kLzhSegmentLookaheadBytes).
LzhBits LzhEncodeSegment(const LzhMethod& method, const std::uint8_t* window,
                         std::size_t windowSize, std::size_t begin, std::size_t end);

// Joins encoded segments bit by bit into bytes.
class LzhBitJoiner {
 public:
  // Appends the piece's bits to out, all but those of a last byte not yet full.
  void Append(const LzhBits& piece, std::vector<std::uint8_t>& out);
  // Appends that last byte, padded by zero bits, if there is one.
  void Finish(std::vector<std::uint8_t>& out);

 private:
  std::uint8_t pending_ = 0;  // pendingBits_ bits, from the top
  int pendingBits_ = 0;
};

// Optimal prefix-code lengths for count symbols of the given weights, none
// longer than maxBits (package-merge). Symbols of weight 0 get length 0. With
// two or more weighted symbols the code is complete (the Kraft sum is exactly
// 1); with one, that symbol gets length 0 as well and the caller writes the
// set's one-symbol form. Returns how many symbols have a weight.
int BuildLimitedCodeLengths(const std::uint32_t* weights, int count, int maxBits,
                            std::uint8_t* lengths);
