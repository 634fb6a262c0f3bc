// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>

#include "pipeline/au_input.h"
#include "pipeline/au_stream.h"

// A source that reads a stream over a range of sample frames, StartSample to EndSample
// inclusive (-1: to the end), optionally looping. The range is good for one read only: it is
// reset when the read ends, so a caller sets it before every run.
class TAuStreamedInput : public TAuInput {
 public:
  TAuStreamedInput() { Seekable = true; }

  // A caller's stream to read instead of a file (not owned); nullptr goes back to the file.
  virtual void SetStream(TAuStream* stream);

  // Positions the read at `sampleNum` frames after StartSample; before a read it only moves
  // StartSample. False when the source cannot seek there.
  bool Seek(int64_t sampleNum);

  void ReadData(uint8_t*& buffer, uint32_t& bytes) override;

  int64_t StartSample = 0;
  int64_t EndSample = -1;
  bool Loop = false;

 protected:
  // Positions the decoder at absolute frame `sampleNum`, which it may replace by the frame
  // it really landed on. False or an exception means it failed.
  virtual bool DoSeek(int64_t& sampleNum) = 0;

  TAuStream* Stream = nullptr;
  bool StreamAssigned = false;
  int64_t FTotalSamples = 0;
  bool FRestartPending = false;  // a looping read starts the range over on the next read
  // A read that goes on past Size to where the data ends: Size is only an estimate.
  bool FReadsToDataEnd = false;

 private:
  // One ReadBlock, counted into Position and cut at Size.
  void ReadOnce(uint8_t*& buffer, uint32_t& bytes);
  void RestartRange();
};

// A file source: opens its stream from FileName and turns the format's header into the common
// properties. A format class implements OpenFile, CloseFile, ReadBlock and DoSeek, and its
// destructor calls NotifyDestroying() and then CloseFile().
class TAuFileIn : public TAuStreamedInput {
 public:
  const std::filesystem::path& FileName() const { return WideFileName; }
  // Closes the file first. Both raise "The component is Busy" during a read.
  void SetFileName(const std::filesystem::path& name);
  void SetStream(TAuStream* stream) override;
  // The caller's stream read instead of the file, or nullptr.
  TAuStream* CallerStream() const { return StreamAssigned ? Stream : nullptr; }
  // Whether the header was understood; opens the file.
  bool Valid();

 protected:
  // Under FileLock, when OpenCount is 0: open the stream (OpenStream), parse the header, set
  // FValid, FBitsPerSample, FSampleRate, FChannels and FSize, and count the open.
  virtual void OpenFile() = 0;
  // Under FileLock, when open: release the decoder, CloseStream, OpenCount := 0.
  virtual void CloseFile() = 0;

  // The stream for OpenFile: the caller's, or the file opened for reading with deny-write.
  void OpenStream();
  // Destroys the file stream, or rewinds a caller's stream.
  void CloseStream();

  int QueryBitsPerSample() override;
  int QueryChannels() override;
  int QuerySampleRate() override;
  int QueryTotalTime() override;
  int64_t QueryTotalSamples() override;
  void DoStartRead() override;
  void DoEndRead() override;

  std::recursive_mutex FileLock;
  std::filesystem::path WideFileName;
  int32_t OpenCount = 0;
  bool FValid = false;
  int32_t FBitsPerSample = 0;
  int32_t FSampleRate = 0;
  int32_t FChannels = 0;

 private:
  void RefuseWhileBusy() const;
  // The part of DoStartRead after the source is marked busy: open, seek, apply the range.
  void OpenRange();

  std::unique_ptr<TAuStream> FOwnedStream;
};
