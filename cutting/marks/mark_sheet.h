// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Marks another program set in a sound: the tracks of a cue sheet, the labels of a label
// file, the chapters a file carries. Times keep the unit they were written in (a cue frame
// is 1/75 s, a label's seconds have decimals), so that they meet the sound's frames exactly.

// Count / PerSecond seconds.
struct TMarkTime {
  int64_t Count = 0;
  int64_t PerSecond = 1;
  // The sample frame at this time, rounded to the nearest (a cue frame at 44.1 kHz is 588
  // frames exactly).
  int64_t Frames(int rate) const;
  bool operator==(const TMarkTime&) const = default;
};
// The time of sample frame `frame` at `rate`, in units of 1/`perSecond` s, rounded.
TMarkTime FrameTime(int64_t frame, int rate, int64_t perSecond);

// The texts of a track or of the whole sheet, UTF-8; empty when not given.
struct TMarkTexts {
  std::string Title, Performer, Songwriter;
  bool operator==(const TMarkTexts&) const = default;
};

// One mark: a stretch from Start, to End where the mark says (a label's region), else to
// the next mark or the end of the sound. Line: where it stands in its file, for messages.
struct TMark {
  TMarkTime Start;
  std::optional<TMarkTime> End;
  TMarkTexts Texts;
  int Line = 0;
  // A point label: it bounds pieces but is no stretch of its own.
  bool Point = false;
  bool operator==(const TMark&) const = default;
};

// The marks of one sound file, with what the sheet says of the whole.
struct TMarkSheet {
  TMarkTexts Album;  // its Title is the album's
  std::string Genre, Date, Comment;
  std::vector<TMark> Marks;
  bool operator==(const TMarkSheet&) const = default;
};

// The texts a piece made at a mark gets, the sheet's filling in what the track lacks; empty
// fields leave the file's own.
struct TMarkPieceTexts {
  std::string Title, Artist, Album, Composer, Genre, Date, Comment;
  bool operator==(const TMarkPieceTexts&) const = default;
};
TMarkPieceTexts PieceTexts(const TMarkSheet& sheet, const TMark& mark);
