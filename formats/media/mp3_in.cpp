// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/media/mp3_in.h"

TMP3In::~TMP3In() {
  // First, before TWMIn's destructor turns this into a TWMIn under a running read.
  NotifyDestroying();
}

void TMP3In::OpenFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount != 0) return;
  TWMIn::OpenFile();
  if (OpenCount == 0) return;  // nothing was opened, so there is no length to lengthen
  const int32_t extra = FSampleRate / 3;
  FTotalSamples += extra;
  FSize += int64_t{extra} * (FBitsPerSample / 8) * FChannels;
}

int64_t TMP3In::FileTotalSamples() const {
  return TWMIn::FileTotalSamples() + FSampleRate / 3;
}
