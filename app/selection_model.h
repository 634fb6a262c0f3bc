// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The main window's selection: the open file's length and the chosen stretch, in
// milliseconds. The thumbs, the time edits, "Splitted File Size" and the cut all read it, so
// a time typed in tenths is kept as typed while the thumbs show the nearest half second.
class TSelectionModel {
 public:
  // A file of `lengthMs` opened (0: none), all of it selected.
  void Reset(int32_t lengthMs);

  int32_t LengthMs() const { return FLengthMs; }
  int32_t StartMs() const { return FStartMs; }
  int32_t EndMs() const { return FEndMs; }
  int32_t SizeMs() const { return FEndMs - FStartMs; }
  // The selection ends where the file does: the cut reads to the end of the data.
  bool ToEnd() const { return FEndMs >= FLengthMs; }

  // Accepted (true) only for a start before the end, and an end after the start and within
  // the file.
  bool SetStart(int32_t ms);
  bool SetEnd(int32_t ms);
  // Both ends at once, accepted when 0 <= start < end <= the length.
  bool Set(int32_t startMs, int32_t endMs);

  // The selection was chosen finer than a tenth (a time typed with milliseconds): the
  // windows show its times to the millisecond. A new file clears it.
  bool Precise() const { return FPrecise; }
  void SetPrecise(bool value) { FPrecise = value; }

  // The track bar's units: half seconds, the length rounded down as the bar's Max, each end
  // at its nearest half second within the bar.
  int MaxUnits() const { return FLengthMs / kUnitMs; }
  int StartUnit() const;
  int EndUnit() const;
  // The thumbs moved from `shownLower` and `shownUpper` to `lower` and `upper`: a thumb that
  // moved takes its half second (the end thumb at the end of the bar takes the whole length),
  // one that stayed keeps its time.
  void SetFromUnits(int lower, int upper, int shownLower, int shownUpper);

  static constexpr int32_t kUnitMs = 500;

 private:
  int Unit(int32_t ms) const;

  int32_t FLengthMs = 0;
  int32_t FStartMs = 0;
  int32_t FEndMs = 0;
  bool FPrecise = false;
};
