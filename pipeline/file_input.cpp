// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/file_input.h"

#include <cmath>
#include <exception>

#include "pipeline/au_exception.h"
#include "pipeline/au_file_stream.h"

void TAuStreamedInput::SetStream(TAuStream* stream) {
  Stream = stream;
  StreamAssigned = stream != nullptr;
}

bool TAuStreamedInput::Seek(int64_t sampleNum) {
  if (!Seekable) return false;
  if (FTotalSamples != 0 && FTotalSamples < sampleNum) return false;
  std::lock_guard lock(DataLock);
  if (!Busy) {
    StartSample = sampleNum;
    EndSample = -1;
    FPosition = sampleNum * FrameSize;
    return true;
  }
  int64_t frame = StartSample + sampleNum;
  bool landed = false;
  try {
    landed = DoSeek(frame);
  } catch (const std::exception&) {
    return false;
  }
  if (landed) FPosition = (frame - StartSample) * FrameSize;
  return landed;
}

void TAuStreamedInput::ReadOnce(uint8_t*& buffer, uint32_t& bytes) {
  ReadBlock(buffer, bytes);
  if (bytes == 0) {
    EndOfStream = true;
    return;
  }
  FPosition += bytes;
  const int64_t size = FSize;
  if (size > 0 && FPosition >= size && !FReadsToDataEnd) {
    EndOfStream = true;
    if (FPosition > size) {
      bytes -= static_cast<uint32_t>(FPosition - size);
      FPosition = size;
    }
  }
}

void TAuStreamedInput::RestartRange() {
  FRestartPending = false;
  if (Seekable) {
    DoSeek(StartSample);
  } else {
    EndRead();
    StartRead();
  }
  FPosition = 0;
}

void TAuStreamedInput::ReadData(uint8_t*& buffer, uint32_t& bytes) {
  std::lock_guard lock(DataLock);
  if (EndOfStream) {
    buffer = nullptr;
    bytes = 0;
    return;
  }
  if (FRestartPending) RestartRange();
  const uint32_t requested = bytes;
  ReadOnce(buffer, bytes);
  if (!(EndOfStream && Loop)) return;
  EndOfStream = false;
  // The range's last block is handed out first; the next read starts the range over.
  if (bytes > 0) {
    FRestartPending = true;
    return;
  }
  RestartRange();
  bytes = requested;
  ReadOnce(buffer, bytes);
  if (EndOfStream && bytes > 0) {
    EndOfStream = false;
    FRestartPending = true;
  }
}

void TAuFileIn::SetFileName(const std::filesystem::path& name) {
  std::lock_guard lock(DataLock);
  RefuseWhileBusy();
  CloseFile();
  WideFileName = name;
}

void TAuFileIn::SetStream(TAuStream* stream) {
  std::lock_guard lock(DataLock);
  RefuseWhileBusy();
  CloseFile();
  TAuStreamedInput::SetStream(stream);
}

// Closing the file under a running read would free the stream its sink's worker reads.
void TAuFileIn::RefuseWhileBusy() const {
  if (Busy) throw EAuException("The component is Busy");
}

bool TAuFileIn::Valid() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return FValid;
}

void TAuFileIn::OpenStream() {
  if (StreamAssigned) return;
  FOwnedStream = std::make_unique<TAuFileStream>(WideFileName, fmOpenRead | fmShareDenyWrite);
  Stream = FOwnedStream.get();
}

void TAuFileIn::CloseStream() {
  if (StreamAssigned) {
    if (Stream != nullptr) Stream->SetPosition(0);
    return;
  }
  Stream = nullptr;
  FOwnedStream.reset();
}

// The queries take DataLock so that a query on the main thread never races a read.
int TAuFileIn::QueryBitsPerSample() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return FBitsPerSample;
}

int TAuFileIn::QueryChannels() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return FChannels;
}

int TAuFileIn::QuerySampleRate() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return FSampleRate;
}

int64_t TAuFileIn::QueryTotalSamples() {
  std::lock_guard lock(DataLock);
  OpenFile();
  const int64_t frameBytes = (static_cast<int64_t>(FChannels) * FBitsPerSample) / 8;
  FTotalSamples = (FSize > 0 && frameBytes > 0) ? FSize / frameBytes : -1;
  return FTotalSamples;
}

int TAuFileIn::QueryTotalTime() {
  std::lock_guard lock(DataLock);
  OpenFile();
  if (FSampleRate == 0 || FChannels == 0 || FBitsPerSample / 8 == 0) return 0;
  const double bytesPerSecond =
      static_cast<double>(FSampleRate) * FChannels * static_cast<double>(FBitsPerSample / 8);
  return static_cast<int>(std::nearbyint(static_cast<double>(FSize) / bytesPerSecond));
}

void TAuFileIn::DoStartRead() {
  if (Busy) throw EAuException("The component is Busy");
  if (!StreamAssigned && WideFileName.empty()) throw EAuException("The file name is not assigned");
  Busy = true;
  FPosition = 0;
  FRestartPending = false;
  try {
    OpenRange();
  } catch (...) {
    // A sink ends only the reads it started, so a failed start must leave the source as it
    // found it: closed and ready for the next run.
    try {
      CloseFile();
    } catch (...) {
      // The start's own error is the one to report.
    }
    Busy = false;
    throw;
  }
}

void TAuFileIn::OpenRange() {
  OpenFile();
  FrameSize = static_cast<uint16_t>((FChannels * FBitsPerSample) / 8);
  if (!FValid || FrameSize == 0) {
    FSampleRate = 8000;
    FBitsPerSample = 8;
    FChannels = 1;
    FTotalSamples = 0;
    FSize = 0;
    FrameSize = 1;
    return;
  }
  FTotalSamples = FSize / FrameSize;
  if (StartSample > 0) {
    Seek(0);
    FPosition = 0;
  }
  if (StartSample > 0 || EndSample != -1) {
    // The last frame is inclusive; an open end, or one at or past the frame count, is the
    // data's last frame, so that Size holds exactly the frames left. An end below the start
    // gives a Size of 0 or less, which sets no limit.
    if (EndSample >= FTotalSamples) EndSample = -1;
    FTotalSamples = (EndSample == -1 ? FTotalSamples - 1 : EndSample) - StartSample + 1;
    FSize = FTotalSamples * FrameSize;
  }
  BufferStart = 1;
  BufferEnd = 0;
}

void TAuFileIn::DoEndRead() {
  CloseFile();
  StartSample = 0;
  EndSample = -1;
  Busy = false;
}
