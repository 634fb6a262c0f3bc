// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Block codecs for the two ADPCM kinds found in WAV files: IMA (DVI) ADPCM, decoded and
// encoded, and Microsoft ADPCM, decoded only. Every routine handles one block of 1 or 2
// channels with 16-bit signed PCM on the other side; the caller parses the block header into
// the channel states and hands over the code bytes that follow it.
//
// None of them allocates, and none reads or writes outside the spans it is given: when an
// output span is too short for the whole block, only the frames that fit are produced.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

struct TImaChannelState {
  int16_t Predictor = 0;
  uint8_t StepIndex = 0;  // 0 to 88
};

struct TMsChannelState {
  uint8_t PredictorIndex = 0;  // which coefficient pair of the file the block uses
  int16_t Delta = 0;
  int16_t Sample1 = 0;  // the most recent sample
  int16_t Sample2 = 0;  // the one before it
};

// One predictor coefficient pair of a Microsoft ADPCM `fmt ` chunk, in 1/256 units.
struct TMsCoefficientPair {
  int16_t Coef1 = 0;
  int16_t Coef2 = 0;
};

inline constexpr int kImaMaxStepIndex = 88;

inline constexpr std::array<int16_t, kImaMaxStepIndex + 1> kImaStepTable = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

inline constexpr std::array<int8_t, 16> kImaIndexTable = {-1, -1, -1, -1, 2, 4, 6, 8,
                                                          -1, -1, -1, -1, 2, 4, 6, 8};

inline constexpr std::array<int16_t, 16> kMsAdaptationTable = {
    230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};

// Decodes the code bytes of a mono IMA block (block align - 4 of them) into 2n + 1 samples,
// the first being the header sample already in `state`. A step index above 88 from a damaged
// header is clamped to 88. Returns the number of samples written.
std::size_t DecodeImaMono(TImaChannelState& state, std::span<const uint8_t> codes,
                          std::span<int16_t> out);

// Decodes the code bytes of a stereo IMA block (block align - 8 of them, in groups of 4 left
// and 4 right bytes) into n + 1 interleaved frames. Bytes a short final group lacks count as
// zero. Returns the number of frames written.
std::size_t DecodeImaStereo(TImaChannelState& left, TImaChannelState& right,
                            std::span<const uint8_t> codes, std::span<int16_t> out);

// Decodes a mono Microsoft ADPCM block into 2 + 2 * (count div 2) samples, where count is the
// block's samples per block - 2, taken from the file header. Code bytes that the block lacks
// count as zero; a predictor index outside `coefficients` uses pair 0 (or no prediction when
// the file has no pairs). Returns the number of bytes written.
std::size_t DecodeMsMono(TMsChannelState& state, std::span<const TMsCoefficientPair> coefficients,
                         std::span<const uint8_t> codes, int count, std::span<int16_t> out);

// The stereo form: count + 2 interleaved frames, one code byte per frame (high nibble left).
// Returns the number of bytes written.
std::size_t DecodeMsStereo(TMsChannelState& left, TMsChannelState& right,
                           std::span<const TMsCoefficientPair> coefficients,
                           std::span<const uint8_t> codes, int count, std::span<int16_t> out);

// Encodes one mono IMA block into `block` (its size is the block size). The caller has set
// state.Predictor to the block's first sample, which becomes the header sample; `samples` are
// the 2 * (block size - 4) samples after it. The step index carries on to the next block.
void EncodeImaMono(std::span<const int16_t> samples, TImaChannelState& state,
                   std::span<uint8_t> block);

// The stereo form: `frames` holds the block size - 8 interleaved frames after the first one,
// whose samples the caller has put into the two predictors.
void EncodeImaStereo(std::span<const int16_t> frames, TImaChannelState& left,
                     TImaChannelState& right, std::span<uint8_t> block);

// The step index to start an IMA stream with: the smallest whose step reaches `difference`,
// the change between its first two samples, so that a loud start is followed at once
// instead of from the smallest step up.
uint8_t ImaStartStepIndex(int difference);

// One mono or stereo block from the block's interleaved `frames`, the first of which becomes
// the header's samples; `right` is unused for mono. The step indexes carry on to the next
// block.
void EncodeImaBlock(std::span<const int16_t> frames, int channels, TImaChannelState& left,
                    TImaChannelState& right, std::span<uint8_t> block);
