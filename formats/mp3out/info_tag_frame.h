// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A tag frame ("Info" or "Xing" with LAME's extension: frame count, byte count, seek table, encoder
// delay and padding) made by us for a constant-bit-rate stream whose frames are too small to
// hold it. The encoder leaves the tag out then, and without the delay and padding no decoder
// could give a cut its exact length; so the tag gets a frame of its own, of the same MPEG
// version, sample rate and channel mode as the stream, at the lowest bit rate that holds it,
// while every audio frame keeps the stream's bit rate (as in any variable-bit-rate file,
// whose tag frame has a bit rate of its own). It also stands for the encoder's tag when a
// stream is put together from the frames of several encoders, none of which saw it whole;
// then it has the stream's own bit rate. A lossless cut writes it too, for the frames it
// copied and the delay and padding that make a decoder give exactly the chosen samples.

struct TInfoTagFacts {
  uint32_t AudioHeader = 0;  // the header word of the stream's first audio frame
  uint32_t Frames = 0;       // audio frames, the tag frame not counted
  uint64_t AudioBytes = 0;   // bytes of all audio frames
  uint16_t MusicCrc = 0;     // CRC-16 of those bytes
  int Delay = 0;             // encoder delay and padding in samples
  int Padding = 0;
  int Kbps = 0;         // the stream's bit rate (0 when it varies)
  std::string Encoder;  // the encoder's short name, at most 9 characters are kept
  // A stream of varying bit rate gets a "Xing" tag with the seek table `Toc` (100 entries:
  // the byte position of each hundredth of the time, in 256ths of the stream's bytes); a
  // constant one gets "Info" with the straight line a constant rate makes.
  bool Vbr = false;
  std::vector<uint8_t> Toc;
};

// Bytes of the MPEG layer III frame with header word `header`, padding included; 0 when the
// word is no such header (or a free-format one).
int MP3FrameBytes(uint32_t header);

// Size of the tag frame for a stream whose audio frames have header `audioHeader` (MPEG
// layer III); 0 when no frame of that kind can hold the tag.
int InfoTagFrameBytes(uint32_t audioHeader);

// The finished frame; empty when InfoTagFrameBytes is 0.
std::vector<uint8_t> MakeInfoTagFrame(const TInfoTagFacts& facts);

// The CRC-16 of the tag and its music field (polynomial 0x8005, reflected, starting at 0).
uint16_t TagCrc16(std::span<const uint8_t> bytes, uint16_t crc = 0);
