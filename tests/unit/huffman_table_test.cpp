// Huffman tables from hand-built code-length lists: complete, empty,
// single-code, oversubscribed and incomplete codes, codes longer than the
// lookup table, and the damaged inputs that must be refused without writing
// outside the arrays.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_test_support.h"

using namespace enginetest;

namespace {
// Starts the bit reader over the bits written so far, followed by a 16-bit
// marker that shows where reading stopped.
Engine& Load(BitWriter& w) {
  w.Put(0xBEEF, 16);
  Bytes data = w.Finish();
  InstallMemoryHost(data);
  Engine& e = TestEngine();
  e.header.compressedRemaining = static_cast<std::int64_t>(data.size());
  ResetArchiveInput(e);
  StartBitReader(e);
  return e;
}

void FillMarker(Engine& e) {
  std::fill(std::begin(e.smallTable), std::end(e.smallTable), 0xAAAA);
  std::fill(std::begin(e.literalTable), std::end(e.literalTable), 0xAAAA);
}
}  // namespace

TEST(HuffmanTable, CompleteCodeFillsTheTableCanonically) {
  BitWriter w;
  w.Put(5, 5);                // count
  PutCodeLength(w, 2);        // sym 0: 00
  PutCodeLength(w, 2);        // sym 1: 01
  PutCodeLength(w, 2);        // sym 2: 10
  w.Put(0, 2);                // zero run after the third length: none
  PutCodeLength(w, 3);        // sym 3: 110
  PutCodeLength(w, 3);        // sym 4: 111
  Engine& e = Load(w);
  ASSERT_EQ(Guarded([](Engine& e) { ReadSmallSetLengths(e, 19, 5, 3); }), EngineResult::Ok);
  EXPECT_EQ(PeekBits(e, 16), 0xBEEF);
  // Each entry: the symbol and the length of its code.
  EXPECT_EQ(e.smallTable[0], SymbolEntry(0, 2));
  EXPECT_EQ(e.smallTable[63], SymbolEntry(0, 2));
  EXPECT_EQ(e.smallTable[64], SymbolEntry(1, 2));
  EXPECT_EQ(e.smallTable[128], SymbolEntry(2, 2));
  EXPECT_EQ(e.smallTable[191], SymbolEntry(2, 2));
  EXPECT_EQ(e.smallTable[192], SymbolEntry(3, 3));
  EXPECT_EQ(e.smallTable[223], SymbolEntry(3, 3));
  EXPECT_EQ(e.smallTable[224], SymbolEntry(4, 3));
  EXPECT_EQ(e.smallTable[255], SymbolEntry(4, 3));
  EXPECT_EQ(e.smallLengths[5], 0);
  EXPECT_EQ(e.smallLengths[18], 0);
}

TEST(HuffmanTable, ZeroRunFollowsTheThirdLengthEvenWhenTheCountIsThree) {
  BitWriter w;
  w.Put(3, 5);
  PutCodeLength(w, 1);
  PutCodeLength(w, 1);
  PutCodeLength(w, 0);
  w.Put(3, 2);  // a run of three more zero lengths
  Engine& e = Load(w);
  ASSERT_EQ(Guarded([](Engine& e) { ReadSmallSetLengths(e, 19, 5, 3); }), EngineResult::Ok);
  EXPECT_EQ(PeekBits(e, 16), 0xBEEF);
  EXPECT_EQ(e.smallTable[0x7F], SymbolEntry(0, 1));
  EXPECT_EQ(e.smallTable[0x80], SymbolEntry(1, 1));
}

TEST(HuffmanTable, EmptyAndSingleCodeSets) {
  // Every length 0: no symbol has a code. Reading such a set is fine (a block
  // without matches may send its position set so); decoding a symbol with it
  // is damage, never a symbol left from an earlier block.
  BitWriter w;
  w.Put(4, 4);
  for (int i = 0; i < 4; ++i) PutCodeLength(w, 0);
  w.Put(0xFFFF, 16);
  Engine& e = Load(w);
  FillMarker(e);
  ASSERT_EQ(Guarded([](Engine& e) {
    e.positionSetSize = 14;
    ReadSmallSetLengths(e, 14, 4, kNoZeroRun);
  }), EngineResult::Ok);
  EXPECT_EQ(PeekBits(e, 16), 0xFFFF);
  EXPECT_EQ(Guarded([](Engine& e) { DecodePosition(e); }), EngineResult::Damaged);

  // Count 0: one code of length 0 whose value fills the table.
  BitWriter s;
  s.Put(0, 9);
  s.Put(300, 9);
  Load(s);
  ASSERT_EQ(Guarded([](Engine& e) { ReadLiteralSetLengths(e); }), EngineResult::Ok);
  EXPECT_EQ(PeekBits(e, 16), 0xBEEF);
  EXPECT_TRUE(std::all_of(std::begin(e.literalTable), std::end(e.literalTable),
                          [](auto e) { return e == SymbolEntry(300, 0); }));
  // Decoding from it consumes no bits.
  static unsigned symbols[3];
  ASSERT_EQ(Guarded([](Engine& e) {
    e.blockRemaining = 3;
    for (unsigned& sym : symbols) sym = DecodeSymbol(e);
  }), EngineResult::Ok);
  EXPECT_EQ(symbols[0], 300u);
  EXPECT_EQ(symbols[2], 300u);
  EXPECT_EQ(PeekBits(e, 16), 0xBEEF);
}

TEST(HuffmanTable, OversubscribedAndIncompleteCodesAreDamage) {
  BitWriter w;
  w.Put(4, 4);
  for (int i = 0; i < 4; ++i) PutCodeLength(w, 1);  // four codes of one bit
  Engine& e = Load(w);
  FillMarker(e);
  EXPECT_EQ(Guarded([](Engine& e) { ReadSmallSetLengths(e, 14, 4, kNoZeroRun); }), EngineResult::Damaged);
  EXPECT_EQ(e.smallTable[0], 0xAAAA);  // refused before anything was written

  BitWriter v;
  v.Put(2, 4);
  PutCodeLength(v, 1);
  PutCodeLength(v, 2);  // half plus a quarter of the code space
  Load(v);
  EXPECT_EQ(Guarded([](Engine& e) { ReadSmallSetLengths(e, 14, 4, kNoZeroRun); }), EngineResult::Damaged);
}

TEST(HuffmanTable, CodesLongerThanTheTableWalkTheTree) {
  // Position set of 17 symbols with lengths 1..16 and 16: a complete code
  // whose codes from 9 bits on live in the overflow tree.
  std::vector<std::uint8_t> lengths(17);
  for (unsigned j = 0; j < 16; ++j) lengths[j] = static_cast<std::uint8_t>(j + 1);
  lengths[16] = 16;
  const auto codes = CanonicalCodes(lengths);
  BitWriter w;
  w.Put(17, 5);
  for (auto len : lengths) PutCodeLength(w, len);
  for (unsigned j = 0; j < 17; ++j) {
    w.Put(codes[j], lengths[j]);
    if (j > 1) w.Put(0, j - 1);  // the smallest position of each bit length
  }
  Engine& e = Load(w);
  static unsigned positions[17];
  ASSERT_EQ(Guarded([](Engine& e) {
    e.positionSetSize = 17;
    ReadSmallSetLengths(e, 17, 5, kNoZeroRun);
    for (unsigned& p : positions) p = DecodePosition(e);
  }), EngineResult::Ok);
  EXPECT_TRUE(e.smallTable[255] & kEntryLink);  // the last entry links into the tree
  EXPECT_EQ(positions[0], 0u);
  for (unsigned j = 1; j < 17; ++j) EXPECT_EQ(positions[j], 1u << (j - 1)) << "symbol " << j;
  EXPECT_EQ(PeekBits(e, 16), 0xBEEF);
}

TEST(HuffmanTable, LiteralSetThroughTheCodeLengthSetWithLongCodes) {
  // Code-length set: symbols 0 and 3..18 in use (15 of 4 bits, 2 of 5 bits).
  std::vector<std::uint8_t> cl(19, 4);
  cl[1] = cl[2] = 0;
  cl[17] = cl[18] = 5;
  const auto clCodes = CanonicalCodes(cl);
  // Literal lengths: symbols 0..14 get 1..15, symbols 300 and 509 get 16.
  std::vector<std::uint8_t> lit(510, 0);
  for (unsigned s = 0; s < 15; ++s) lit[s] = static_cast<std::uint8_t>(s + 1);
  lit[300] = lit[509] = 16;
  const auto litCodes = CanonicalCodes(lit);

  BitWriter w;
  w.Put(19, 5);
  for (unsigned i = 0; i < 19; ++i) {
    PutCodeLength(w, cl[i]);
    if (i == 2) w.Put(0, 2);
  }
  w.Put(510, 9);
  for (auto len : lit) {
    const unsigned sym = len == 0 ? 0 : len + 2u;
    w.Put(clCodes[sym], cl[sym]);
  }
  for (unsigned s : {0u, 11u, 12u, 14u, 300u, 509u}) w.Put(litCodes[s], lit[s]);
  Engine& e = Load(w);
  static unsigned symbols[6];
  ASSERT_EQ(Guarded([](Engine& e) {
    ReadSmallSetLengths(e, 19, 5, 3);
    ReadLiteralSetLengths(e);
    e.blockRemaining = 6;
    for (unsigned& s : symbols) s = DecodeSymbol(e);
  }), EngineResult::Ok);
  EXPECT_EQ(std::vector<unsigned>(symbols, symbols + 6), (std::vector<unsigned>{0, 11, 12, 14, 300, 509}));
  EXPECT_EQ(PeekBits(e, 16), 0xBEEF);
}

TEST(HuffmanTable, DamagedListsAreRefusedInsideTheArrays) {
  struct Case {
    const char* attack;
    void (*write)(BitWriter&);
    void (*read)(Engine&);
  };
  const Case cases[] = {
      {"small-set length 17 from the unary extension",
       [](BitWriter& w) {
         w.Put(1, 5);
         PutCodeLength(w, 17);
       },
       [](Engine& e) { ReadSmallSetLengths(e, 19, 5, 3); }},
      {"literal count 511",
       [](BitWriter& w) {
         w.Put(2, 5);  // code-length set: symbols 0 and 1, one bit each
         PutCodeLength(w, 1);
         PutCodeLength(w, 1);
         w.Put(511, 9);
       },
       [](Engine& e) {
         ReadSmallSetLengths(e, 19, 5, 3);
         ReadLiteralSetLengths(e);
       }},
      {"zero run past symbol 509",
       [](BitWriter& w) {
         w.Put(3, 5);  // code-length set: symbols 0, 1, 2 with 1, 2, 2 bits
         PutCodeLength(w, 1);
         PutCodeLength(w, 2);
         PutCodeLength(w, 2);
         w.Put(0, 2);
         w.Put(510, 9);
         w.Put(3, 2);    // symbol 2: a long zero run
         w.Put(511, 9);  // of 531 lengths
       },
       [](Engine& e) {
         ReadSmallSetLengths(e, 19, 5, 3);
         ReadLiteralSetLengths(e);
       }},
      {"single code 19 in the code-length set",
       [](BitWriter& w) {
         w.Put(0, 5);
         w.Put(19, 5);
       },
       [](Engine& e) { ReadSmallSetLengths(e, 19, 5, 3); }},
      {"single code 510 in the literal/length set",
       [](BitWriter& w) {
         w.Put(0, 9);
         w.Put(510, 9);
       },
       [](Engine& e) { ReadLiteralSetLengths(e); }},
      {"single code 14 in a 14-symbol position set",
       [](BitWriter& w) {
         w.Put(0, 4);
         w.Put(14, 4);
       },
       [](Engine& e) { ReadSmallSetLengths(e, 14, 4, kNoZeroRun); }},
  };
  for (const Case& c : cases) {
    BitWriter w;
    c.write(w);
    Load(w);
    EXPECT_EQ(Guarded(c.read), EngineResult::Damaged) << c.attack;
  }
}
