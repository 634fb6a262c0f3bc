// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp4/mp4_in.h"

#include <algorithm>

TMp4In::TMp4In() {
  SetCodecs({"aac", "alac"});
}

TMp4In::~TMp4In() {
  NotifyDestroying();
  CloseFile();
}

TMp4Reading TMp4In::ReadBoxes() {
  OpenStream();
  struct TClose {
    TMp4In& In;
    ~TClose() { In.CloseStream(); }
  } close{*this};
  const int64_t size = Stream->Size();
  const auto read = [this](uint64_t offset, uint8_t* data, size_t count) {
    if (Stream->Seek(static_cast<int64_t>(offset), soBeginning) != static_cast<int64_t>(offset))
      return false;
    return Stream->Read(data, static_cast<int64_t>(count)) == static_cast<int64_t>(count);
  };
  return ReadMp4Track(read, static_cast<uint64_t>(std::max<int64_t>(size, 0)));
}

void TMp4In::OpenFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount != 0) return;
  if (!StreamAssigned && WideFileName.empty()) {
    TCodedIn::OpenFile();  // raises the missing name's error
    return;
  }
  TMp4Reading reading = ReadBoxes();
  FRefusal = std::move(reading.Refusal);
  FTrack = std::move(reading.Track);
  if (!FRefusal.empty()) {
    FValid = false;
    FTotalSamples = 0;
    FSize = 0;
    return;
  }
  TCodedIn::OpenFile();
  if (!FValid) return;
  // FFmpeg starts where the edit or the tag says; the length is ours to state.
  const TMp4Span span = PlayedSpan(FTrack);
  const int64_t length = RescaleTime(static_cast<uint64_t>(span.Length),
                                     static_cast<uint32_t>(FSampleRate), FTrack.MediaTimescale);
  FTotalSamples = length;
  FSize = length * FrameSize;
  FValid = length > 0;
}

std::string TMp4In::Refusal() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return FRefusal;
}

TMp4Track TMp4In::Track() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return FTrack;
}
