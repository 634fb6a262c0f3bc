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
  FTotalSamples = TMP3In::FileTotalSamples();
  FSize = FTotalSamples * (FBitsPerSample / 8) * FChannels;
}

int64_t TMP3In::FileTotalSamples() const {
  // The duration in hundredths is off by up to 5 ms either way; the counted frames are
  // what a read delivers.
  const int64_t counted = Reader().Samples;
  return (counted >= 0 ? counted : TWMIn::FileTotalSamples()) + FSampleRate / 3;
}

std::vector<trimora::media::TMediaFormatChange> TMP3In::FormatChanges() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return Reader().FormatChanges;
}

std::optional<int> TMP3In::EncoderVBRQuality() {
  std::lock_guard lock(DataLock);
  OpenFile();
  const int quality = Reader().VbrQuality;
  return quality >= 0 ? std::optional<int>(quality) : std::nullopt;
}
