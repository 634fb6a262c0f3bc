// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/selection_model.h"

#include <algorithm>

void TSelectionModel::Reset(int32_t lengthMs) {
  FLengthMs = std::max(lengthMs, 0);
  FStartMs = 0;
  FEndMs = FLengthMs;
  FPrecise = false;
}

bool TSelectionModel::SetStart(int32_t ms) {
  if (ms < 0 || ms >= FEndMs) return false;
  FStartMs = ms;
  return true;
}

bool TSelectionModel::SetEnd(int32_t ms) {
  if (ms <= FStartMs || ms > FLengthMs) return false;
  FEndMs = ms;
  return true;
}

bool TSelectionModel::Set(int32_t startMs, int32_t endMs) {
  if (startMs < 0 || startMs >= endMs || endMs > FLengthMs) return false;
  FStartMs = startMs;
  FEndMs = endMs;
  return true;
}

int TSelectionModel::Unit(int32_t ms) const {
  return std::clamp((ms + kUnitMs / 2) / kUnitMs, 0, MaxUnits());
}

int TSelectionModel::StartUnit() const {
  return Unit(FStartMs);
}

int TSelectionModel::EndUnit() const {
  return ToEnd() ? MaxUnits() : Unit(FEndMs);
}

void TSelectionModel::SetFromUnits(int lower, int upper, int shownLower, int shownUpper) {
  const int32_t start = lower == shownLower ? FStartMs : lower * kUnitMs;
  int32_t end = upper == shownUpper ? FEndMs : upper * kUnitMs;
  if (upper >= MaxUnits() && upper != shownUpper) end = FLengthMs;
  if (start >= end) return;  // the bar keeps its thumbs apart; nothing to take over
  FStartMs = std::max<int32_t>(start, 0);
  FEndMs = std::min(end, FLengthMs);
}
