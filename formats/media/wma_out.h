// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/media/wma_writer.h"
#include "tags/tagged_file_out.h"

// The WMA sink: encodes its input's PCM through the media runtime's writer, with the ID3v2
// container's texts as header attributes. The format is codec CodecIndex's format
// FormatIndex, or, with a negative CodecIndex, the one a search finds nearest to
// DesiredBitrate (VBRQuality under VBR, the lossless codec under Lossless).
//
// A run that fails removes the file it created; a stopped run keeps what it wrote as a
// finished file.
class TWMAOut : public TAuTaggedFileOut {
 public:
  TWMAOut();
  ~TWMAOut() override;

  uint32_t DesiredBitrate = 0;  // bits per second; below 1000, kilobits per second
  bool Lossless = false;
  bool VBR = false;
  uint8_t VBRQuality = 0;
  int32_t CodecIndex = -1;
  int32_t FormatIndex = 0;

  // The runtime's audio codec names, in its order.
  const std::vector<std::string>& CodecNames() const { return FCodecNames; }
  // The format descriptions of `codecIndex` (taken as unsigned 16-bit); empty for a codec
  // that does not exist. VBR formats under VBR or Lossless.
  const std::vector<std::string>& FormatList(int32_t codecIndex);
  int FormatCount(int32_t codecIndex);

 protected:
  void PrepareOutput() override;
  bool WriteBlock(bool Abort) override;
  void FinishOutput() override;
  // Opens the run's writer on the output file; the network variant serves a stream instead.
  virtual void OpenWriter(TWmaWriter& w);
  // The output goes to network clients: no file name, no file to remove after a failure.
  virtual bool Streaming() const { return false; }
  static void OnWriterError(void* owner, uint32_t status);
  // 100 ns: the audio handed to the writer in this run (worker thread).
  uint64_t WrittenTime() const;

 private:
  struct TRunState;

  void Prepare(TRunState& run);
  void ChooseFormat(int channels, int bits, int rate);
  void WriteAttributes();

  std::vector<std::string> FCodecNames;
  std::vector<std::string> FFormatList;
  std::unique_ptr<TRunState> FRun;  // exists from PrepareOutput to FinishOutput
  std::atomic<bool> FError{false};  // set by the runtime's error status
};
