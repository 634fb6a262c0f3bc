// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "pipeline/component.h"

// The most bytes a sink that only moves samples asks of its input at a time, and the most a
// file source reads at once for it: a copy then makes one system call per MiB and runs at the
// disk's pace, while progress still moves and a Stop is still heard many times a second.
constexpr uint32_t kLargeBlockBytes = 1 << 20;

// Base of every source: decoders and the mixer. A source hands out interleaved integer PCM
// (floats only where FloatSamples says so) by pointer into memory it owns, valid until its
// next read. Reads run on the worker thread of the sink reading the source; property queries
// may run on the main thread before a run.
//
// A concrete source calls NotifyDestroying() first thing in its destructor: a sink reading it
// is told then, and stops its run while the whole source still exists.
class TAuInput : public TComponent {
 public:
  TAuInput() = default;

  int BitsPerSample() { return QueryBitsPerSample(); }
  int Channels() { return QueryChannels(); }
  int SampleRate() { return QuerySampleRate(); }
  int TotalTime() { return QueryTotalTime(); }
  int64_t TotalSamples() { return QueryTotalSamples(); }
  // Whether the samples are IEEE floats of BitsPerSample (32 or 64) bits instead of integers.
  // Only a file source asked to keep its floats hands them out, for a sink that writes them
  // as they are; everything else reads integers.
  bool FloatSamples() { return QueryFloatSamples(); }

  // Bytes delivered since StartRead, and bytes this read will deliver (-1 unknown).
  int64_t Position() const { return FPosition.load(); }
  int64_t Size() const { return FSize.load(); }
  bool IsBusy() const { return Busy.load(); }
  bool IsEndOfStream() const { return EndOfStream.load(); }

  // Opens the source's range for reading; any error comes back as EAuException with the
  // same message, and the source is left at its end.
  void StartRead();
  void EndRead();

  // One read of at most `bytes`; on return `buffer` points into the source's memory and
  // `bytes` is what was delivered, 0 at the end of the data.
  virtual void ReadData(uint8_t*& buffer, uint32_t& bytes);

  // One ReadData copied into `dest`; returns the count, 0 at the end.
  uint32_t ReadInto(void* dest, uint32_t size);
  // Fills `dest` from as many reads as it takes; `endOfData` tells whether the last read
  // came back empty.
  uint32_t ReadFull(void* dest, uint32_t size, bool& endOfData);

 protected:
  virtual int QueryBitsPerSample() = 0;
  virtual int QueryChannels() = 0;
  virtual int QuerySampleRate() = 0;
  virtual int QueryTotalTime() { return 0; }
  virtual int64_t QueryTotalSamples() { return 0; }
  virtual bool QueryFloatSamples() { return false; }
  virtual void DoStartRead() = 0;
  virtual void DoEndRead() = 0;
  virtual void ReadBlock(uint8_t*& buffer, uint32_t& bytes) = 0;

  std::atomic<int64_t> FPosition{0};
  std::atomic<int64_t> FSize{0};
  uint16_t FrameSize = 0;
  bool Seekable = false;
  std::atomic<bool> Busy{false};
  // The format's own decode-buffer cursor; BufferStart > BufferEnd means empty.
  int32_t BufferStart = 1;
  int32_t BufferEnd = 0;
  // Serialises StartRead, EndRead, ReadData and seeking. Re-entrant: a seek happens inside
  // DoStartRead, and a looping read restarts the source while holding it.
  std::recursive_mutex DataLock;
  std::atomic<bool> EndOfStream{false};
};
