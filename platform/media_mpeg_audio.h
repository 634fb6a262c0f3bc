// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace trimora::media {

// One MPEG audio frame header (layers I to III, MPEG-1, 2 and 2.5). Free-format frames
// (bit-rate index 0) are not accepted: their length cannot be read from the header.
struct TMpegHeader {
  uint32_t Word = 0;
  int Version = 0;  // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
  int Layer = 0;    // 1 to 3
  int Bitrate = 0;  // bits per second
  int SampleRate = 0;
  int Channels = 0;
  int FrameBytes = 0;
  int SamplesPerFrame = 0;
};

std::optional<TMpegHeader> ParseMpegHeader(uint32_t word);
std::optional<TMpegHeader> ParseMpegHeader(std::span<const uint8_t> bytes);

// Frames of one stream share version, layer, sample rate and channel count.
bool SameMpegStream(const TMpegHeader& a, const TMpegHeader& b);

// The tag an encoder may put in the first frame instead of audio: Xing (variable bit rate),
// Info (constant bit rate, same layout) or VBRI, and LAME's extension of the Xing tag with
// the encoder delay and padding in samples.
struct TMpegVbrTag {
  enum class TKind { None, Xing, Info, Vbri };
  TKind Kind = TKind::None;
  std::optional<uint32_t> Frames;  // audio frames, the tag frame not counted
  std::optional<uint32_t> Bytes;
  bool HasEncoderDelays = false;
  uint32_t Delay = 0;
  uint32_t Padding = 0;
  std::string Encoder;  // the extension's encoder name, as believed ("LAME3.100")
  std::optional<uint32_t> Quality;  // the Xing tag's quality field (LAME: 100 - 10 V - q)
  int VbrMethod = 0;                // the LAME extension's: 3 to 5 VBR, 2 ABR, 1 and 8 CBR
};

// The VBR quality (0 to 9, LAME's -V) a LAME encoder recorded in `tag`, when it encoded
// with one of its VBR methods and wrote the quality field.
std::optional<int> LameVbrQuality(const TMpegVbrTag& tag);

// Reads the tag of a whole first frame; Kind None when the frame carries audio.
TMpegVbrTag ParseMpegVbrTag(std::span<const uint8_t> frame, const TMpegHeader& header);

// Layer III side information: its size after the header (and the CRC when there is one), and
// the main_data_begin it starts with, the bytes the frame's main data reaches back into the
// frames before it (the bit reservoir); -1 when `frame` is too short to say.
bool HasCrc(const TMpegHeader& header);
int SideInfoBytes(const TMpegHeader& header);
int MainDataBegin(std::span<const uint8_t> frame, const TMpegHeader& header);

// Whether `word` is a layer I to III header whose bit-rate index says "free format".
bool IsFreeFormatHeader(uint32_t word);

// Bytes of ID3v2 tags at the start of `bytes` (0 when none); the caller re-reads at the
// returned offset for a following tag.
int64_t Id3v2TagLength(std::span<const uint8_t> bytes);

}  // namespace trimora::media
