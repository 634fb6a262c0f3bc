// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "pipeline/au_input.h"

// A source in front of another that hands out the other's sound at a chosen sample rate,
// channel count and sample width (libswresample). A join or mix puts it in front of its
// second input with the first input's format, so that a mono 22.05 kHz file after a stereo
// 44.1 kHz one keeps its pitch instead of being read two samples to a frame.
//
// One channel becomes two at full level on both sides, two become one as their average;
// other counts follow libswresample's default matrix.
class TConvertingInput : public TAuInput {
 public:
  TConvertingInput();
  ~TConvertingInput() override;

  TAuInput* Input() const { return FInput.load(); }
  // Refuses with "The component is busy." while a read is under way.
  void SetInput(TAuInput* input);
  // The format handed out; 0 for any of them passes the input's own value on.
  void SetOutputFormat(int sampleRate, int channels, int bitsPerSample);
  // Sets the output format to `model`'s.
  void SetOutputFormatOf(TAuInput& model);

 protected:
  // The output format; "Input not assigned" without an input.
  int QueryBitsPerSample() override;
  int QueryChannels() override;
  int QuerySampleRate() override;
  // The input's length at the output rate.
  int64_t QueryTotalSamples() override;

  void DoStartRead() override;
  void DoEndRead() override;
  void ReadBlock(uint8_t*& buffer, uint32_t& bytes) override;
  void Notification(TComponent* destroyed) override;

 private:
  struct TRun;
  TAuInput& RequireInput();
  // Converts the next piece of the input into the run's pending bytes; false at the end.
  bool Produce(TRun& run);
  static bool PadShortInput(TRun& run);

  std::atomic<TAuInput*> FInput{nullptr};
  std::atomic<int> FRate{0};
  std::atomic<int> FChannels{0};
  std::atomic<int> FBits{0};
  std::unique_ptr<TRun> FRun;  // from DoStartRead to DoEndRead, under DataLock
};
