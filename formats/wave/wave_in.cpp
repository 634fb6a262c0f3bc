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
  BufferBase = ReadBuffer.data();
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
  return FValid && FloatStored;
}

void TWaveIn::OpenFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount > 0) return;
  // Nothing of a previous file survives an open that fails.
  FValid = false;
  FloatIs32 = FloatStored = false;
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
  const int64_t dataEnd = HeaderLength + header.DataSize;
  if (header.DataSize > 0 && dataEnd < Stream->Size()) {
    CollectWaveInfoAt(*Stream, dataEnd, info);
    Stream->SetPosition(HeaderLength);
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
  SkipFrames = 0;
  const int64_t start = Stream->Position();
  const TWaveHeader h = ScanWaveHeader(*Stream);
  FWavType = h.WavType;
  FRefusal = h.Refusal;
  if (FWavType == wtUnsupported) return h;
  FChannels = h.Channels;
  FSampleRate = static_cast<int32_t>(std::min<uint32_t>(h.SampleRate, INT32_MAX));
  FBitsPerSample = StoredBitsPerSample = h.BitsPerSample;
  ImaFormat = h.ImaFormat;
  MsFormat = h.MsFormat;
  HeaderLength = start + h.HeaderLength;
  ReadPos = HeaderLength;
  // A data size past the end of the file (a truncated file) or 0 (a writer that never
  // patched it) leaves what the file holds.
  const int64_t streamEnd = std::max(Stream->Size(), HeaderLength);
  DataEnd = h.DataSize > 0 ? std::min(HeaderLength + h.DataSize, streamEnd) : streamEnd;
  return h;
}

bool TWaveIn::SetUpFormat() {
  if (FWavType == wtUnsupported || FChannels == 0 || FSampleRate == 0) return false;
  const int64_t dataBytes = DataEnd - HeaderLength;
  BufferBase = ReadBuffer.data();
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
      if (StoredBitsPerSample != 32 && StoredBitsPerSample != 64) return false;
      FloatIs32 = StoredBitsPerSample == 32;
      FloatStored = FKeepFloat;
      const int64_t stored = int64_t{FChannels} * StoredBitsPerSample / 8;
      if (stored > kReadBufferSize) return false;
      const int64_t whole = dataBytes - dataBytes % stored;
      FSize = FloatIs32 || FloatStored ? whole : whole / 2;
      FBitsPerSample = FloatStored ? StoredBitsPerSample : 32;
      return true;
    }
    case wtDVIADPCM:
      if (StoredBitsPerSample != 4) return false;
      return SetUpAdpcm(ImaFormat.BlockAlign, ImaFormat.TotalFrames);
    case wtMSADPCM:
      if (MsFormat.SamplesPerBlock < 2) return false;
      return SetUpAdpcm(MsFormat.BlockAlign, MsFormat.TotalFrames);
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
  const int64_t blocks = (DataEnd - HeaderLength + blockAlign - 1) / blockAlign;
  // The `fact` count, but never more than the blocks present decode to; a count of 0
  // (never patched) means all of them.
  int64_t frames = blocks * framesPerBlock;
  if (totalFrames > 0) frames = std::min<int64_t>(frames, totalFrames);
  FSize = frames * 2 * FChannels;
  DecodeBuffer.assign(static_cast<size_t>(framesPerBlock * FChannels), 0);
  BlockBuffer.assign(blockAlign, 0);
  BufferBase = reinterpret_cast<uint8_t*>(DecodeBuffer.data());
  return true;
}

int64_t TWaveIn::AdpcmFramesPerBlock() const {
  if (FWavType == wtDVIADPCM) {
    const int64_t codeBytes = ImaFormat.BlockAlign - kImaHeaderBytes * FChannels;
    return FChannels == 1 ? 2 * codeBytes + 1 : codeBytes + 1;
  }
  const int64_t count = MsFormat.SamplesPerBlock - 2;
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
  ConvertedStream = std::make_unique<TAuMemoryStream>();
  if (converter.SaveWave(*ConvertedStream) != MMSYSERR_NOERROR) return false;
  // The file's stream stays open behind the image, so the file stays protected from writers.
  SavedStream = Stream;
  Stream = ConvertedStream.get();
  Stream->SetPosition(0);
  // The image's own header stands for the format; FHeader keeps the file's.
  ParseHeader();
  if (FWavType != wtPCM) return false;
  const bool usable = SetUpFormat();
  FWavType = wtACM;
  return usable;
}

void TWaveIn::RestoreStream() {
  if (SavedStream != nullptr) Stream = SavedStream;
  SavedStream = nullptr;
  ConvertedStream.reset();
}

void TWaveIn::CloseFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount == 0) return;
  RestoreStream();
  CloseStream();
  DecodeBuffer = {};
  BlockBuffer = {};
  BufferBase = ReadBuffer.data();
  OpenCount = 0;
}

int64_t TWaveIn::DataLeft(int64_t wanted) const {
  return std::clamp<int64_t>(DataEnd - ReadPos, 0, wanted);
}

void TWaveIn::RefillPcm(uint32_t frameBytes) {
  const int64_t want = DataLeft(kReadBufferSize - kReadBufferSize % frameBytes);
  int64_t got = want > 0 ? std::max<int64_t>(Stream->Read(ReadBuffer.data(), want), 0) : 0;
  ReadPos += got;
  // Only whole frames go out; a torn last frame of a damaged file is dropped.
  got -= got % frameBytes;
  BufferEnd = static_cast<int32_t>(got);
}

void TWaveIn::RefillFloat() {
  const uint32_t stored = static_cast<uint32_t>(FChannels) * (FloatIs32 ? 4 : 8);
  const int64_t want = DataLeft(kReadBufferSize - kReadBufferSize % stored);
  int64_t got = want > 0 ? std::max<int64_t>(Stream->Read(ReadBuffer.data(), want), 0) : 0;
  ReadPos += got;
  got -= got % stored;
  if (FloatIs32) {
    SingleToInt32InPlace(ReadBuffer.data(), static_cast<size_t>(got));
    BufferEnd = static_cast<int32_t>(got);
  } else {
    DoubleToInt32InPlace(ReadBuffer.data(), static_cast<size_t>(got));
    BufferEnd = static_cast<int32_t>(got / 2);
  }
}

bool TWaveIn::ReadAdpcmBlock(uint16_t blockAlign) {
  const int64_t want = DataLeft(blockAlign);
  if (want <= 0) return false;
  // A short last block decodes as if its missing bytes were zero.
  std::fill(BlockBuffer.begin(), BlockBuffer.end(), 0);
  const int64_t got = Stream->Read(BlockBuffer.data(), want);
  if (got <= 0) return false;
  ReadPos += got;
  return true;
}

bool TWaveIn::ReadImaBlock() {
  return ReadAdpcmBlock(ImaFormat.BlockAlign);
}

bool TWaveIn::ReadMsBlock() {
  return ReadAdpcmBlock(MsFormat.BlockAlign);
}

void TWaveIn::RefillIma() {
  BufferEnd = 0;
  if (!ReadImaBlock()) return;
  const uint8_t* b = BlockBuffer.data();
  const std::span<const uint8_t> block(BlockBuffer);
  ImaStates[0] = {S16(b), b[2]};
  if (FChannels == 1) {
    const size_t samples =
        DecodeImaMono(ImaStates[0], block.subspan(kImaHeaderBytes), DecodeBuffer);
    BufferEnd = static_cast<int32_t>(samples * 2);
  } else {
    ImaStates[1] = {S16(b + 4), b[6]};
    const size_t frames = DecodeImaStereo(ImaStates[0], ImaStates[1],
                                          block.subspan(2 * kImaHeaderBytes), DecodeBuffer);
    BufferEnd = static_cast<int32_t>(frames * 4);
  }
}

void TWaveIn::RefillMs() {
  BufferEnd = 0;
  if (!ReadMsBlock()) return;
  const uint8_t* b = BlockBuffer.data();
  const std::span<const uint8_t> block(BlockBuffer);
  // Only the pairs the header holds: a predictor index past them is the codec's to handle.
  const std::span<const MsCoefficientPair> pairs(MsFormat.Coefficients.data(), MsFormat.NumCoef);
  const int count = MsFormat.SamplesPerBlock - 2;
  if (FChannels == 1) {
    MsStates[0] = {b[0], S16(b + 1), S16(b + 3), S16(b + 5)};
    BufferEnd = static_cast<int32_t>(
        DecodeMsMono(MsStates[0], pairs, block.subspan(kMsHeaderBytes), count, DecodeBuffer));
  } else {
    MsStates[0] = {b[0], S16(b + 2), S16(b + 6), S16(b + 10)};
    MsStates[1] = {b[1], S16(b + 4), S16(b + 8), S16(b + 12)};
    BufferEnd = static_cast<int32_t>(DecodeMsStereo(
        MsStates[0], MsStates[1], pairs, block.subspan(2 * kMsHeaderBytes), count, DecodeBuffer));
  }
}

void TWaveIn::ReadBlock(uint8_t*& buffer, uint32_t& bytes) {
  if (!Busy) throw EAuException("The Stream is not opened");
  const uint32_t frame = static_cast<uint32_t>(FChannels * FBitsPerSample) / 8;
  buffer = BufferBase;
  if (!FValid || frame == 0) {
    bytes = 0;
    return;
  }
  if (BufferStart > BufferEnd) {
    switch (FWavType) {
      case wtPCM:
      case wtExtPCM:
      case wtACM:
        RefillPcm(frame);
        break;
      case wtIEEEFloat:
      case wtExtIEEEFloat:
        if (FloatStored)
          RefillPcm(frame);
        else
          RefillFloat();
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
    BufferStart += static_cast<int32_t>(std::min<int64_t>(SkipFrames * frame, BufferEnd));
    SkipFrames = 0;
  }
  bytes -= bytes % frame;
  bytes =
      std::min<uint32_t>(bytes, static_cast<uint32_t>(std::max(BufferEnd - BufferStart + 1, 0)));
  buffer = BufferBase + (BufferStart - 1);
  BufferStart += static_cast<int32_t>(bytes);
}

bool TWaveIn::DoSeek(int64_t& sampleNum) {
  BufferStart = 1;
  BufferEnd = 0;
  SkipFrames = 0;
  if (!FValid || FChannels == 0) return false;
  const int64_t dataBytes = DataEnd - HeaderLength;
  int64_t frameBytes = 0;  // bytes per frame as stored, for the kinds positioned by arithmetic
  switch (FWavType) {
    case wtPCM:
    case wtExtPCM:
    case wtACM:
      frameBytes = int64_t{FChannels} * FBitsPerSample / 8;
      break;
    case wtIEEEFloat:
    case wtExtIEEEFloat:
      frameBytes = int64_t{FChannels} * (FloatIs32 ? 4 : 8);
      break;
    case wtDVIADPCM:
    case wtMSADPCM: {
      const int64_t perBlock = AdpcmFramesPerBlock();
      const int64_t blockAlign =
          FWavType == wtDVIADPCM ? ImaFormat.BlockAlign : MsFormat.BlockAlign;
      const int64_t blocks = (dataBytes + blockAlign - 1) / blockAlign;
      const int64_t frame = std::clamp<int64_t>(sampleNum, 0, blocks * perBlock);
      ReadPos = HeaderLength + frame / perBlock * blockAlign;
      SkipFrames = frame % perBlock;
      Stream->SetPosition(ReadPos);
      return true;
    }
    case wtUnsupported:
      return false;
  }
  if (frameBytes == 0) return false;
  const int64_t frame = std::clamp<int64_t>(sampleNum, 0, dataBytes / frameBytes);
  ReadPos = HeaderLength + frame * frameBytes;
  Stream->SetPosition(ReadPos);
  return true;
}
