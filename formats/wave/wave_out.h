// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "formats/wave/adpcm.h"
#include "formats/wave/wave_header.h"
#include "formats/wave/wave_out_append.h"
#include "formats/wave/wave_out_headers.h"
#include "tags/tagged_file_out.h"

// The file sink for RIFF WAVE files. It writes integer PCM with the 44-byte header; with the
// 68-byte extensible header when WavType asks for it, or when the input has more than 2
// channels or more than 16 bits and CreateNonMsHeaders is false; or IMA ADPCM with a 60-byte
// header and a `fact` chunk. An input whose FloatSamples is true is written as it comes, as
// IEEE float: with the 58-byte header (format tag 3 and a `fact` chunk), or the extensible
// one under the same rule but for the width. With FileMode foAppend it adds to an existing
// PCM or IMA ADPCM file of the same format. Sizes that were not known when the header was
// written are patched when the run ends, so the file is consistent however the run ended.
//
// A new file gets the texts of Id3v2Tags as a `LIST` INFO chunk after its data.
class TWaveOut : public TAuTaggedFileOut {
 public:
  TWaveOut() = default;
  ~TWaveOut() override;

  TWavType WavType() const { return FWavType; }
  // Accepts every kind but wtMSADPCM, wtACM and wtUnsupported, and only while not busy. The
  // integer and float kinds choose the header's form (plain or extensible); whether the
  // samples are written as floats follows the input.
  void SetWavType(TWavType type);
  // The speaker positions the extensible header states; none: the first positions in the
  // standard order, one per channel. Accepted only while not busy.
  std::optional<uint32_t> SpeakerMask() const;
  void SetSpeakerMask(std::optional<uint32_t> mask);
  uint16_t BlockSize() const { return FBlockSize; }
  // Bytes per ADPCM block; accepted only while not busy, non-zero and a multiple of 4.
  void SetBlockSize(uint16_t size);
  // True keeps the 44-byte header for any channel count and width.
  std::atomic<bool> CreateNonMsHeaders{true};
  void SetFileMode(TFileOutputMode mode) override { FFileMode = mode; }

 protected:
  void PrepareOutput() override;
  bool WriteBlock(bool Abort) override;
  void FinishOutput() override;

 private:
  // Ends the input's read, closes the stream and raises `message`.
  [[noreturn]] void Refuse(const char* message);
  void CheckFormat();
  void WriteHeader();
  bool WritePcmBlock();
  bool WriteImaBlock();
  void FillLastImaBlock();
  // Writes all of `count` bytes; raises "Error writing wave file" on a short write and
  // refuses to let the file outgrow its 32-bit size fields.
  void WriteData(const void* data, int64_t count);
  void PutUInt32At(int64_t offset, uint32_t value);
  void PatchSizes();
  void PadToPromisedSize();
  int64_t WritePadByte(uint32_t dataSize);
  // The kind this run writes: the setting, made float or integer by the input, extensible
  // where the channels or width ask for it.
  TWavType RunType(bool floatInput) const;
  // Adds the INFO list of the tags after everything else and counts it in the RIFF size.
  void AppendInfo();

  std::atomic<TWavType> FWavType{wtPCM};
  std::atomic<uint16_t> FBlockSize{512};
  static constexpr int64_t kMaskByCount = -1;
  std::atomic<int64_t> FSpeakerMask{kMaskByCount};

  // Per run, on the worker thread.
  bool FInputExhausted = false;
  bool FReadStarted = false;
  bool FHeaderReady = false;  // the header is written, or the stream stands at the end of a file
  bool FAppending = false;    // appending to a file that was not empty
  bool FFloatInput = false;   // the input hands out IEEE floats
  TPcmFormat FFormat;
  int64_t FPromisedSize = -1;  // the input's Size when the header was written
  int64_t FHeaderLength = 0;
  int64_t FDataStart = 0;      // where this run's data begins
  int64_t FDataWritten = 0;    // bytes of data this run wrote
  int64_t FFramesEncoded = 0;  // input frames taken into ADPCM blocks
  TExistingWave FExisting;
  std::vector<int16_t> FPcmBlock;
  std::vector<uint8_t> FCodeBlock;

  // The IMA encoder's step indexes carry over from block to block, and into an append.
  TImaChannelState FImaLeft;
  TImaChannelState FImaRight;
};
