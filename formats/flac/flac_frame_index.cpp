// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/flac/flac_frame_index.h"

#include <algorithm>
#include <cstring>

#include "formats/flac/flac_crc.h"
#include "pipeline/au_exception.h"

namespace {

// Bytes read from the file at once: the walk runs at the disk's pace and memory stays small.
constexpr size_t kReadBytes = 1 << 20;

}  // namespace

TFlacFrameIndex::TFlacFrameIndex(TAuStream& stream, const TFlacStart& start)
    : FStream(stream), FInfo(start.Info), FSize(stream.Size()), FNext(start.AudioOffset) {}

bool TFlacFrameIndex::Reach(int64_t k) {
  while (Known() <= k)
    if (!FindNext()) return false;
  return true;
}

void TFlacFrameIndex::ReachEnd() {
  while (FindNext()) {
  }
}

int64_t TFlacFrameIndex::Samples() const {
  if (FFrames.empty()) return 0;
  return FFrames.back().FirstSample + FFrames.back().BlockSize;
}

int64_t TFlacFrameIndex::FrameAt(int64_t sample) {
  if (sample < 0) return -1;
  while (Samples() <= sample)
    if (!FindNext()) return -1;
  const auto it =
      std::upper_bound(FFrames.begin(), FFrames.end(), sample,
                       [](int64_t s, const TFrame& frame) { return s < frame.FirstSample; });
  return static_cast<int64_t>(it - FFrames.begin()) - 1;
}

const uint8_t* TFlacFrameIndex::FrameBytes(int64_t k) {
  const TFrame& frame = Frame(k);
  size_t available = 0;
  const uint8_t* p = Window(frame.Offset, frame.Bytes, available);
  if (available < frame.Bytes) throw EAuException("The FLAC file could not be read again");
  return p;
}

// Whether a good header of this stream starts within the next 64 KiB: the bytes after the
// last frame found are then damaged frames, not a tag after the stream.
bool TFlacFrameIndex::FramesFollow(int64_t offset) {
  size_t available = 0;
  const uint8_t* p = Window(offset, (64 << 10) + kFlacMaxHeaderBytes, available);
  for (size_t at = 0; at + 1 < available; ++at) {
    if (p[at] != 0xFF || (p[at + 1] & 0xFE) != 0xF8) continue;
    const auto header = ParseFlacFrameHeader(p + at, available - at);
    if (header && header->VariableBlockSize == FVariable && Matches(*header)) return true;
  }
  return false;
}

void TFlacFrameIndex::Stop(const std::string& problem, int64_t offset) {
  FEnded = true;
  if (!problem.empty())
    FProblem = "The FLAC file is damaged at byte " + std::to_string(offset) + ": " + problem;
}

bool TFlacFrameIndex::Matches(const TFlacFrameHeader& header) const {
  return header.Channels == FInfo.Channels &&
         (header.SampleRate == 0 || header.SampleRate == FInfo.SampleRate) &&
         (header.BitsPerSample == 0 || header.BitsPerSample == FInfo.BitsPerSample);
}

bool TFlacFrameIndex::FindNext() {
  if (FEnded) return false;
  size_t available = 0;
  const uint8_t* p = Window(FNext, kFlacMaxHeaderBytes, available);
  const auto header = ParseFlacFrameHeader(p, available);
  if (!header) {
    // Where the frames end, the data must end too, or hold no more frames: a header further
    // on means frames were lost.
    if (FFrames.empty())
      Stop("no FLAC frame begins where the metadata ends", FNext);
    else
      Stop(available > 0 && FramesFollow(FNext) ? "frames are lost here" : "", FNext);
    return false;
  }
  if (!FFrames.empty() && header->VariableBlockSize != FVariable) {
    Stop("its frames change their blocking strategy", FNext);
    return false;
  }
  if (!Matches(*header)) {
    Stop("a frame does not match the STREAMINFO block (rate, channels or sample size)", FNext);
    return false;
  }
  int64_t end = 0;
  if (!FindEnd(FNext, *header, end)) {
    // A frame that fails its check where the data ends is one cut short, as a download or a
    // copy that broke off leaves it: the stream ends before it, as a decoder plays it.
    const size_t limit =
        FlacFrameBytesLimit(header->BlockSize, FInfo.Channels, FInfo.BitsPerSample);
    const bool cutShort = FSize - FNext <= static_cast<int64_t>(limit);
    Stop(cutShort ? "" : "a frame's check sum fails", FNext);
    return false;
  }
  TFrame frame;
  frame.Offset = FNext;
  frame.Bytes = static_cast<uint32_t>(end - FNext);
  frame.BlockSize = header->BlockSize;
  frame.HeaderBytes = static_cast<uint8_t>(header->Bytes);
  frame.FirstSample = Samples();
  if (FFrames.empty()) FVariable = header->VariableBlockSize;
  FFrames.push_back(frame);
  FNext = end;
  return true;
}

// Walks the frame's bytes with its CRC-16 running. The frame ends at the first place where
// the CRC comes out 0 and a good header of the next frame starts. Failing that it is the last
// frame: it ends at the end of the data where its CRC is 0 there, or else at the first place
// it is (before trailing bytes that are no frame); without one it is damaged.
bool TFlacFrameIndex::FindEnd(int64_t offset, const TFlacFrameHeader& header, int64_t& end) {
  const size_t limit = FlacFrameBytesLimit(header.BlockSize, FInfo.Channels, FInfo.BitsPerSample);
  size_t available = 0;
  const uint8_t* p = Window(offset, limit + kFlacMaxHeaderBytes, available);
  const size_t stop = std::min(available, limit + 1);
  uint16_t crc = FlacCrc16(p, header.Bytes);
  size_t done = header.Bytes;
  bool sawHeader = false;
  for (size_t at = header.Bytes + 1; at < stop;) {
    const auto* hit = static_cast<const uint8_t*>(std::memchr(p + at, 0xFF, stop - at));
    if (hit == nullptr) break;
    const size_t pos = static_cast<size_t>(hit - p);
    crc = FlacCrc16(p + done, pos - done, crc);
    done = pos;
    at = pos + 1;
    if (pos + 1 >= available || (p[pos + 1] & 0xFE) != 0xF8) continue;
    const auto next = ParseFlacFrameHeader(p + pos, available - pos);
    if (!next) continue;
    if (crc == 0 && next->VariableBlockSize == header.VariableBlockSize && Matches(*next)) {
      end = offset + static_cast<int64_t>(pos);
      return true;
    }
    sawHeader = true;
  }
  // The zeros of the CRC between the hits were not looked at: walk again byte by byte, which
  // happens once, at the last frame (or a damaged one). The end of the data is where a last
  // frame ends unless bytes follow it; the CRC comes out 0 by chance once in 65536 places, so
  // an earlier 0 is taken only when the end's is not, and only when no header followed it (a
  // frame with frames after it that never checks is damaged, not the last).
  const size_t from = header.Bytes + 2;
  const size_t tail = std::min(available, limit);
  if (from > tail) return false;
  crc = FlacCrc16(p, from);
  int64_t firstZero = -1;
  for (size_t e = from;; ++e) {
    if (crc == 0 && firstZero < 0) firstZero = offset + static_cast<int64_t>(e);
    if (e >= tail) break;
    crc = FlacCrc16(p + e, 1, crc);
  }
  if (crc == 0 && offset + static_cast<int64_t>(tail) == FSize) {
    end = FSize;
    return true;
  }
  end = firstZero;
  return firstZero >= 0 && !sawHeader;
}

const uint8_t* TFlacFrameIndex::Window(int64_t offset, size_t count, size_t& available) {
  if (offset < 0 || offset >= FSize) {
    available = 0;
    return FBuffer.data();
  }
  const int64_t want = std::min<int64_t>(static_cast<int64_t>(count), FSize - offset);
  const int64_t bufferEnd = FBufferStart + static_cast<int64_t>(FBufferBytes);
  if (offset < FBufferStart || offset + want > bufferEnd) {
    // Keep what is still ahead of `offset`, and read on from there.
    size_t keep = 0;
    if (offset >= FBufferStart && offset < bufferEnd) {
      keep = static_cast<size_t>(bufferEnd - offset);
      std::memmove(FBuffer.data(), FBuffer.data() + (offset - FBufferStart), keep);
    }
    const size_t capacity = std::max(kReadBytes, static_cast<size_t>(want));
    if (FBuffer.size() < capacity) FBuffer.resize(capacity);
    FBufferStart = offset;
    FBufferBytes = keep;
    FStream.SetPosition(offset + static_cast<int64_t>(keep));
    while (FBufferBytes < capacity && FBufferStart + static_cast<int64_t>(FBufferBytes) < FSize) {
      const int64_t n = FStream.Read(FBuffer.data() + FBufferBytes,
                                     static_cast<int64_t>(capacity - FBufferBytes));
      if (n <= 0) break;
      FBufferBytes += static_cast<size_t>(n);
    }
  }
  available = static_cast<size_t>(
      std::min<int64_t>(want, FBufferStart + static_cast<int64_t>(FBufferBytes) - offset));
  return FBuffer.data() + (offset - FBufferStart);
}
