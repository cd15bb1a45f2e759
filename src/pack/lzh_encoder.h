// The packer's compressor for the LZH static-Huffman methods -lh5-, -lh6- and
// -lh7-: LZ77 over each method's own dictionary, parsed by price, coded in
// blocks that each carry their own three code-length lists.
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

// Compresses size bytes into the member data of the method. The output depends
// on the input alone, so equal files give equal members.
std::vector<std::uint8_t> LzhEncode(const LzhMethod& method, const std::uint8_t* data,
                                    std::size_t size);

// Optimal prefix-code lengths for count symbols of the given weights, none
// longer than maxBits (package-merge). Symbols of weight 0 get length 0. With
// two or more weighted symbols the code is complete (the Kraft sum is exactly
// 1); with one, that symbol gets length 0 as well and the caller writes the
// set's one-symbol form. Returns how many symbols have a weight.
int BuildLimitedCodeLengths(const std::uint32_t* weights, int count, int maxBits,
                            std::uint8_t* lengths);
