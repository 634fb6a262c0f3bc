// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/ranges_input.h"

#include <algorithm>
#include <exception>

#include "cutting/time/cut_range.h"
#include "pipeline/au_exception.h"

TRangesInput::~TRangesInput() {
  // A sink reading this source is told first and stops its run while the source is whole.
  NotifyDestroying();
  std::lock_guard lock(DataLock);
  try {
    CloseRange();
  } catch (const std::exception&) {
    // Nothing to report to while being destroyed.
  }
}

void TRangesInput::RefuseWhileBusy() const {
  if (Busy) throw EAuException("The component is busy.");
}

void TRangesInput::SetSource(TAuFileIn* source) {
  std::lock_guard lock(DataLock);
  RefuseWhileBusy();
  if (FSource == source) return;
  if (FSource != nullptr) RemoveFreeNotification(FSource);
  FSource = source;
  if (FSource != nullptr) FreeNotification(FSource);
}

void TRangesInput::SetRanges(std::vector<TFrameRange> ranges, int64_t heldFrames) {
  std::lock_guard lock(DataLock);
  RefuseWhileBusy();
  FRanges = std::move(ranges);
  FHeldFrames = heldFrames;
}

void TRangesInput::SetFades(std::vector<TStretchFades> fades) {
  std::lock_guard lock(DataLock);
  RefuseWhileBusy();
  FFades = std::move(fades);
}

int64_t TRangesInput::FramesRead() const {
  return FFrameBytes > 0 ? FBytesRead / FFrameBytes : 0;
}

void TRangesInput::Notification(TComponent* destroyed) {
  {
    std::lock_guard lock(DataLock);
    if (destroyed == FSource) {
      // A read of a source that is going away ends here; it owes nothing any more.
      FSource = nullptr;
      FRangeOpen = false;
      FIndex = FRanges.size();
    }
  }
  TAuInput::Notification(destroyed);
}

TAuFileIn& TRangesInput::RequireSource() {
  if (FSource == nullptr) throw EAuException("Input not assigned");
  return *FSource;
}

int TRangesInput::QueryBitsPerSample() {
  std::lock_guard lock(DataLock);
  return RequireSource().BitsPerSample();
}

int TRangesInput::QueryChannels() {
  std::lock_guard lock(DataLock);
  return RequireSource().Channels();
}

int TRangesInput::QuerySampleRate() {
  std::lock_guard lock(DataLock);
  return RequireSource().SampleRate();
}

bool TRangesInput::QueryFloatSamples() {
  std::lock_guard lock(DataLock);
  return RequireSource().FloatSamples();
}

int64_t TRangesInput::QueryTotalSamples() {
  std::lock_guard lock(DataLock);
  int64_t total = 0;
  for (const TFrameRange& range : FRanges) total += RangeFrames(range, FHeldFrames);
  return total;
}

void TRangesInput::DoStartRead() {
  RefuseWhileBusy();
  TAuFileIn& source = RequireSource();
  FChannels = source.Channels();
  FBits = source.BitsPerSample();
  FFloats = source.FloatSamples();
  FFrameBytes = int64_t{FBits / 8} * FChannels;
  if (FFrameBytes <= 0) throw EAuException("The file holds no sound this program can read");
  FSize = QueryTotalSamples() * FFrameBytes;
  Busy = true;
  FPosition = 0;
  FBytesRead = 0;
  FIndex = 0;
  try {
    if (!FRanges.empty()) OpenRange(0);
  } catch (...) {
    Busy = false;
    throw;
  }
}

void TRangesInput::OpenRange(size_t index) {
  TAuFileIn& source = RequireSource();
  FIndex = index;
  ApplyRange(source, FRanges[index]);
  FStretchBytes = 0;
  source.StartRead();
  FRangeOpen = true;
}

void TRangesInput::CloseRange() {
  if (!FRangeOpen || FSource == nullptr) return;
  FRangeOpen = false;
  FSource->EndRead();
}

void TRangesInput::DoEndRead() {
  try {
    CloseRange();
  } catch (...) {
    Busy = false;
    throw;
  }
  Busy = false;
}

void TRangesInput::ReadBlock(uint8_t*& buffer, uint32_t& bytes) {
  const uint32_t wanted = bytes;
  buffer = nullptr;
  bytes = 0;
  // The next stretch starts where one comes back empty, until the last has ended.
  while (Busy && FRangeOpen && FSource != nullptr) {
    uint32_t got = wanted;
    FSource->ReadData(buffer, got);
    if (got > 0) {
      Fade(buffer, got);
      bytes = got;
      FBytesRead += got;
      FPosition = std::min<int64_t>(FPosition + got, FSize);
      return;
    }
    CloseRange();
    if (FIndex + 1 >= FRanges.size()) break;
    OpenRange(FIndex + 1);
  }
  EndOfStream = true;
}

void TRangesInput::Fade(uint8_t*& buffer, uint32_t bytes) {
  const int64_t firstFrame = FStretchBytes / FFrameBytes;
  FStretchBytes += bytes;
  if (FIndex >= FFades.size()) return;
  const TStretchFades& fades = FFades[FIndex];
  const int64_t frames = RangeFrames(FRanges[FIndex], FHeldFrames);
  const int64_t endFrame = FStretchBytes / FFrameBytes + 1;
  if (firstFrame >= fades.In && endFrame < frames - fades.Out) return;
  FFaded.assign(buffer, buffer + bytes);
  ApplyFades(FFaded.data(), FFaded.size(), FChannels, FBits, FFloats, firstFrame, frames, fades);
  buffer = FFaded.data();
}
