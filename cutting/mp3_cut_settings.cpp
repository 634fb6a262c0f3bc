// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/mp3_cut_settings.h"

#include <array>
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

void ApplyMP3SourceSettings(TMP3Settings& settings, const TMP3SourceFacts& source) {
  settings.BitRate = BitRateToMP3BitRate(source.Bitrate);
  if (source.Channels == 1) settings.Mode = mmMono;
  if (source.Channels == 2) settings.Mode = mmStereo;
  settings.EnableVBR = source.IsVBR;
  settings.Copyright = source.IsProtected;
}
