// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/wave/adpcm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

std::vector<uint8_t> RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes(n);
  for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  return bytes;
}

TEST(ImaDecoding, BlockSizesGiveTheStandardSampleCounts) {
  const auto codes = RandomBytes(512, 1);
  TImaChannelState mono{1234, 20};
  std::vector<int16_t> out(2 * 252 + 1);
  EXPECT_EQ(DecodeImaMono(mono, std::span(codes).first(256 - 4), out), 505u);
  EXPECT_EQ(out[0], 1234);  // the header sample comes first

  TImaChannelState left{-5, 10};
  TImaChannelState right{7, 30};
  std::vector<int16_t> frames(2 * 505);
  EXPECT_EQ(DecodeImaStereo(left, right, std::span(codes).first(512 - 8), frames), 505u);
  EXPECT_EQ(frames[0], -5);
  EXPECT_EQ(frames[1], 7);
}

TEST(ImaDecoding, SilenceFromZeroStaysZero) {
  const std::vector<uint8_t> codes(16, 0x00);
  TImaChannelState state{0, 0};
  std::vector<int16_t> out(33, 99);
  ASSERT_EQ(DecodeImaMono(state, codes, out), 33u);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t s) { return s == 0; }));
  EXPECT_EQ(state.StepIndex, 0);
}

TEST(ImaDecoding, NeverYieldsMinus32768) {
  std::vector<int16_t> out(2 * 200 + 1);
  for (unsigned seed = 0; seed < 20; ++seed) {
    auto codes = RandomBytes(200, seed);
    for (std::size_t i = 0; i < 40; ++i) codes[i] = 0xFF;  // dive to the bottom first
    TImaChannelState state{-32000, 88};
    DecodeImaMono(state, codes, out);
    EXPECT_EQ(*std::min_element(out.begin(), out.end()), -32767);
    EXPECT_LE(*std::max_element(out.begin(), out.end()), 32767);
  }
}

// A damaged header may carry any byte as its step index; the table ends at 88.
TEST(ImaDecoding, StepIndexAbove88IsClampedTo88) {
  const auto codes = RandomBytes(64, 2);
  std::vector<int16_t> expected(129);
  TImaChannelState reference{100, 88};
  DecodeImaMono(reference, codes, expected);
  for (const uint8_t index : {89, 120, 255}) {
    TImaChannelState state{100, index};
    std::vector<int16_t> out(129);
    DecodeImaMono(state, codes, out);
    EXPECT_EQ(out, expected) << "index " << int{index};
    EXPECT_LE(state.StepIndex, 88);

    // Stereo, with the same codes in both halves of every group.
    std::vector<uint8_t> mirrored(codes);
    for (std::size_t i = 0; i < mirrored.size(); i += 8) {
      std::copy_n(&mirrored[i], 4, &mirrored[i + 4]);
    }
    TImaChannelState left{100, index};
    TImaChannelState right{100, 88};
    std::vector<int16_t> frames(2 * 65);
    DecodeImaStereo(left, right, mirrored, frames);
    for (std::size_t i = 0; i < frames.size(); i += 2) EXPECT_EQ(frames[i], frames[i + 1]) << i;
  }
}

TEST(ImaDecoding, StereoDataOfPartialGroupsReadsNoFurther) {
  const auto codes = RandomBytes(12, 3);  // one whole group, then only the left half of one
  std::vector<uint8_t> padded(codes);
  padded.resize(16, 0);
  TImaChannelState l1{0, 40}, r1{0, 40}, l2{0, 40}, r2{0, 40};
  std::vector<int16_t> out(2 * 13), reference(2 * 17);
  ASSERT_EQ(DecodeImaStereo(l1, r1, codes, out), 13u);
  DecodeImaStereo(l2, r2, padded, reference);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), reference.begin()));
}

TEST(AdpcmDecoding, ShortOutputGetsOnlyWhatFits) {
  const auto codes = RandomBytes(100, 4);
  const std::vector<TMsCoefficientPair> pairs = {{256, 0}};
  TImaChannelState ima{0, 0};
  std::vector<int16_t> out(10);  // vectors of exact size: a write past them trips ASan
  EXPECT_EQ(DecodeImaMono(ima, codes, out), 9u);
  TImaChannelState left{0, 0}, right{0, 0};
  EXPECT_EQ(DecodeImaStereo(left, right, codes, out), 5u);
  TMsChannelState ms{0, 16, 0, 0};
  EXPECT_EQ(DecodeMsMono(ms, pairs, codes, 198, out), 10u * 2);
  TMsChannelState msLeft{0, 16, 0, 0}, msRight{0, 16, 0, 0};
  EXPECT_EQ(DecodeMsStereo(msLeft, msRight, pairs, codes, 100, out), 5u * 4);
  std::vector<int16_t> none;
  EXPECT_EQ(DecodeImaMono(ima, codes, none), 0u);
  EXPECT_EQ(DecodeMsStereo(msLeft, msRight, pairs, codes, 100, none), 0u);
}

TEST(MsDecoding, StartsWithTheHeaderSamplesOldestFirst) {
  const std::vector<TMsCoefficientPair> pairs = {{256, 0}, {512, -256}};
  const std::vector<uint8_t> codes = {0x12, 0x34};
  TMsChannelState state{1, 20, 100, 50};
  std::vector<int16_t> out(6);
  ASSERT_EQ(DecodeMsMono(state, pairs, codes, 4, out), 12u);
  // Pair 1 predicts 2 * s1 - s2, high nibble first; the delta goes 20, 17, 16 (raised from
  // 15), 16 (raised from 14).
  EXPECT_EQ(
      out, (std::vector<int16_t>{50, 100, 150 + 1 * 20, 240 + 2 * 17, 378 + 3 * 16, 578 + 4 * 16}));
  EXPECT_EQ(state.Delta, 16 * 307 / 256);
  EXPECT_EQ(state.Sample1, 642);
  EXPECT_EQ(state.Sample2, 426);
}

TEST(MsDecoding, DeltaNeverFallsBelow16) {
  const std::vector<TMsCoefficientPair> pairs = {{256, 0}};
  const std::vector<uint8_t> codes(50, 0x00);  // adaptation 230/256 shrinks the delta
  for (const int16_t start : {16, 17, 0, -500}) {
    TMsChannelState state{0, start, 0, 0};
    std::vector<int16_t> out(102);
    DecodeMsMono(state, pairs, codes, 100, out);
    EXPECT_EQ(state.Delta, 16) << "start " << start;
  }
}

// A predictor index outside the file's table must not read past it (ASan watches the exact-size
// vector); the block falls back to pair 0.
TEST(MsDecoding, PredictorIndexOutsideTheTableUsesPair0) {
  const std::vector<TMsCoefficientPair> pairs = {{256, 0}, {512, -256}, {0, 0}};
  const auto codes = RandomBytes(40, 5);
  TMsChannelState reference{0, 40, 300, 200};
  std::vector<int16_t> expected(82);
  DecodeMsMono(reference, pairs, codes, 80, expected);
  for (const uint8_t index : {3, 7, 255}) {
    TMsChannelState state{index, 40, 300, 200};
    std::vector<int16_t> out(82);
    DecodeMsMono(state, pairs, codes, 80, out);
    EXPECT_EQ(out, expected) << "index " << int{index};

    TMsChannelState left{index, 40, 300, 200}, right{0, 40, 300, 200};
    std::vector<int16_t> frames(2 * 42);
    const std::vector<uint8_t> same(40, 0x55);  // identical codes for both channels
    DecodeMsStereo(left, right, pairs, same, 40, frames);
    for (std::size_t i = 0; i < frames.size(); i += 2) EXPECT_EQ(frames[i], frames[i + 1]) << i;
  }
  TMsChannelState state{0, 40, 300, 200};
  std::vector<int16_t> out(82);
  DecodeMsMono(state, {}, codes, 80, out);  // a file with no pairs at all predicts nothing
  EXPECT_EQ(out[2], (codes[0] >> 4 >= 8 ? (codes[0] >> 4) - 16 : codes[0] >> 4) * 40);
}

TEST(MsDecoding, MissingCodeBytesCountAsZero) {
  const std::vector<TMsCoefficientPair> pairs = {{460, -208}};
  const auto codes = RandomBytes(10, 6);
  std::vector<uint8_t> padded(codes);
  padded.resize(30, 0);
  TMsChannelState a{0, 100, 1000, 900}, b{0, 100, 1000, 900};
  std::vector<int16_t> shortOut(62), paddedOut(62);
  DecodeMsMono(a, pairs, codes, 60, shortOut);
  DecodeMsMono(b, pairs, padded, 60, paddedOut);
  EXPECT_EQ(shortOut, paddedOut);

  TMsChannelState l1{0, 100, 1000, 900}, r1{0, 50, -1000, -900};
  TMsChannelState l2 = l1, r2 = r1;
  std::vector<int16_t> stereoShort(2 * 32), stereoPadded(2 * 32);
  DecodeMsStereo(l1, r1, pairs, codes, 30, stereoShort);
  DecodeMsStereo(l2, r2, pairs, padded, 30, stereoPadded);
  EXPECT_EQ(stereoShort, stereoPadded);
}

// Extreme coefficients, samples and deltas from a hostile header: no overflow (UBSan watches),
// samples stay in range and the delta saturates instead of wrapping negative.
TEST(MsDecoding, HostileHeadersStayInRange) {
  const std::vector<TMsCoefficientPair> pairs = {{-32768, -32768}, {32767, 32767}};
  const std::vector<uint8_t> codes(200, 0x88);  // largest negative error, largest adaptation
  for (const uint8_t index : {0, 1}) {
    TMsChannelState state{index, 32767, -32768, -32768};
    std::vector<int16_t> out(402);
    DecodeMsMono(state, pairs, codes, 400, out);
    EXPECT_EQ(state.Delta, 32767);
    EXPECT_TRUE(std::all_of(out.begin() + 2, out.end(),
                            [](int16_t s) { return s == -32768 || s == 32767; }));
  }
}

TEST(ImaEncoding, SilenceFromPredictor0GivesCodes0AndIndex0) {
  const std::vector<int16_t> silence(2 * (256 - 4), 0);
  TImaChannelState state{0, 0};
  std::vector<uint8_t> block(256, 0xEE);
  EncodeImaMono(silence, state, block);
  EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(state.StepIndex, 0);

  TImaChannelState left{0, 0}, right{0, 0};
  EncodeImaStereo(std::vector<int16_t>(2 * (512 - 8), 0), left, right, std::span(block).first(256));
  EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(left.StepIndex + right.StepIndex, 0);
}

TEST(ImaEncoding, HeaderCarriesPredictorAndStepIndexAndIndexCarriesOver) {
  std::vector<int16_t> ramp(2 * (64 - 4));
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(-1000 + 100 * i);
  TImaChannelState state{-1234, 7};
  std::vector<uint8_t> block(64);
  EncodeImaMono(ramp, state, block);
  EXPECT_EQ(block[0] | (block[1] << 8), 0xFB2E);  // -1234
  EXPECT_EQ(block[2], 7);
  EXPECT_EQ(block[3], 0);
  EXPECT_GT(state.StepIndex, 7);  // a steep ramp raises the step

  // The decoder rebuilds exactly the encoder's final predictor from the block alone.
  TImaChannelState decoder{-1234, 7};
  std::vector<int16_t> out(2 * 60 + 1);
  DecodeImaMono(decoder, std::span(block).subspan(4), out);
  EXPECT_EQ(out.back(), state.Predictor);
  EXPECT_EQ(decoder.StepIndex, state.StepIndex);
}

// Block sizes too small for a header, or whose stereo data is not whole groups of 8 bytes,
// must not be written past (exact-size vectors under ASan).
TEST(ImaEncoding, OddBlockSizesStayInsideTheBlock) {
  const std::vector<int16_t> samples(64, 1000);
  for (const std::size_t size : {0, 2}) {
    TImaChannelState state{5, 0};
    std::vector<uint8_t> block(size, 0xEE);
    EncodeImaMono(samples, state, block);
    EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == 0; }));
  }
  TImaChannelState headerOnly{5, 3};
  std::vector<uint8_t> block(4);
  EncodeImaMono(samples, headerOnly, block);
  EXPECT_EQ(block, (std::vector<uint8_t>{5, 0, 3, 0}));
  for (const std::size_t size : {4, 12, 20}) {
    TImaChannelState left{5, 0}, right{5, 0};
    std::vector<uint8_t> block(size, 0xEE);
    EncodeImaStereo(samples, left, right, block);
    if (size >= 8) {
      // The left codes of the last, partial group are kept; our decoder reads them back.
      TImaChannelState dl{5, 0}, dr{5, 0};
      std::vector<int16_t> out(2 * (size - 7));
      DecodeImaStereo(dl, dr, std::span(block).subspan(8), out);
      EXPECT_EQ(out[out.size() - 2], left.Predictor) << "size " << size;
    }
  }
}

}  // namespace
