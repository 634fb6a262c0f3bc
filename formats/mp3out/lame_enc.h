// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/mp3out/be_config.h"

// The encoder's exported interface (beInitStream and its companions) as a small layer of our
// own over libmp3lame. The MP3 sink speaks only this interface.

using BE_ERR = uint32_t;
inline constexpr BE_ERR BE_ERR_SUCCESSFUL = 0;
inline constexpr BE_ERR BE_ERR_INVALID_FORMAT = 1;
inline constexpr BE_ERR BE_ERR_INVALID_FORMAT_PARAMETERS = 2;
inline constexpr BE_ERR BE_ERR_NO_MORE_HANDLES = 3;
inline constexpr BE_ERR BE_ERR_INVALID_HANDLE = 4;
inline constexpr BE_ERR BE_ERR_BUFFER_TOO_SMALL = 5;

struct TBeStream;
using HBE_STREAM = TBeStream*;

// Opens an encoder stream for `config`. `samples` receives the 16-bit samples of all
// channels one call of beEncodeChunk takes at most, `bufferSize` the output buffer every
// call needs at least.
BE_ERR beInitStream(const BE_CONFIG* config, uint32_t* samples, uint32_t* bufferSize,
                    HBE_STREAM* stream);
// Encodes `samples` 16-bit samples of all channels, interleaved, into `output` (bufferSize
// bytes at least); `outputBytes` receives the bytes produced, ready to write.
BE_ERR beEncodeChunk(HBE_STREAM stream, uint32_t samples, const int16_t* input, uint8_t* output,
                     uint32_t* outputBytes);
// Flushes the frames the encoder still holds into `output`.
BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes);
// Releases the stream. Its finished tag frame is kept for the next beWriteVBRHeader made on
// the same thread, so that sinks on other threads cannot swap each other's frames.
BE_ERR beCloseStream(HBE_STREAM stream);
// Writes the tag frame of the stream this thread closed last over the placeholder at the
// start of the audio in the closed file `fileName`, after an ID3v2 tag if the file has one.
BE_ERR beWriteVBRHeader(const char* fileName);

// The finished tag frame of a flushed stream, for a caller that writes the file itself
// (an assigned stream has no file name to give beWriteVBRHeader). Empty when there is none.
std::vector<uint8_t> beLameTagFrame(HBE_STREAM stream);

// An encoder stream as beInitStream opens it, but one that writes no tag frame at all: its
// output is a piece of a longer stream whose tag frame the caller makes.
BE_ERR beInitStreamUntagged(const BE_CONFIG* config, uint32_t* samples, uint32_t* bufferSize,
                            HBE_STREAM* stream);

// What a stream's tag frame says about it: the encoder delay and padding in samples (the
// padding is known once the stream is flushed), the bit rate, the samples per channel of one
// frame and the encoder's short name.
struct TBeStreamFacts {
  int Delay = 0;
  int Padding = 0;
  int Kbps = 0;
  int FrameSamples = 0;
  std::string Encoder;
};
TBeStreamFacts beStreamFacts(HBE_STREAM stream);

// Owner of an open encoder stream: closing it is beCloseStream.
struct TBeStreamCloser {
  void operator()(TBeStream* stream) const { beCloseStream(stream); }
};
using TBeStreamHandle = std::unique_ptr<TBeStream, TBeStreamCloser>;
