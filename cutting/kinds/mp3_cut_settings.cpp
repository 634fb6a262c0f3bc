// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/kinds/mp3_cut_settings.h"

#include <array>
#include <cmath>
#include <utility>

TMP3BitRate BitRateToMP3BitRate(uint32_t bitsPerSecond) {
  if (bitsPerSecond < 32000) return mbrAuto;
  static constexpr std::array<std::pair<uint32_t, TMP3BitRate>, 15> kExact = {{
      {32000, mbr32},
      {40000, mbr40},
      {48000, mbr48},
      {56000, mbr56},
      {64000, mbr64},
      {80000, mbr80},
      {96000, mbr96},
      {112000, mbr112},
      {128000, mbr128},
      {144000, mbr144},
      {160000, mbr160},
      {192000, mbr192},
      {224000, mbr224},
      {256000, mbr256},
      {320000, mbr320},
  }};
  for (const auto& [rate, setting] : kExact)
    if (rate == bitsPerSecond) return setting;
  return mbr128;
}

TMP3Quality NearestVBRQuality(uint32_t bitsPerSecond, int channels) {
  // What the encoder's qualities 0 to 9 average on stereo music at 44.1 kHz, in kbps. A mono
  // file takes about half the rate of a stereo one at the same quality.
  static constexpr std::array<uint32_t, 10> kStereoKbps = {245, 225, 190, 175, 165,
                                                           130, 115, 100, 85,  65};
  const double kbps = bitsPerSecond / 1000.0 * (channels == 1 ? 2.0 : 1.0);
  size_t nearest = 0;
  for (size_t q = 1; q < kStereoKbps.size(); ++q)
    if (std::abs(kStereoKbps[q] - kbps) < std::abs(kStereoKbps[nearest] - kbps)) nearest = q;
  return static_cast<TMP3Quality>(nearest);
}

void ApplyMP3SourceSettings(TMP3Settings& settings, const TMP3SourceFacts& source) {
  settings.BitRate = BitRateToMP3BitRate(source.Bitrate);
  if (source.Channels == 1) settings.Mode = mmMono;
  if (source.Channels == 2) settings.Mode = mmStereo;
  settings.EnableVBR = source.IsVBR;
  if (source.IsVBR) {
    // A VBR file's average rate is no setting of its own: its encoder's quality is, where
    // the tag records it; else the quality that gives about the same average (a guess that
    // is far off for quiet or simple music). The bit rate (the floor under VBR) is left to
    // the encoder.
    settings.VBRQuality = source.EncoderQuality
                              ? *source.EncoderQuality
                              : NearestVBRQuality(source.Bitrate, source.Channels);
    settings.BitRate = mbrAuto;
  }
  settings.Copyright = source.IsProtected;
}
