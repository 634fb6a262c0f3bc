// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

#include "cutting/kinds/tag_copy.h"
#include "formats/mp3out/mp3_out.h"
#include "formats/mp3out/mp3_settings.h"

// The MP3 writer setting for a source bit rate in bits per second: only the exact rates the
// writer offers match; below 32000 the encoder chooses (mbrAuto); anything else is mbr128.
TMP3BitRate BitRateToMP3BitRate(uint32_t bitsPerSecond);

// The VBR quality whose files average nearest `bitsPerSecond` for `channels` channels.
TMP3Quality NearestVBRQuality(uint32_t bitsPerSecond, int channels);

// What an MP3 cut takes over from its source.
struct TMP3SourceFacts {
  uint32_t Bitrate = 0;  // bits per second
  int Channels = 0;
  bool IsVBR = false;
  bool IsProtected = false;
  std::optional<TMP3Quality> EncoderQuality;  // the VBR quality the source's encoder recorded
};

// The facts as an MP3 source reports them (TMP3In: Bitrate, Channels, IsVBR, IsProtected;
// each opens the file if it is closed).
template <class TSource>
TMP3SourceFacts MP3SourceFacts(TSource& source) {
  TMP3SourceFacts facts;
  facts.Bitrate = source.Bitrate();
  facts.Channels = source.Channels();
  facts.IsVBR = source.IsVBR();
  facts.IsProtected = source.IsProtected();
  if constexpr (requires { source.EncoderVBRQuality(); })
    if (const auto quality = source.EncoderVBRQuality())
      facts.EncoderQuality = static_cast<TMP3Quality>(*quality);
  return facts;
}

// The encoder settings a cut derives from its source: the bit rate through
// BitRateToMP3BitRate, mono for one channel and stereo for two (any other count keeps the
// mode the settings had), VBR when the source is VBR (at the quality its encoder recorded,
// or else the one nearest its average rate, with no floor), Copyright when it is protected.
void ApplyMP3SourceSettings(TMP3Settings& settings, const TMP3SourceFacts& source);

// Everything an MP3 cut carries from its source into its sink before the run: the tags
// (ID3v2 texts, completed from the source file's own tags, into both of the sink's
// containers, and the file's pictures, from `tagFile`: see TagFileOf), then the encoder
// settings. The file names and the source's range are the caller's.
template <class TSource>
void SetUpMP3Cut(TSource& source, const std::filesystem::path& tagFile, TMP3Out& sink) {
  CopyTagsToMP3(source.Id3v2Tags(), tagFile, sink.Id3v2Tags(), sink.Id3v1Tags());
  ApplyMP3SourceSettings(sink, MP3SourceFacts(source));
}
