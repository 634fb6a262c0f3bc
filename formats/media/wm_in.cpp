// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/media/wm_in.h"

#include <cmath>

#include "pipeline/au_exception.h"
#include "tags/tag_text.h"

namespace {

int8_t RequestedChannels(TChannelsNumber value) {
  switch (value) {
    case cnMaxAvailable:
      return -1;
    case cnMonoOrStereo:
      return 0;
    case cn5dot1:
      return 6;
    case cn7dot1:
      return 8;
  }
  return 0;
}

}  // namespace

TWMIn::~TWMIn() {
  NotifyDestroying();  // a sink reading this source stops while it is whole
  CloseFile();
}

void TWMIn::OpenFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount != 0) return;
  if (!StreamAssigned && WideFileName.empty()) throw EAuException("File name is not assigned");
  ForgetFile();
  OpenStream();
  wma_reader_open(FReader, *Stream, FHighPrecision, RequestedChannels(FOutputChannels));
  FValid = FReader.HasAudio;
  if (!FReader.Reader) {
    // Not a file the runtime knows: let go of it, as nothing stays open.
    CloseStream();
    return;
  }
  if (FReader.Protected) {
    wma_reader_close(FReader);
    CloseStream();
    FValid = false;
    throw EAuException("File is protected");
  }
  FDuration = static_cast<uint32_t>(wma_reader_duration(FReader));
  uint16_t channels = 0;
  uint16_t bits = 0;
  uint32_t rate = 0;
  wma_reader_format(FReader, channels, bits, rate);
  FChannels = channels;
  FBitsPerSample = bits;
  FSampleRate = static_cast<int32_t>(rate);
  FTotalSamples = TWMIn::FileTotalSamples();
  FSize = FTotalSamples * FChannels * (FBitsPerSample / 8);
  Seekable = true;
  FillTags();
  ++OpenCount;
}

// An open that fails leaves the fallback format of a read, no length and no tags, whatever
// was open before.
void TWMIn::ForgetFile() {
  FValid = false;
  FChannels = 1;
  FBitsPerSample = 8;
  FSampleRate = 8000;
  FSize = 0;
  FTotalSamples = 0;
  FDuration = 0;
  TAuTaggedFileIn::Id3v2Tags().ClearValues();
  CommonTags().ClearValues();
}

void TWMIn::FillTags() {
  TId3v2Tags& id3 = TAuTaggedFileIn::Id3v2Tags();
  TCommonTags& common = CommonTags();
  id3.ClearValues();
  common.ClearValues();
  const auto text = [this](const char* name) { return wma_reader_text(FReader, name); };
  id3.SetArtist(text("Author"));
  common.SetArtist(text("Author"));
  id3.SetTitle(text("Title"));
  common.SetTitle(text("Title"));
  id3.SetAlbum(text("WM/AlbumTitle"));
  common.SetAlbum(text("WM/AlbumTitle"));
  id3.SetGenre(text("WM/Genre"));
  common.SetGenre(text("WM/Genre"));
  id3.SetTrack(tag_text::WideToAnsi(text("WM/Track")));
  common.SetTrack(tag_text::WideToAnsi(text("WM/Track")));
  id3.SetYear(tag_text::WideToAnsi(text("WM/Year")));
  common.SetYear(tag_text::WideToAnsi(text("WM/Year")));
  // The runtime names an MP3 file's main comment and copyright as a WMA file's; the common
  // set has a field for neither.
  id3.SetComment(text("Description"));
  id3.SetCopyright(text("Copyright"));
}

void TWMIn::CloseFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount <= 0) return;
  wma_reader_close(FReader);
  OpenCount = 0;
  CloseStream();
}

void TWMIn::DoStartRead() {
  const int64_t asked = EndSample;
  TAuFileIn::DoStartRead();
  FReadsToDataEnd = false;
  if (!LengthIsEstimate() || !FValid) return;
  if (asked < 0) {
    FReadsToDataEnd = true;
  } else if (EndSample == -1 && asked >= StartSample) {
    // The range was cut to the estimate; the sound may go on to the end asked for.
    FTotalSamples = asked - StartSample + 1;
    FSize = FTotalSamples * FrameSize;
  }
}

void TWMIn::ReadBlock(uint8_t*& buffer, uint32_t& bytes) {
  const int64_t size = FSize;
  if (size > 0 && !FReadsToDataEnd) {
    const int64_t left = size - FPosition;
    if (static_cast<int64_t>(bytes) > left) bytes = static_cast<uint32_t>(left > 0 ? left : 0);
  }
  buffer = const_cast<uint8_t*>(bytes > 0 ? wma_reader_read(FReader, bytes) : nullptr);
  if (buffer == nullptr) bytes = 0;
}

uint32_t TWMIn::SeekTime(int64_t frame, int64_t totalSamples, uint32_t duration,
                         int32_t sampleRate) {
  double time = 0;
  if (totalSamples > 0)
    time =
        std::nearbyint(static_cast<double>(frame) / static_cast<double>(totalSamples) * duration);
  else if (sampleRate > 0)
    // Without a known length the frame still has a time of its own.
    time = std::nearbyint(static_cast<double>(frame) / sampleRate * 100.0);
  if (!(time > 0)) return 0;
  return static_cast<uint32_t>(static_cast<uint64_t>(std::fmin(time, 1.8e19)));
}

int64_t TWMIn::FileTotalSamples() const {
  return static_cast<int64_t>(FDuration / 100.0 * FSampleRate);
}

bool TWMIn::DoSeek(int64_t& sampleNum) {
  if (!Busy) return false;
  // The frame's time comes from the true length: an MP3 source reports a third of a second
  // more than it holds, which would place every cut early.
  return Succeeded(wma_reader_seek(
      FReader, SeekTime(sampleNum, TWMIn::FileTotalSamples(), FDuration, FSampleRate)));
}

bool TWMIn::IsProtected() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return FReader.Protected;
}

uint32_t TWMIn::Bitrate() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return wma_reader_bitrate(FReader);
}

bool TWMIn::IsVBR() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return wma_reader_is_vbr(FReader) != 0;
}

TId3v2Tags& TWMIn::Id3v2Tags() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return TAuTaggedFileIn::Id3v2Tags();
}

uint32_t TWMIn::Duration() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return FDuration;
}

void TWMIn::Reopen() {
  std::lock_guard lock(FileLock);
  if (OpenCount == 0) return;
  CloseFile();
  OpenFile();
}

void TWMIn::SetHighPrecision(bool value) {
  std::lock_guard lock(DataLock);  // no read may start while the file is reopened
  if (Busy || FOutputChannels != cnMonoOrStereo) return;
  FHighPrecision = value;
  Reopen();
}

void TWMIn::SetOutputChannels(TChannelsNumber value) {
  std::lock_guard lock(DataLock);
  if (Busy) return;
  if (value != cnMonoOrStereo) FHighPrecision = true;
  FOutputChannels = value;
  Reopen();
}
