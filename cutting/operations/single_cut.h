// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "cutting/kinds/kind_registry.h"
#include "cutting/operations/fades.h"
#include "cutting/operations/ranges_input.h"

class TOutputRun;

// What the user chose for one stretch of one file.
struct TCutChoice {
  int32_t StartMs = 0;
  int32_t EndMs = 0;
  bool ToEnd = true;  // the end is the end of the sound, whatever EndMs says
  TFades Fades;
  bool KeepFrames = false;   // keep the source's frames where the kind can
  std::optional<int> Lanes;  // encoders at once, where the kind's sink shares its work out
};

// One stretch of one file into a new file, as the main window and `trimora-cli cut` write it:
// re-encoded in the source's format, or with the source's frames kept as they are. It owns
// the opened source, its sink and what lies between them.
class TSingleCut {
 public:
  // Sets the range of `choice` on the source by the one range rule (ERangePastEnd when it
  // starts past the sound, ENoSound when the file holds none) and makes the sink: the
  // frame-keeping one when asked for (ECutError with the kind's reason where there is none).
  TSingleCut(TOpenedSource opened, const TCutChoice& choice);
  ~TSingleCut();

  const TKind& Kind() const { return *FOpened.Kind; }
  TAuFileIn& Source() { return *FOpened.Source; }
  // The sink: the caller gives it the path the run writes to, and its handlers.
  TAuFileOut& Sink() { return *FSink; }

  // Carries the source's tags and settings into the sink and starts it through `run`, which
  // has opened the target.
  void Start(TOutputRun& run);

 private:
  TOpenedSource FOpened;
  TRangesInput FFaded;  // between the sink and the source when the cut fades
  std::unique_ptr<TAuFileOut> FSink;
};

// Whether a cut of `kind` asked to keep the frames copies them (so that it cannot fade).
bool CopiesFrames(const TKind& kind, bool keepFrames);

// Sets `sink` to read the range set on `source`: the source itself when `fades` asks for
// none, so that such a cut is exactly the plain one; otherwise through `faded`, which fades
// the frames the range holds and must outlive the run. ECutError when the sink keeps the
// source's frames, which cannot be faded without re-encoding.
void SetCutInput(TAuFileOut& sink, const TKind& kind, TAuFileIn& source, const TFades& fades,
                 TRangesInput& faded);

// Carries the source's tags (and, when it encodes, its settings) into `sink`, whose input is
// `source` with the range applied, and starts it through `run`, which has opened the target.
// `retag`, when given, changes the carried tags before the run starts (a split numbers its
// pieces).
void StartCut(TOutputRun& run, const TKind& kind, TAuFileIn& source, TAuFileOut& sink,
              const std::function<void(TAuFileOut&)>& retag = {});
