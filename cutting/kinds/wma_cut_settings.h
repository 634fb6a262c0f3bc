// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cutting/kinds/tag_copy.h"
#include "formats/media/wma_out.h"

// The format of the WMA writer's codec 0 that matches a source, as every WMA cut (main
// window, segment cut, joiner, command line) chooses it.

// "128 kbps, 44 kHz, stereo": the bit rate in kbps snapped to its nominal value when it
// lies in a band around one (91-99 -> 96, 121-134 -> 128, 146-179 -> 160, 186-199 -> 192,
// 251-269 -> 256, 311-329 -> 320), the rate in whole kHz (a space before one digit, as in
// the writer's descriptions " 8 kHz"), "stereo" for more than one channel.
std::string SourceFormatLabel(uint32_t bitsPerSecond, uint32_t sampleRate, int channels);

// The writer's codec 0 format taken when no description matches the source: a general
// default, 128 kbps, 44 kHz, stereo.
inline constexpr int kDefaultWmaFormat = 29;

// The index of the first description that contains `label`, case ignored; kDefaultWmaFormat
// when none does.
int MatchFormatLabel(const std::string& label, const std::vector<std::string>& descriptions);

// The writer's codec 0 format for the source's bit rate, rate and channels (TWMIn: Bitrate,
// SampleRate, Channels; each opens the file if it is closed).
template <class TSource, class TWriter>
int SourceFormatIndex(TSource& source, TWriter& writer) {
  const std::string label = SourceFormatLabel(
      source.Bitrate(), static_cast<uint32_t>(source.SampleRate()), source.Channels());
  return MatchFormatLabel(label, writer.FormatList(0));
}

// Everything a WMA cut carries from its source into its sink before the run: codec 0, the
// matching format (kDefaultWmaFormat when the index found lies past the list), and the ID3v2 texts.
// The file names and the source's range are the caller's.
template <class TSource>
void SetUpWMACut(TSource& source, TWMAOut& sink) {
  sink.CodecIndex = 0;
  int index = SourceFormatIndex(source, sink);
  if (index > sink.FormatCount(0)) index = kDefaultWmaFormat;
  sink.FormatIndex = index;
  CopyId3v2Tags(source.Id3v2Tags(), sink.Id3v2Tags());
}
