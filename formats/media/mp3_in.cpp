#include "formats/media/mp3_in.h"

void TMP3In::OpenFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount != 0) {
    TWMIn::OpenFile();
    return;
  }
  TWMIn::OpenFile();
  const int32_t extra = FSampleRate / 3;
  FTotalSamples += extra;
  FSize += static_cast<int32_t>(extra * (FBitsPerSample / 8) * FChannels);
}

int64_t TMP3In::FileTotalSamples() const {
  return TWMIn::FileTotalSamples() + FSampleRate / 3;
}
