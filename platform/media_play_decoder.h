// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/media_av.h"
#include "platform/media_runtime.h"

namespace trimora::media {

// Interleaved signed 16-bit PCM at a rate and channel count.
struct TPlayFormat {
  int Rate = 0;
  int Channels = 0;
  int FrameBytes() const { return Channels * 2; }
};

// The PCM between the player's decoder thread and its output. The decoder waits while it is
// full, so that a long file is never decoded far ahead of what is played.
class TPlayBuffer {
 public:
  explicit TPlayBuffer(size_t capacity);
  // Waits for room; false when the playback is being stopped.
  bool Write(const uint8_t* data, size_t size);
  // The decoder has delivered everything it will.
  void Finish();
  // Wakes a waiting writer for good.
  void Cancel();
  // Up to `size` bytes, never waiting; `data` null throws them away (a silent output).
  size_t Read(uint8_t* data, size_t size);
  // Everything delivered has been read.
  bool Drained() const;
  // Waits up to `limit` until `size` bytes (or the end) are there, so that a device does not
  // start on an empty buffer.
  void WaitForData(size_t size, std::chrono::milliseconds limit);

 private:
  mutable std::mutex FLock;
  std::condition_variable FRoom;
  std::condition_variable FData;
  std::vector<uint8_t> FRing;
  size_t FHead = 0;
  size_t FSize = 0;
  bool FFinished = false;
  bool FCancelled = false;
};

// The reader's byte stream over a plain file; null when the file cannot be read.
std::shared_ptr<IMediaStream> OpenFileStream(const std::filesystem::path& path);

// One file's sound, decoded from a time to a time on a thread of its own into a TPlayBuffer:
// MP3 and WMA through the media runtime's reader, which starts a range on its exact frame;
// other files (WAV) through FFmpeg's demuxer, whose PCM time stamps are exact. Constructing
// opens the file (EMediaPlayerError when it cannot); destroying stops the thread and
// releases the file.
class TPlayDecoder {
 public:
  explicit TPlayDecoder(const std::filesystem::path& path);
  ~TPlayDecoder();
  TPlayDecoder(const TPlayDecoder&) = delete;
  TPlayDecoder& operator=(const TPlayDecoder&) = delete;

  // The file's own rate and channels (more than two are mixed down to two).
  TPlayFormat SourceFormat() const { return FSource; }
  // Decodes [fromMs, toMs) converted to `format` (toMs < 0: to the end of the file).
  void Start(TPlayFormat format, int64_t fromMs, int64_t toMs, TPlayBuffer& buffer);
  void Stop();

 private:
  bool OpenRuntime(const std::filesystem::path& path);
  void OpenDemuxer(const std::filesystem::path& path);
  void Run(TPlayFormat format, int64_t fromMs, int64_t toMs, TPlayBuffer& buffer);
  bool RunRuntime(TPlayFormat format, int64_t fromMs, int64_t toMs, TPlayBuffer& buffer);
  bool RunDemuxer(TPlayFormat format, int64_t fromMs, TPlayBuffer& buffer);
  // Converts `frames` input frames (none: flushes the converter) and writes what lies in
  // the range; false once the range is complete or the playback is being stopped.
  bool Deliver(const uint8_t* const* data, int frames, TPlayFormat format, TPlayBuffer& buffer);
  bool MakeConverter(const AVChannelLayout& layout, AVSampleFormat sampleFormat, int rate,
                     TPlayFormat format);

  std::unique_ptr<TMediaSyncReader> FReader;
  uint16_t FReaderStream = 0;
  TAvFormatPtr FFormat;
  TAvCodecPtr FCodec;
  int FStream = -1;
  TPlayFormat FSource;
  std::atomic<bool> FStopping{false};
  TPlayBuffer* FBuffer = nullptr;
  std::thread FThread;
  // Decoder-thread state: the output frame the next converted sample stands for, and the
  // frames [FFirst, FLast) the range asks for (FLast < 0: to the end).
  int64_t FNext = -1;
  int64_t FFirst = 0;
  int64_t FLast = -1;
  TSwrPtr FConverter;
  std::vector<uint8_t> FScratch;
};

}  // namespace trimora::media
