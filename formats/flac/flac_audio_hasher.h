// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "formats/flac/flac_frame_decoder.h"

struct AVMD5;

// The MD5 of a stream's audio as STREAMINFO holds it: over the samples interleaved, each as
// a little-endian signed integer of just enough whole bytes for the sample size.
//
// Every copied frame must be decoded for it, which costs more than the copy itself; so the
// sum is taken on a thread of its own, which also decodes the frames handed to it whole,
// while the caller's thread copies on (and decodes what it hands over as samples). The parts
// are summed in the order they are added.
class TFlacAudioHasher {
 public:
  explicit TFlacAudioHasher(const TFlacStreamInfo& info);
  ~TFlacAudioHasher();
  TFlacAudioHasher(const TFlacAudioHasher&) = delete;
  TFlacAudioHasher& operator=(const TFlacAudioHasher&) = delete;

  // A run of whole frames, back to back in `bytes`, given as (bytes, samples) in `frames`:
  // the thread decodes them and sums every sample.
  void AddFrames(std::vector<uint8_t> bytes, std::vector<std::pair<uint32_t, uint32_t>> frames);
  // Samples already in the summed form (see PackSamples).
  void AddPacked(std::vector<uint8_t> packed);
  // Raises the error of a frame the thread could not decode, if there was one.
  void Check();
  // Waits for every part and gives the sum; raises as Check does.
  std::array<uint8_t, 16> Finish();

  // `count` frames of `decoded` from `first` on, in the summed form, appended to `out`.
  static void PackSamples(const TFlacFrameDecoder::TDecoded& decoded, uint32_t channels,
                          uint32_t bitsPerSample, uint32_t first, uint32_t count,
                          std::vector<uint8_t>& out);
  static void PackSamples(const int32_t* samples, size_t count, uint32_t bitsPerSample,
                          std::vector<uint8_t>& out);

 private:
  struct TPart {
    std::vector<uint8_t> Bytes;
    std::vector<std::pair<uint32_t, uint32_t>> Frames;  // bytes and samples; none: packed
  };
  struct TMd5Freer {
    void operator()(AVMD5* md5) const;
  };

  void Add(TPart part);
  void Work();
  void Sum(TPart& part);

  TFlacStreamInfo FInfo;
  TFlacFrameDecoder FDecoder;  // the thread's own
  std::unique_ptr<AVMD5, TMd5Freer> FMd5;
  std::vector<uint8_t> FPacked;

  std::mutex FLock;
  std::condition_variable FChanged;
  std::deque<TPart> FParts;  // guarded by FLock, as are the two below
  bool FBusy = false;
  bool FClosing = false;
  std::string FError;
  std::thread FThread;  // last: it starts once everything above exists
};
