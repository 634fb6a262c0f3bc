// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats/wave/adpcm.h"
#include "formats/wave/wave_header.h"
#include "pipeline/au_stream.h"
#include "tags/tagged_file_in.h"

// The file source for RIFF WAVE files. Integer PCM is handed out as stored; IEEE float
// becomes 32-bit integer PCM, or stays as stored with KeepFloat; IMA and Microsoft ADPCM
// become 16-bit PCM; MPEG Layer-3 data
// (format tag 0x55) is converted as a whole into a PCM WAV image in memory when the file is
// opened and then read like PCM. Blocks are whole frames, by pointer into the source's own
// buffer, valid until the next read or seek: PCM and float data in reads of what the reader
// asks, from 16384 bytes up to kLargeBlockBytes, so that a sink that only moves the samples
// moves them in large blocks.
//
// A file whose header is not understood, or whose format cannot be delivered (for example
// IMA ADPCM with other than 4 bits, or a frame wider than a block), is not valid and
// delivers no data.
//
// The texts of the file's INFO list (before or after the data) fill the ID3v2 and common tag
// containers when the file is opened.
class TWaveIn : public TAuTaggedFileIn {
 public:
  TWaveIn();
  ~TWaveIn() override;
  TWaveIn(const TWaveIn&) = delete;
  TWaveIn& operator=(const TWaveIn&) = delete;

  // The kind of data the header declares (wtACM for converted MPEG Layer-3); opens the file.
  TWavType WavType();
  // The same as a readable name, for people: "PCM", "IEEE float", "MP3 (converted)", ...
  std::string_view WavTypeName() { return ::WavTypeName(WavType()); }
  // Why the header was refused, for people ("WAV data of format 6 (A-law) is not
  // supported"); empty when it was not, or when the file is no RIFF WAVE file at all. Opens
  // the file.
  std::string RefusalReason();
  // The header as the file states it (for converted MPEG Layer-3 data, the file's, not the
  // converted image's); opens the file.
  TWaveHeader Header();

  // Whether IEEE float data is handed out as stored (32 or 64 bits, FloatSamples true)
  // instead of as 32-bit integers, which clip at full scale. Changing it closes the file, so
  // that the next open sets the format up anew; refused with "The component is Busy" during
  // a read.
  bool KeepFloat() const { return FKeepFloat.load(); }
  void SetKeepFloat(bool keep);

 protected:
  void OpenFile() override;
  void CloseFile() override;
  void ReadBlock(uint8_t*& buffer, uint32_t& bytes) override;
  bool DoSeek(int64_t& sampleNum) override;
  bool QueryFloatSamples() override;

 private:
  static constexpr uint32_t kReadBufferSize = 16384;

  // Scans the header of the stream and takes its format; gives what the scan found.
  TWaveHeader ParseHeader();
  // The INFO texts of `header` and of the chunks after the data into the tag containers.
  void FillTags(const TWaveHeader& header);
  // Checks what the header declares against what this reader can deliver and sets the
  // delivered format and Size; false when the file is not usable.
  bool SetUpFormat();
  bool SetUpAdpcm(uint16_t blockAlign, uint32_t totalFrames);
  // The MPEG Layer-3 data converted into a PCM image that then stands in for the stream.
  bool ConvertAcm();
  void RestoreStream();

  // Bytes of the file to read at once for a request of `wanted`, in whole `unit`s; grows the
  // read buffer to them.
  uint32_t ReadSize(uint32_t wanted, uint32_t unit);
  // Refills for each kind; each leaves the decoded bytes at BufferBase[0, BufferEnd).
  void RefillPcm(uint32_t frameBytes, uint32_t wanted);
  void RefillFloat(uint32_t wanted);
  void RefillIma();
  void RefillMs();
  // One ADPCM block into BlockBuffer; false at the end of the data.
  bool ReadImaBlock();
  bool ReadMsBlock();
  bool ReadAdpcmBlock(uint16_t blockAlign);
  // Bytes of the data chunk left from the read position, at most `wanted`.
  int64_t DataLeft(int64_t wanted) const;
  // Frames one ADPCM block decodes to, as the block codecs produce them.
  int64_t AdpcmFramesPerBlock() const;

  std::vector<uint8_t> FReadBuffer = std::vector<uint8_t>(kReadBufferSize);
  std::vector<int16_t> FDecodeBuffer;  // ADPCM blocks decode here; it can exceed 16384 bytes
  std::vector<uint8_t> FBlockBuffer;   // one ADPCM block as read
  uint8_t* FBufferBase = nullptr;      // ReadBuffer's or DecodeBuffer's bytes
  TWavType FWavType = wtUnsupported;
  std::string FRefusal;
  TImaFormat FImaFormat;
  std::array<TImaChannelState, 2> FImaStates{};
  TMsFormat FMsFormat;
  std::array<TMsChannelState, 2> FMsStates{};
  int64_t FHeaderLength = 0;  // stream offset of the first data byte
  int64_t FDataEnd = -1;      // stream offset after the data; -1: up to the stream's end
  int64_t FReadPos = 0;       // stream offset of the next byte to read
  int64_t FSkipFrames = 0;    // frames of the next ADPCM block that lie before a seek target
  uint16_t FStoredBitsPerSample = 0;
  bool FFloatIs32 = false;
  bool FFloatStored = false;  // float data handed out as stored, as KeepFloat asked at the open
  std::atomic<bool> FKeepFloat{false};
  TWaveHeader FHeader;
  std::unique_ptr<TAuMemoryStream> FConvertedStream;
  TAuStream* FSavedStream = nullptr;  // the file's stream while ConvertedStream stands in
};
