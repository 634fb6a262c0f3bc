// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/wave/wave_out.h"

#include <algorithm>
#include <bit>
#include <filesystem>
#include <span>

#include "pipeline/au_exception.h"
#include "pipeline/au_file_stream.h"

// ADPCM input is taken as 16-bit samples straight from the source's little-endian bytes.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr uint32_t kSilenceStep = 16384;  // bytes of silence written at once

const char* const kWriteError = "Error writing wave file";
const char* const kCannotAppend = "Cannot append data to this .wav file.";
const char* const kDifferentFormat = "Cannot append data in different audio format.";
const char* const kNotSixteenBits = "Cannot encode 8 bit sound into ADPCM.";
const char* const kAdpcmLayout = "Cannot encode this channel count or block size into ADPCM.";
const char* const kUnwritableFormat = "Cannot write this audio format to a .wav file.";
const char* const kTooLarge = "The wave file would grow beyond 4 GiB.";

// The header fields can only describe integer PCM of whole bytes, or floats of 32 or 64
// bits, whose frame size and byte rate fit their 16- and 32-bit fields.
bool IsWritable(const TPcmFormat& f, bool isFloat) {
  const bool width = isFloat ? f.BitsPerSample == 32 || f.BitsPerSample == 64
                             : f.BitsPerSample == 8 || f.BitsPerSample == 16 ||
                                   f.BitsPerSample == 24 || f.BitsPerSample == 32;
  const int64_t frameBytes = int64_t{f.Channels} * f.BitsPerSample / 8;
  return width && f.Channels > 0 && f.SampleRate > 0 && frameBytes <= 0xFFFF &&
         frameBytes * f.SampleRate <= 0xFFFFFFFF;
}

}  // namespace

TWaveOut::~TWaveOut() {
  Shutdown();
}

void TWaveOut::SetWavType(TWavType type) {
  if (IsBusy() || type == wtMSADPCM || type == wtACM || type == wtUnsupported) return;
  FWavType = type;
}

std::optional<uint32_t> TWaveOut::SpeakerMask() const {
  const int64_t mask = FSpeakerMask;
  if (mask == kMaskByCount) return std::nullopt;
  return static_cast<uint32_t>(mask);
}

void TWaveOut::SetSpeakerMask(std::optional<uint32_t> mask) {
  if (IsBusy()) return;
  FSpeakerMask = mask ? int64_t{*mask} : kMaskByCount;
}

TWavType TWaveOut::RunType(bool floatInput) const {
  const TWavType type = FWavType;
  if (type == wtDVIADPCM) return type;
  const bool extensible = type == wtExtPCM || type == wtExtIEEEFloat;
  const bool manyChannels = FFormat.Channels > 2 && !CreateNonMsHeaders;
  // Floats are always wider than 16 bits; only the channels ask for the extensible form.
  if (floatInput) return extensible || manyChannels ? wtExtIEEEFloat : wtIEEEFloat;
  const bool wide = FFormat.BitsPerSample > 16 && !CreateNonMsHeaders;
  return extensible || manyChannels || wide ? wtExtPCM : wtPCM;
}

void TWaveOut::SetBlockSize(uint16_t size) {
  if (IsBusy() || size == 0 || size % 4 != 0) return;
  FBlockSize = size;
}

void TWaveOut::Refuse(const char* message) {
  CloseStream();
  if (FReadStarted) {
    FReadStarted = false;
    Input()->EndRead();
  }
  throw EAuException(message);
}

void TWaveOut::PrepareOutput() {
  FInputExhausted = false;
  FReadStarted = FHeaderReady = FAppending = false;
  FDataWritten = FFramesEncoded = 0;
  FExisting = {};
  if (!StreamAssigned && WideFileName.empty()) throw EAuException("File name is not assigned.");

  // The input is opened before the output is touched: when both are the same file, the
  // input's deny-write makes the output's open fail instead of truncating the input.
  TAuInput& input = *Input();
  input.StartRead();
  FReadStarted = true;
  FFormat = {static_cast<uint16_t>(input.Channels()), static_cast<uint32_t>(input.SampleRate()),
             static_cast<uint16_t>(input.BitsPerSample())};
  FPromisedSize = input.Size();
  FFloatInput = input.FloatSamples();
  FWavType = RunType(FFloatInput);

  std::error_code ignored;
  if (!StreamAssigned && FFileMode == foAppend && std::filesystem::exists(WideFileName, ignored))
    OpenStream(static_cast<uint16_t>(ShareMode | fmOpenReadWrite));
  if (FFileMode == foAppend && Stream != nullptr && Stream->Size() > 0) {
    FAppending = true;
    FExisting = ReadExistingWave(*Stream);
    if (!CanAppendTo(FExisting, Stream->Size())) Refuse(kCannotAppend);
    // The pad byte after an odd-sized data chunk would end up inside the data.
    const int64_t dataEnd = FExisting.HeaderLength + int64_t{FExisting.DataSize};
    if (dataEnd < Stream->Size()) Stream->SetSize(dataEnd);
    FWavType = FExisting.Kind;
    FBlockSize = FExisting.BlockAlign;
  }
  // Every refusal comes before a new file is created, so a refused run replaces nothing.
  CheckFormat();
  if (Stream == nullptr) CreateStream();

  if (FAppending) {
    FHeaderLength = FExisting.HeaderLength;
    Stream->Seek(0, soEnd);
    if (FWavType == wtDVIADPCM) FillLastImaBlock();
  } else {
    WriteHeader();
  }
  FDataStart = Stream->Position();
  FHeaderReady = true;
  if (FWavType == wtDVIADPCM) {
    const int32_t frames = ImaSamplesPerBlock(FBlockSize, FFormat.Channels);
    FPcmBlock.assign(static_cast<size_t>(frames) * FFormat.Channels, 0);
    FCodeBlock.assign(FBlockSize, 0);
  }
}

// A file that ends in a short IMA block gets the rest of it as zero bytes, which the reader
// already decoded there, so that the appended blocks start on a block boundary.
void TWaveOut::FillLastImaBlock() {
  const int64_t held = Stream->Size() - FHeaderLength;
  const int64_t missing = (FBlockSize - held % FBlockSize) % FBlockSize;
  if (missing == 0) return;
  const std::vector<uint8_t> zeros(static_cast<size_t>(missing), 0);
  if (Stream->Write(zeros.data(), missing) < missing) throw EAuException(kWriteError);
}

void TWaveOut::CheckFormat() {
  if (!IsWritable(FFormat, FFloatInput)) Refuse(kUnwritableFormat);
  // An existing file is PCM or ADPCM, which floats are not.
  if (FAppending && FFloatInput) Refuse(kDifferentFormat);
  const TWavType type = FWavType;
  const bool sameRateAndChannels =
      FFormat.SampleRate == FExisting.SampleRate && FFormat.Channels == FExisting.Channels;
  int64_t dataBytes = FPromisedSize;
  if (type == wtPCM && FAppending) {
    if (!sameRateAndChannels || FFormat.BitsPerSample != FExisting.Bits) Refuse(kDifferentFormat);
  } else if (type == wtDVIADPCM) {
    if (FFormat.BitsPerSample != 16) Refuse(kNotSixteenBits);
    if (FAppending && !sameRateAndChannels) Refuse(kDifferentFormat);
    if (!ImaBlockSizeFits(FBlockSize, FFormat.Channels)) Refuse(kAdpcmLayout);
    // Blocks hold S frames each; the last one, short or whole, counts as whole here.
    const int64_t frames = FPromisedSize / 2 / FFormat.Channels;
    const int64_t perBlock = ImaSamplesPerBlock(FBlockSize, FFormat.Channels);
    dataBytes = (frames + perBlock - 1) / perBlock * FBlockSize;
  }
  const int64_t start = FAppending ? Stream->Size() : kExtensibleHeaderLength;
  if (FPromisedSize > 0 && start + dataBytes > kMaxWaveFileLength) Refuse(kTooLarge);
}

void TWaveOut::WriteHeader() {
  switch (FWavType) {
    case wtPCM: {
      const auto header = MakePcmHeader(FFormat, FPromisedSize);
      FHeaderLength = kPcmHeaderLength;
      WriteData(header.data(), header.size());
      break;
    }
    case wtExtPCM:
    case wtExtIEEEFloat: {
      const uint32_t mask = SpeakerMask().value_or(ChannelMask(FFormat.Channels));
      const auto header =
          MakeExtensibleHeader(FFormat, FPromisedSize, mask, FWavType == wtExtIEEEFloat);
      FHeaderLength = kExtensibleHeaderLength;
      WriteData(header.data(), header.size());
      break;
    }
    case wtIEEEFloat: {
      const auto header = MakeFloatHeader(FFormat, FPromisedSize);
      FHeaderLength = kFloatHeaderLength;
      WriteData(header.data(), header.size());
      break;
    }
    case wtDVIADPCM: {
      const int64_t frames = (FPromisedSize / (FFormat.BitsPerSample / 8)) / FFormat.Channels;
      const auto header = MakeImaHeader(FFormat, FBlockSize, frames);
      FHeaderLength = kImaHeaderLength;
      WriteData(header.data(), header.size());
      FImaLeft.StepIndex = FImaRight.StepIndex = 0;
      break;
    }
    default:
      FHeaderLength = 0;
  }
  FDataWritten = 0;  // the header is not data
}

bool TWaveOut::WriteBlock(bool Abort) {
  if (!Active) return true;
  if (Abort || FInputExhausted) return false;
  switch (FWavType) {
    case wtPCM:
    case wtExtPCM:
    case wtIEEEFloat:
    case wtExtIEEEFloat:
      return WritePcmBlock();
    case wtDVIADPCM:
      return WriteImaBlock();
    default:
      return false;  // nothing is written for other kinds; never loop on them
  }
}

bool TWaveOut::WritePcmBlock() {
  uint8_t* data = nullptr;
  uint32_t bytes = kLargeBlockBytes;
  Input()->ReadData(data, bytes);
  if (bytes == 0) return false;
  WriteData(data, bytes);
  return true;
}

// One block per step: S frames from the input. The first frame goes into the block header as
// the predictors; the encoder codes the S - 1 after it. Where the input runs dry inside a
// block, only the bytes that hold its frames are written (the rest of the block was coded from
// zeros); an input that ends with a block writes no further one, so that decoders that ignore
// the `fact` count play no padding.
bool TWaveOut::WriteImaBlock() {
  std::fill(FPcmBlock.begin(), FPcmBlock.end(), int16_t{0});
  auto* bytes = reinterpret_cast<uint8_t*>(FPcmBlock.data());
  const auto capacity = static_cast<uint32_t>(FPcmBlock.size() * sizeof(int16_t));
  uint32_t got = 0;
  while (got < capacity) {
    const uint32_t n = Input()->ReadInto(bytes + got, capacity - got);
    if (n == 0) {
      FInputExhausted = true;
      break;
    }
    got += n;
  }
  // A new file's first block starts each channel at the step of its first change; an
  // appended one goes on from the existing file's steps.
  const int channels = FFormat.Channels;
  if (FFramesEncoded == 0 && !FAppending && FPcmBlock.size() >= size_t(2 * channels)) {
    FImaLeft.StepIndex = ImaStartStepIndex(FPcmBlock[channels] - FPcmBlock[0]);
    if (channels == 2) FImaRight.StepIndex = ImaStartStepIndex(FPcmBlock[3] - FPcmBlock[1]);
  }
  const int64_t frames = got / (2 * FFormat.Channels);
  if (frames == 0) return false;
  FFramesEncoded += frames;
  EncodeImaBlock(FPcmBlock, FFormat.Channels, FImaLeft, FImaRight, FCodeBlock);
  WriteData(FCodeBlock.data(), ImaBlockBytes(frames, FBlockSize, FFormat.Channels));
  return true;
}

void TWaveOut::WriteData(const void* data, int64_t count) {
  if (FHeaderReady && FDataStart + FDataWritten + count > kMaxWaveFileLength)
    throw EAuException(kTooLarge);
  if (Stream->Write(data, count) < count) throw EAuException(kWriteError);
  FDataWritten += count;
}

void TWaveOut::PutUInt32At(int64_t offset, uint32_t value) {
  uint8_t bytes[4];
  PutUInt32(bytes, value);
  Stream->Seek(offset, soBeginning);
  if (Stream->Write(bytes, 4) < 4) throw EAuException(kWriteError);
}

void TWaveOut::FinishOutput() {
  // The stream is closed and the read ended whatever the patching below raises.
  struct TCleanup {
    TWaveOut& Self;
    ~TCleanup() {
      Self.FPcmBlock = {};
      Self.FCodeBlock = {};
      Self.FHeaderReady = false;
      Self.CloseStream();
      if (Self.FReadStarted) {
        Self.FReadStarted = false;
        Self.Input()->EndRead();
      }
    }
  } cleanup{*this};
  if (!FHeaderReady || Stream == nullptr) return;
  const TWavType type = FWavType;
  const bool promiseKept = FPromisedSize >= 0 && FDataWritten <= FPromisedSize;
  if (type == wtDVIADPCM || FAppending || FFileMode == foAppend || Stopped || RunFailed() ||
      !promiseKept) {
    PatchSizes();
  } else if (type != wtUnsupported) {
    PadToPromisedSize();
  }
  if (!FAppending && FFileMode != foAppend) AppendInfo();
}

// After the data, so that the header's fixed offsets stay where the patching expects them;
// a file appended to later would take the list into its data, which CanAppendTo refuses.
void TWaveOut::AppendInfo() {
  const std::vector<uint8_t> chunk = MakeInfoChunk(Id3v2Tags());
  if (chunk.empty()) return;
  Stream->Seek(0, soEnd);
  const int64_t end = Stream->Position();
  if (end + static_cast<int64_t>(chunk.size()) > kMaxWaveFileLength) throw EAuException(kTooLarge);
  if (Stream->Write(chunk.data(), static_cast<int64_t>(chunk.size())) <
      static_cast<int64_t>(chunk.size()))
    throw EAuException(kWriteError);
  PutUInt32At(kRiffSizeOffset, static_cast<uint32_t>(Stream->Size() - 8));
}

// Makes the size fields describe the file as it stands. An ADPCM header's promised size is
// a guess rounded to whole blocks, so it is always rewritten, with the exact frame count.
void TWaveOut::PatchSizes() {
  const int64_t dataEnd = Stream->Size();
  const auto dataSize = static_cast<uint32_t>(dataEnd - FHeaderLength);
  const int64_t length = dataEnd + WritePadByte(dataSize);
  switch (FWavType) {
    case wtPCM:
      PutUInt32At(FAppending ? FExisting.DataSizeOffset : kPcmDataSizeOffset, dataSize);
      break;
    case wtExtPCM:
    case wtExtIEEEFloat:
      PutUInt32At(kExtensibleDataSizeOffset, dataSize);
      break;
    case wtIEEEFloat:
      PutUInt32At(kFloatDataSizeOffset, dataSize);
      PutUInt32At(kFloatFactOffset,
                  dataSize / (uint32_t{FFormat.Channels} * FFormat.BitsPerSample / 8));
      break;
    case wtDVIADPCM:
      if (FAppending) {
        PutUInt32At(FExisting.DataSizeOffset, dataSize);
        // The existing blocks, filled up to whole ones, and the frames this run encoded.
        const int32_t s = ImaSamplesPerBlock(FBlockSize, FExisting.Channels);
        const int64_t blocks = (FDataStart - FHeaderLength) / FBlockSize;
        PutUInt32At(FExisting.FactOffset, static_cast<uint32_t>(s * blocks + FFramesEncoded));
      } else {
        PutUInt32At(kImaDataSizeOffset, dataSize);
        PutUInt32At(kImaFactOffset, static_cast<uint32_t>(FFramesEncoded));
      }
      break;
    default:
      break;
  }
  PutUInt32At(kRiffSizeOffset, static_cast<uint32_t>(length - 8));
}

// A source that delivered less than it announced leaves the rest of the promised data
// silent, so the header written at the start stays true. Silence of 8-bit samples is 128.
void TWaveOut::PadToPromisedSize() {
  const std::vector<uint8_t> silence(kSilenceStep, FFormat.BitsPerSample == 8 ? 0x80 : 0x00);
  int64_t missing = FPromisedSize - FDataWritten;
  while (missing > 0) {
    const int64_t n = std::min<int64_t>(missing, kSilenceStep);
    WriteData(silence.data(), n);
    missing -= n;
  }
  WritePadByte(static_cast<uint32_t>(FDataWritten));
}

// A chunk of odd size is followed by a pad byte that its size does not count (the RIFF size
// does), so that the next chunk starts on an even offset. Returns the bytes written.
int64_t TWaveOut::WritePadByte(uint32_t dataSize) {
  if (dataSize % 2 == 0) return 0;
  const uint8_t pad = 0;
  Stream->Seek(0, soEnd);
  if (Stream->Write(&pad, 1) < 1) throw EAuException(kWriteError);
  return 1;
}
