// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

#include "cutting/fades.h"
#include "cutting/file_kinds.h"

class TOutputRun;
class TRangesInput;

// One stretch of one file into a new file, as the main window and `trimora-cli cut` write it:
// re-encoded in the source's format, or with the source's frames kept as they are.

// The sink of a cut of `kind` that keeps the source's frames: for MP3 the frame copy (exact on
// players that honour the gapless header); for WAV its usual sink, whose cut is lossless
// anyway. ECutError with the reason for WMA, whose frames cannot be cut apart.
std::unique_ptr<TAuFileOut> MakeFrameKeepingSink(TFileKind kind);
// Whether a cut of `kind` can keep the source's frames by copying them (MP3): a WAV cut is
// lossless anyway, and WMA frames cannot be cut apart.
bool KeepsFramesByCopy(TFileKind kind);

// Sets `sink` to read the range set on `source`: the source itself when `fades` asks for
// none, so that such a cut is exactly the plain one; otherwise through `faded`, which fades
// the frames the range holds and must outlive the run. ECutError when the sink keeps the
// source's frames, which cannot be faded without re-encoding.
void SetCutInput(TAuFileOut& sink, TFileKind kind, TAuFileIn& source, const TFades& fades,
                 TRangesInput& faded);

// Carries the source's tags (and, when it encodes, its settings) into `sink`, whose input is
// `source` with the range applied, and starts it through `run`, which has opened the target.
// `retag`, when given, changes the carried tags before the run starts (a split numbers its
// pieces).
void StartCut(TOutputRun& run, TFileKind kind, TAuFileIn& source, TAuFileOut& sink,
              const std::function<void(TAuFileOut&)>& retag = {});
