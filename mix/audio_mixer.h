// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "pipeline/au_input.h"

enum TAudioMixerMode { amMix = 0, amConcatenate = 1 };

// A source that reads two other sources and hands out either their mix or the first followed
// by the second, in the format of the first. Every sample passes through single-precision
// floats, so the second input may have another sample width; channel count and rate are not
// compared, the samples are combined position by position.
//
// A mix halves the sum, so a lone input (before the second starts or after either ends) comes
// out at half amplitude and gains of at most 1 never leave the integer range.
//
// Position counts the bytes handed out and Size is what the inputs hold (both together for
// a join, the longer for a mix), so a sink reading the mixer shows its progress.
class TAudioMixer : public TAuInput {
 public:
  TAudioMixer() = default;
  ~TAudioMixer() override;

  TAuInput* Input1() const { return FInput1.load(); }
  TAuInput* Input2() const { return FInput2.load(); }
  // Both refuse with "The component is busy." while a read is under way.
  void SetInput1(TAuInput* input);
  void SetInput2(TAuInput* input);

  // Read at every block, so a change during a read applies from the next block on.
  std::atomic<TAudioMixerMode> Mode{amMix};
  // Frame of the first input at which the second one starts in a mix.
  std::atomic<int64_t> Input2StartSample{0};
  // Gains as fractions of 65535.
  std::atomic<uint16_t> Volume1{65535};
  std::atomic<uint16_t> Volume2{65535};

  // Most samples (single values of one channel) handed out per block.
  static constexpr uint32_t BlockSamples = 4096;

 protected:
  // The first input's format; "Input not assigned" without it.
  int QueryBitsPerSample() override;
  int QueryChannels() override;
  int QuerySampleRate() override;

  void DoStartRead() override;
  void DoEndRead() override;
  void ReadBlock(uint8_t*& buffer, uint32_t& bytes) override;

  void Notification(TComponent* destroyed) override;

 private:
  struct TSide {
    TAuInput* Input = nullptr;
    bool Started = false;  // its StartRead succeeded, so it is owed an EndRead
    bool Ended = false;    // a read of it came back empty
    int Width = 0;         // bytes per sample, 1 to 4
    int Channels = 1;
    std::vector<uint8_t> Samples;  // BlockSamples samples of Width bytes
    std::vector<float> Floats;     // BlockSamples floats
  };

  void AssignInput(std::atomic<TAuInput*>& slot, TAuInput* input);
  TAuInput* RequireInput1();
  void OpenInputs();
  // Ends the reads of the inputs that were started and releases the buffers; the first error
  // of an input's EndRead is raised after everything is released.
  void CloseInputs();
  int64_t ReadSize() const;
  // The second input's start offset in samples, never negative.
  int64_t Input2StartInSamples() const;
  uint32_t ReadSamples(TSide& side, uint32_t count);
  uint32_t MixBlock(uint32_t n);
  uint32_t ConcatenateBlock(uint32_t n);

  std::atomic<TAuInput*> FInput1{nullptr};
  std::atomic<TAuInput*> FInput2{nullptr};
  // Working state of a read, from DoStartRead to DoEndRead, touched only under DataLock.
  TSide FSide1;
  TSide FSide2;
  int64_t FSampleCount = 0;  // in a mix: samples taken from the first input, plus the silence
                             // put in after its end while the second is not yet due
};
