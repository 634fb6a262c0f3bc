// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "cutting/kinds/kind_registry.h"
#include "mix/audio_mixer.h"
#include "mix/converting_input.h"
#include "mix/joined_input.h"

class TOutputRun;
class TPiecesCopyOut;

// Two files into one, as the Joiner and `trimora-cli join` and `mix` write it: the first file
// followed by the second, or both played together. The output is of the first file's kind,
// with its format, tags and encoder settings. A join of two files whose samples come in one
// format hands the sink their samples as they are; otherwise the second reaches the mixer
// converted to the first's rate, channels and sample width, so it keeps its pitch. It owns
// both sources, the converter, the mixer, the joined source and the sink.
class TJoinRun {
 public:
  // ECutError when the two are not of one kind. A join with `keepFrames` keeps the frames
  // away from the join where the kind can (TKind::MakePieceKeepingSink); ECutError with the
  // reason where it cannot, or cannot for these two files.
  TJoinRun(TOpenedSource first, TOpenedSource second, TAudioMixerMode mode,
           bool keepFrames = false);
  ~TJoinRun();

  const TKind& Kind() const { return *FFirst.Kind; }
  TAudioMixerMode Mode() const { return FMixer.Mode; }
  // The sink: the caller gives it the path the run writes to, and its handlers.
  TAuFileOut& Sink() { return *FSink; }

  // Carries the first file's tags and settings into the sink and starts it through `run`,
  // which has opened the target.
  void Start(TOutputRun& run);
  // The sink when it keeps the frames away from the join; nothing otherwise.
  TPiecesCopyOut* PieceKeepingSink() const { return FCopy; }

 private:
  // Makes the frame-keeping sink; false where the kind's usual sink loses nothing anyway.
  bool KeepFrames();

  // Sources before the converter and the mixer, and those before the sink, so that every
  // reader is gone before what it reads.
  TOpenedSource FFirst;
  TOpenedSource FSecond;
  TConvertingInput FConverter2;
  TAudioMixer FMixer;
  TJoinedInput FJoined;
  std::unique_ptr<TAuFileOut> FSink;
  TPiecesCopyOut* FCopy = nullptr;  // FSink, when it keeps the frames
};
