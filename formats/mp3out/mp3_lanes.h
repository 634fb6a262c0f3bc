// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <vector>

#include "formats/mp3out/be_config.h"

// Frames an encoder is given before the first frame of its chunk. One frame of the audio
// before a chunk fills the filter bank and the transform's overlap; the second lets the
// psychoacoustic model's block-type decision and its short history settle, after which a
// chunk's first frame decodes as well as one encoder running through makes it.
inline constexpr int kMP3PrimingFrames = 2;

// The most lanes the sink uses of its own accord.
inline constexpr int kMP3MaxAutoLanes = 8;

struct TMP3LaneOptions {
  int Lanes = 2;
  int ChunkFrames = 0;  // frames per chunk; 0: about four seconds
  int PrimingFrames = kMP3PrimingFrames;
};

// Encodes a constant-bit-rate stream without the bit reservoir on several encoders at once.
// Every frame then carries its own main data, so frames of different encoders can be laid
// side by side: the input is cut into chunks of whole frames, each chunk is encoded by a fresh
// encoder that starts PrimingFrames frames earlier on the audio before the chunk (those frames
// are dropped), and the frames are written in order. An encoder shifted by whole frames lands
// on the same frame grid as one encoder running through, so the frame count, encoder delay
// and padding of the whole stream are those one encoder would give.
//
// Output goes to the caller's `write` on the caller's thread, in stream order: first a
// placeholder for the tag frame, then the audio. TagFrame gives the finished tag frame to put
// over the placeholder. At most Lanes chunks are in flight, so memory stays bounded whatever
// the length.
class TMP3Lanes {
 public:
  using TWrite = std::function<void(const uint8_t*, uint32_t)>;

  // Raises EAuException "LAME Error: N" when the encoder refuses `config`.
  TMP3Lanes(const BE_CONFIG& config, const TMP3LaneOptions& options);
  ~TMP3Lanes();
  TMP3Lanes(const TMP3Lanes&) = delete;
  TMP3Lanes& operator=(const TMP3Lanes&) = delete;

  // Whether the encoder settings allow frames of several encoders side by side.
  static bool Applies(const BE_CONFIG& config);

  int Channels() const { return FChannels; }
  // Takes `frames` interleaved sample frames of Channels() channels.
  void Encode(const int16_t* pcm, size_t frames, const TWrite& write);
  // The input has ended: encodes and writes the rest.
  void Finish(const TWrite& write);
  // A stop: the chunks in flight are dropped and the stream ends with the frames written.
  void Stop();
  // The tag frame of the whole stream (frame count, bytes, encoder delay and padding); empty
  // when no audio was written.
  std::vector<uint8_t> TagFrame() const;

 private:
  struct TChunk;

  void Submit(bool last, const TWrite& write);
  void WriteOldest(const TWrite& write);
  void WriteFrames(const TChunk& chunk, const TWrite& write);
  static void EncodeChunk(const BE_CONFIG& config, TChunk& chunk, const std::atomic<bool>& stop);

  BE_CONFIG FConfig;
  TMP3LaneOptions FOptions;
  int FChannels = 2;
  int FFrameSamples = 1152;  // per channel
  int FDelay = 0;
  int FKbps = 0;
  std::string FEncoder;
  int64_t FChunkIndex = 0;        // of the chunk being filled
  std::vector<int16_t> FFilling;  // its input: priming frames, its own frames, the tail
  int FFillingSkip = 0;           // its priming frames
  std::deque<std::pair<std::unique_ptr<TChunk>, std::future<void>>> FInFlight;
  std::atomic<bool> FStop{false};

  // What the tag frame needs, counted as frames are written.
  uint32_t FFirstHeader = 0;
  uint32_t FFrames = 0;
  uint64_t FAudioBytes = 0;
  uint16_t FMusicCrc = 0;
  int FPadding = -1;  // from the last chunk's encoder; -1 until the stream is complete
};
