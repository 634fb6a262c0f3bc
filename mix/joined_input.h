// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

#include "pipeline/au_input.h"

// A source that hands out the first input's data and then the second's, each block as its
// input delivers it: the join of two inputs that deliver one format, with every sample passed
// on untouched where the mixer would compute it anew through floats. It reads the inputs
// side by side: both reads start with its own and end with it.
//
// Position counts the bytes handed out and Size is what both inputs hold (-1 when either
// cannot tell), so a sink reading it shows its progress.
class TJoinedInput : public TAuInput {
 public:
  TJoinedInput() = default;
  ~TJoinedInput() override;

  // Two distinct inputs (not owned); refuses with "The component is busy." during a read.
  void SetInputs(TAuInput* first, TAuInput* second);

 protected:
  // The first input's format; "Input not assigned" without it.
  int QueryBitsPerSample() override;
  int QueryChannels() override;
  int QuerySampleRate() override;
  bool QueryFloatSamples() override;
  int64_t QueryTotalSamples() override;

  void DoStartRead() override;
  void DoEndRead() override;
  void ReadBlock(uint8_t*& buffer, uint32_t& bytes) override;
  void Notification(TComponent* destroyed) override;

 private:
  // `query` of the first input; "Input not assigned" without one.
  template <typename T>
  T OfFirst(T (TAuInput::*query)());
  // Ends the reads that were started; the first error is raised after all are ended.
  void CloseInputs();

  std::array<TAuInput*, 2> FInputs{};
  std::array<bool, 2> FStarted{};  // that input's read was started and is owed an EndRead
  size_t FCurrent = 0;             // the input being read
};
