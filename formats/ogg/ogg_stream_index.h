// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/ogg/opus_header.h"
#include "formats/ogg/vorbis_headers.h"
#include "pipeline/au_stream.h"

enum class TOggCodec { Opus, Vorbis };

// An audio packet of the stream, placed on the timeline of FFmpeg's decode of the file: what
// `ffmpeg -i file -f s16le -` gives counts from 0 (for Opus after the pre-skip, for Vorbis
// from the first packet that gives samples, whatever the first granule says).
struct TOggAudioPacket {
  int64_t PageOffset = 0;   // of the page the packet begins on
  int32_t IndexOnPage = 0;  // packets begun on that page before it
  int32_t Bytes = 0;
  int64_t Start = 0;    // where its samples begin (negative inside Opus's pre-skip)
  int32_t Samples = 0;  // the samples its decode adds
};

// One reading of an Ogg Opus or Vorbis file: its headers and where each audio packet's
// samples fall. It raises EAuException for a file that is neither, or a damaged one.
struct TOggStreamIndex {
  TOggCodec Codec = TOggCodec::Opus;
  std::vector<uint8_t> IdHeader;
  std::vector<uint8_t> SetupHeader;  // Vorbis only
  std::string Vendor;                // of the source's comment header
  TOpusHead Opus;
  TVorbisId Vorbis;
  std::vector<TOggAudioPacket> Packets;
  int64_t Length = 0;      // the samples FFmpeg's decode gives
  bool Truncated = false;  // the file ends inside a page: Length is what is there
  int SampleRate() const {
    return Codec == TOggCodec::Opus ? 48000 : static_cast<int>(Vorbis.Rate);
  }
};

TOggStreamIndex IndexOggStream(TAuStream& stream);

// The packets that give samples `Start` to `End` (exclusive) of a stream, and the granule
// origin that says the range: after packet k the copy has given Packets[k].Start +
// Packets[k].Samples - Base samples, and it ends at End - Base. For Opus, Start - Base is
// the pre-skip. Vorbis carries no pre-skip: its first granule asks decoders to drop the
// LeadIn samples its copied packets give before Start, which FFmpeg 5.1 and GStreamer 1.22
// play all the same.
struct TOggCopyPlan {
  size_t First = 0, Last = 0;
  int64_t Start = 0, End = 0;
  int64_t Base = 0;
  int64_t LeadIn = 0;
};

// Opus packets before the start that a decoder needs to settle. RFC 7845 (4.6) asks for at
// least 80 ms; after 80 ms FFmpeg's decoder still differs from a straight decode by up to 56
// steps of 16 bits, after 200 ms by at most 9, and it matches bit for bit a little later. The
// longer lead-in costs a few kilobytes and is dropped by the pre-skip.
constexpr int64_t kOpusPreRoll = 9600;

// `endSample` is the last sample of the range, -1 for the stream's end. EAuException for a
// range that holds no sample or reaches beyond the stream.
TOggCopyPlan PlanOggCopy(const TOggStreamIndex& index, int64_t startSample, int64_t endSample);
