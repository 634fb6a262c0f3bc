// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "formats/mp3out/mp3_settings.h"
#include "tags/tagged_file_out.h"

// The MP3 sink: pulls 16-bit PCM (mono or stereo) from its input, encodes it, appends an
// ID3v1 record, finishes the encoder's tag frame and writes its ID3v2 tag (texts, comments,
// copyright, pictures) into the finished file through TagLib. The encoder settings are the
// TMP3Settings members; the tags come from Id3v1Tags and Id3v2Tags.
//
// A constant-rate stream without the bit reservoir is encoded on several encoders at once
// (see TMP3Lanes and the Lanes setting); the file is the same in length, delay and tags.
//
// A run that fails before the file is complete removes the file it created. The file is
// completed by the last WriteBlock, so that a failure to finish or tag it reaches the
// thread-exception event like any other; a stopped run is completed by FinishOutput.
class TMP3Out : public TAuTaggedFileOut, public TMP3Settings {
 public:
  TMP3Out();
  ~TMP3Out() override;

  // Frames per chunk when several encoders share the work; 0 gives about four seconds.
  int LaneChunkFrames = 0;

 protected:
  void PrepareOutput() override;
  bool WriteBlock(bool Abort) override;
  void FinishOutput() override;

 private:
  struct TRunState;

  void Prepare(TRunState& run);
  bool EncodeStep(TRunState& run);
  void CompleteFile(TRunState& run, bool stopped);
  void WriteTagFrame(TRunState& run, const std::vector<uint8_t>& frame);
  void DiscardFile(TRunState& run);
  void UndoPrepare(TRunState& run);
  void WriteEncoded(const uint8_t* data, uint32_t count);

  std::unique_ptr<TRunState> FRun;  // exists from PrepareOutput to FinishOutput
};
