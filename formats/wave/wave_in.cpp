// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/wave/wave_in.h"

#include <algorithm>
#include <span>

#include "formats/wave/wave_converter.h"
#include "pipeline/au_exception.h"
#include "pipeline/sample_convert.h"

namespace {

int16_t S16(const uint8_t* p) {
  return static_cast<int16_t>(p[0] | (p[1] << 8));
}

// ADPCM block headers: IMA 4 bytes per channel, Microsoft ADPCM 7.
constexpr int kImaHeaderBytes = 4;
constexpr int kMsHeaderBytes = 7;

}  // namespace

TWaveIn::TWaveIn() {
  FBufferBase = FReadBuffer.data();
}

TWaveIn::~TWaveIn() {
  NotifyDestroying();  // a sink reading this source stops while it is whole
  CloseFile();
}

TWavType TWaveIn::WavType() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return FWavType;
}

std::string TWaveIn::RefusalReason() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return FRefusal;
}

TWaveHeader TWaveIn::Header() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return FHeader;
}

void TWaveIn::SetKeepFloat(bool keep) {
  std::lock_guard lock(DataLock);
  if (Busy) throw EAuException("The component is Busy");
  if (FKeepFloat.exchange(keep) != keep) CloseFile();
}

bool TWaveIn::QueryFloatSamples() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return FValid && FFloatStored;
}

void TWaveIn::OpenFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount > 0) return;
  // Nothing of a previous file survives an open that fails.
  FValid = false;
  FFloatIs32 = FFloatStored = false;
  FWavType = wtUnsupported;
  FRefusal.clear();
  FSize = 0;
  FBitsPerSample = 0;
  FChannels = 0;
  FSampleRate = 0;
  OpenStream();
  FHeader = ParseHeader();
  FillTags(FHeader);
  FValid = SetUpFormat();
  ++OpenCount;
}

void TWaveIn::FillTags(const TWaveHeader& header) {
  TId3v2Tags& id3 = Id3v2Tags();
  TCommonTags& common = CommonTags();
  id3.ClearValues();
  common.ClearValues();
  if (header.WavType == wtUnsupported) return;
  TWaveInfo info = header.Info;
  // A list after the data, where many writers put it. A data size never patched (0) runs to
  // the end of the file.
  const int64_t dataEnd = FHeaderLength + header.DataSize;
  if (header.DataSize > 0 && dataEnd < Stream->Size()) {
    CollectWaveInfoAt(*Stream, dataEnd, info);
    Stream->SetPosition(FHeaderLength);
  }
  InfoToTags(info, id3);
  common.SetTitle(id3.Title());
  common.SetArtist(id3.Artist());
  common.SetAlbum(id3.Album());
  common.SetGenre(id3.Genre());
  common.SetYear(id3.Year());
  common.SetTrack(id3.Track());
}

TWaveHeader TWaveIn::ParseHeader() {
  FSkipFrames = 0;
  const int64_t start = Stream->Position();
  const TWaveHeader h = ScanWaveHeader(*Stream);
  FWavType = h.WavType;
  FRefusal = h.Refusal;
  if (FWavType == wtUnsupported) return h;
  FChannels = h.Channels;
  FSampleRate = static_cast<int32_t>(std::min<uint32_t>(h.SampleRate, INT32_MAX));
  FBitsPerSample = FStoredBitsPerSample = h.BitsPerSample;
  FImaFormat = h.ImaFormat;
  FMsFormat = h.MsFormat;
  FHeaderLength = start + h.HeaderLength;
  FReadPos = FHeaderLength;
  // A data size past the end of the file (a truncated file) or 0 (a writer that never
  // patched it) leaves what the file holds.
  const int64_t streamEnd = std::max(Stream->Size(), FHeaderLength);
  FDataEnd = h.DataSize > 0 ? std::min(FHeaderLength + h.DataSize, streamEnd) : streamEnd;
  return h;
}

bool TWaveIn::SetUpFormat() {
  if (FWavType == wtUnsupported || FChannels == 0 || FSampleRate == 0) return false;
  const int64_t dataBytes = FDataEnd - FHeaderLength;
  FBufferBase = FReadBuffer.data();
  switch (FWavType) {
    case wtPCM:
    case wtExtPCM: {
      if (FBitsPerSample % 8 != 0 || FBitsPerSample < 8 || FBitsPerSample > 32) return false;
      const int64_t frame = int64_t{FChannels} * FBitsPerSample / 8;
      if (frame > kReadBufferSize) return false;
      FSize = dataBytes - dataBytes % frame;
      return true;
    }
    case wtIEEEFloat:
    case wtExtIEEEFloat: {
      if (FStoredBitsPerSample != 32 && FStoredBitsPerSample != 64) return false;
      FFloatIs32 = FStoredBitsPerSample == 32;
      FFloatStored = FKeepFloat;
      const int64_t stored = int64_t{FChannels} * FStoredBitsPerSample / 8;
      if (stored > kReadBufferSize) return false;
      const int64_t whole = dataBytes - dataBytes % stored;
      FSize = FFloatIs32 || FFloatStored ? whole : whole / 2;
      FBitsPerSample = FFloatStored ? FStoredBitsPerSample : 32;
      return true;
    }
    case wtDVIADPCM:
      if (FStoredBitsPerSample != 4) return false;
      return SetUpAdpcm(FImaFormat.BlockAlign, FImaFormat.TotalFrames);
    case wtMSADPCM:
      if (FMsFormat.SamplesPerBlock < 2) return false;
      return SetUpAdpcm(FMsFormat.BlockAlign, FMsFormat.TotalFrames);
    case wtACM:
      return ConvertAcm();
    case wtUnsupported:
      break;
  }
  return false;
}

bool TWaveIn::SetUpAdpcm(uint16_t blockAlign, uint32_t totalFrames) {
  if (FChannels != 1 && FChannels != 2) return false;
  const int header = (FWavType == wtDVIADPCM ? kImaHeaderBytes : kMsHeaderBytes) * FChannels;
  if (blockAlign < header) return false;
  FBitsPerSample = 16;
  const int64_t framesPerBlock = AdpcmFramesPerBlock();
  const int64_t blocks = (FDataEnd - FHeaderLength + blockAlign - 1) / blockAlign;
  // The `fact` count, but never more than the blocks present decode to; a count of 0
  // (never patched) means all of them.
  int64_t frames = blocks * framesPerBlock;
  if (totalFrames > 0) frames = std::min<int64_t>(frames, totalFrames);
  FSize = frames * 2 * FChannels;
  FDecodeBuffer.assign(static_cast<size_t>(framesPerBlock * FChannels), 0);
  FBlockBuffer.assign(blockAlign, 0);
  FBufferBase = reinterpret_cast<uint8_t*>(FDecodeBuffer.data());
  return true;
}

int64_t TWaveIn::AdpcmFramesPerBlock() const {
  if (FWavType == wtDVIADPCM) {
    const int64_t codeBytes = FImaFormat.BlockAlign - kImaHeaderBytes * FChannels;
    return FChannels == 1 ? 2 * codeBytes + 1 : codeBytes + 1;
  }
  const int64_t count = FMsFormat.SamplesPerBlock - 2;
  return FChannels == 1 ? 2 + 2 * (count / 2) : count + 2;
}

bool TWaveIn::ConvertAcm() {
  using namespace trimora::acm;
  TWaveConverter converter;
  Stream->SetPosition(0);
  converter.LoadFile(*Stream);
  converter.TargetFormat[0] = WAVE_FORMAT_PCM;
  converter.TargetFormat[1] = 0;
  if (acmFormatSuggest(nullptr, converter.SourceFormat.data(), converter.TargetFormat.data(),
                       TWaveConverter::kFormatBufferSize,
                       ACM_FORMATSUGGESTF_WFORMATTAG) != MMSYSERR_NOERROR ||
      converter.Convert() != MMSYSERR_NOERROR) {
    return false;
  }
  FConvertedStream = std::make_unique<TAuMemoryStream>();
  if (converter.SaveWave(*FConvertedStream) != MMSYSERR_NOERROR) return false;
  // The file's stream stays open behind the image, so the file stays protected from writers.
  FSavedStream = Stream;
  Stream = FConvertedStream.get();
  Stream->SetPosition(0);
  // The image's own header stands for the format; FHeader keeps the file's.
  ParseHeader();
  if (FWavType != wtPCM) return false;
  const bool usable = SetUpFormat();
  FWavType = wtACM;
  return usable;
}

void TWaveIn::RestoreStream() {
  if (FSavedStream != nullptr) Stream = FSavedStream;
  FSavedStream = nullptr;
  FConvertedStream.reset();
}

void TWaveIn::CloseFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount == 0) return;
  RestoreStream();
  CloseStream();
  FDecodeBuffer = {};
  FBlockBuffer = {};
  FBufferBase = FReadBuffer.data();
  OpenCount = 0;
}

int64_t TWaveIn::DataLeft(int64_t wanted) const {
  return std::clamp<int64_t>(FDataEnd - FReadPos, 0, wanted);
}

uint32_t TWaveIn::ReadSize(uint32_t wanted, uint32_t unit) {
  uint32_t size = std::clamp(wanted, kReadBufferSize, kLargeBlockBytes);
  size -= size % unit;
  if (FReadBuffer.size() < size) {
    FReadBuffer.resize(size);
    FBufferBase = FReadBuffer.data();  // only the PCM and float kinds read into it
  }
  return size;
}

void TWaveIn::RefillPcm(uint32_t frameBytes, uint32_t wanted) {
  const int64_t want = DataLeft(ReadSize(wanted, frameBytes));
  int64_t got = want > 0 ? std::max<int64_t>(Stream->Read(FReadBuffer.data(), want), 0) : 0;
  FReadPos += got;
  // Only whole frames go out; a torn last frame of a damaged file is dropped.
  got -= got % frameBytes;
  BufferEnd = static_cast<int32_t>(got);
}

void TWaveIn::RefillFloat(uint32_t wanted) {
  const uint32_t stored = static_cast<uint32_t>(FChannels) * (FFloatIs32 ? 4 : 8);
  const int64_t want = DataLeft(ReadSize(wanted, stored));
  int64_t got = want > 0 ? std::max<int64_t>(Stream->Read(FReadBuffer.data(), want), 0) : 0;
  FReadPos += got;
  got -= got % stored;
  if (FFloatIs32) {
    SingleToInt32InPlace(FReadBuffer.data(), static_cast<size_t>(got));
    BufferEnd = static_cast<int32_t>(got);
  } else {
    DoubleToInt32InPlace(FReadBuffer.data(), static_cast<size_t>(got));
    BufferEnd = static_cast<int32_t>(got / 2);
  }
}

bool TWaveIn::ReadAdpcmBlock(uint16_t blockAlign) {
  const int64_t want = DataLeft(blockAlign);
  if (want <= 0) return false;
  // A short last block decodes as if its missing bytes were zero.
  std::fill(FBlockBuffer.begin(), FBlockBuffer.end(), 0);
  const int64_t got = Stream->Read(FBlockBuffer.data(), want);
  if (got <= 0) return false;
  FReadPos += got;
  return true;
}

bool TWaveIn::ReadImaBlock() {
  return ReadAdpcmBlock(FImaFormat.BlockAlign);
}

bool TWaveIn::ReadMsBlock() {
  return ReadAdpcmBlock(FMsFormat.BlockAlign);
}

void TWaveIn::RefillIma() {
  BufferEnd = 0;
  if (!ReadImaBlock()) return;
  const uint8_t* b = FBlockBuffer.data();
  const std::span<const uint8_t> block(FBlockBuffer);
  FImaStates[0] = {S16(b), b[2]};
  if (FChannels == 1) {
    const size_t samples =
        DecodeImaMono(FImaStates[0], block.subspan(kImaHeaderBytes), FDecodeBuffer);
    BufferEnd = static_cast<int32_t>(samples * 2);
  } else {
    FImaStates[1] = {S16(b + 4), b[6]};
    const size_t frames = DecodeImaStereo(FImaStates[0], FImaStates[1],
                                          block.subspan(2 * kImaHeaderBytes), FDecodeBuffer);
    BufferEnd = static_cast<int32_t>(frames * 4);
  }
}

void TWaveIn::RefillMs() {
  BufferEnd = 0;
  if (!ReadMsBlock()) return;
  const uint8_t* b = FBlockBuffer.data();
  const std::span<const uint8_t> block(FBlockBuffer);
  // Only the pairs the header holds: a predictor index past them is the codec's to handle.
  const std::span<const TMsCoefficientPair> pairs(FMsFormat.Coefficients.data(), FMsFormat.NumCoef);
  const int count = FMsFormat.SamplesPerBlock - 2;
  if (FChannels == 1) {
    FMsStates[0] = {b[0], S16(b + 1), S16(b + 3), S16(b + 5)};
    BufferEnd = static_cast<int32_t>(
        DecodeMsMono(FMsStates[0], pairs, block.subspan(kMsHeaderBytes), count, FDecodeBuffer));
  } else {
    FMsStates[0] = {b[0], S16(b + 2), S16(b + 6), S16(b + 10)};
    FMsStates[1] = {b[1], S16(b + 4), S16(b + 8), S16(b + 12)};
    BufferEnd = static_cast<int32_t>(DecodeMsStereo(FMsStates[0], FMsStates[1], pairs,
                                                    block.subspan(2 * kMsHeaderBytes), count,
                                                    FDecodeBuffer));
  }
}

void TWaveIn::ReadBlock(uint8_t*& buffer, uint32_t& bytes) {
  if (!Busy) throw EAuException("The Stream is not opened");
  const uint32_t frame = static_cast<uint32_t>(FChannels * FBitsPerSample) / 8;
  buffer = FBufferBase;
  if (!FValid || frame == 0) {
    bytes = 0;
    return;
  }
  if (BufferStart > BufferEnd) {
    switch (FWavType) {
      case wtPCM:
      case wtExtPCM:
      case wtACM:
        RefillPcm(frame, bytes);
        break;
      case wtIEEEFloat:
      case wtExtIEEEFloat:
        if (FFloatStored)
          RefillPcm(frame, bytes);
        else
          RefillFloat(bytes);
        break;
      case wtDVIADPCM:
        RefillIma();
        break;
      case wtMSADPCM:
        RefillMs();
        break;
      case wtUnsupported:
        BufferEnd = 0;
        break;
    }
    BufferStart = 1;
    // After a seek into an ADPCM block, its frames before the target are passed over.
    BufferStart += static_cast<int32_t>(std::min<int64_t>(FSkipFrames * frame, BufferEnd));
    FSkipFrames = 0;
  }
  bytes -= bytes % frame;
  bytes =
      std::min<uint32_t>(bytes, static_cast<uint32_t>(std::max(BufferEnd - BufferStart + 1, 0)));
  buffer = FBufferBase + (BufferStart - 1);
  BufferStart += static_cast<int32_t>(bytes);
}

bool TWaveIn::DoSeek(int64_t& sampleNum) {
  BufferStart = 1;
  BufferEnd = 0;
  FSkipFrames = 0;
  if (!FValid || FChannels == 0) return false;
  const int64_t dataBytes = FDataEnd - FHeaderLength;
  int64_t frameBytes = 0;  // bytes per frame as stored, for the kinds positioned by arithmetic
  switch (FWavType) {
    case wtPCM:
    case wtExtPCM:
    case wtACM:
      frameBytes = int64_t{FChannels} * FBitsPerSample / 8;
      break;
    case wtIEEEFloat:
    case wtExtIEEEFloat:
      frameBytes = int64_t{FChannels} * (FFloatIs32 ? 4 : 8);
      break;
    case wtDVIADPCM:
    case wtMSADPCM: {
      const int64_t perBlock = AdpcmFramesPerBlock();
      const int64_t blockAlign =
          FWavType == wtDVIADPCM ? FImaFormat.BlockAlign : FMsFormat.BlockAlign;
      const int64_t blocks = (dataBytes + blockAlign - 1) / blockAlign;
      const int64_t frame = std::clamp<int64_t>(sampleNum, 0, blocks * perBlock);
      FReadPos = FHeaderLength + frame / perBlock * blockAlign;
      FSkipFrames = frame % perBlock;
      Stream->SetPosition(FReadPos);
      return true;
    }
    case wtUnsupported:
      return false;
  }
  if (frameBytes == 0) return false;
  const int64_t frame = std::clamp<int64_t>(sampleNum, 0, dataBytes / frameBytes);
  FReadPos = FHeaderLength + frame * frameBytes;
  Stream->SetPosition(FReadPos);
  return true;
}
