// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "formats/media/wma_sync_reader.h"
#include "tags/tagged_file_in.h"

// How many channels a Windows Media source asks the runtime for.
enum TChannelsNumber { cnMaxAvailable, cnMonoOrStereo, cn5dot1, cn7dot1 };

// The source for WMA files (and, through TMP3In, MP3 files): the media runtime decodes,
// this class hands its PCM to the pipeline and fills the tag containers from the file's
// attributes.
class TWMIn : public TAuTaggedFileIn {
 public:
  TWMIn() = default;
  ~TWMIn() override;

  // Each query opens the file first and leaves it open. IsProtected never answers true:
  // opening protected content raises "File is protected".
  bool IsProtected();
  // The file's bit rate in bits per second (0 when unknown).
  uint32_t Bitrate();
  bool IsVBR();
  using TAuTaggedFileIn::Id3v2Tags;  // the const accessor, which opens nothing
  TId3v2Tags& Id3v2Tags();
  // The file's length in hundredths of a second, as the runtime reports it.
  uint32_t Duration();
  // Whether TotalSamples is the header's estimate (a WMA file's play duration), which the
  // sound may fall short of or run past (a file cut short keeps the header of the whole): a
  // read to the open end then goes on to where the sound ends, and one to an end past the
  // estimate keeps that end.
  virtual bool LengthIsEstimate() const { return true; }

  bool HighPrecision() const { return FHighPrecision; }
  // Ignored during a read and unless OutputChannels is cnMonoOrStereo; reopens an open file.
  void SetHighPrecision(bool value);
  TChannelsNumber OutputChannels() const { return FOutputChannels; }
  // Ignored during a read; anything but cnMonoOrStereo turns HighPrecision on. Reopens an
  // open file.
  void SetOutputChannels(TChannelsNumber value);

  // The start time, in hundredths of a second, for frame `frame` of `totalSamples` in a
  // file of `duration` hundredths.
  static uint32_t SeekTime(int64_t frame, int64_t totalSamples, uint32_t duration,
                           int32_t sampleRate);

 protected:
  void OpenFile() override;
  void CloseFile() override;
  void DoStartRead() override;
  void ReadBlock(uint8_t*& buffer, uint32_t& bytes) override;
  bool DoSeek(int64_t& sampleNum) override;
  // The whole file's frame count as the open reported it. During a read TotalSamples is the
  // range's count, which would put a looping range's restart in the wrong place.
  virtual int64_t FileTotalSamples() const;
  // What the runtime told of the open file.
  const TWmaSyncReader& Reader() const { return FReader; }

 private:
  void ForgetFile();
  void FillTags();
  void Reopen();

  TWmaSyncReader FReader;
  uint32_t FDuration = 0;  // hundredths of a second
  bool FHighPrecision = false;
  TChannelsNumber FOutputChannels = cnMonoOrStereo;
};
