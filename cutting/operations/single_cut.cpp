// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/single_cut.h"

#include "cutting/cut_error.h"
#include "cutting/save/output_run.h"
#include "cutting/time/cut_range.h"

TSingleCut::TSingleCut(TOpenedSource opened, const TCutChoice& choice)
    : FOpened(std::move(opened)) {
  const TKind& kind = Kind();
  ApplyRange(Source(), RangeToRead(kind, Source(), choice.StartMs, choice.EndMs, choice.ToEnd));
  FSink = choice.KeepFrames ? kind.MakeFrameKeepingSink() : kind.MakeSink();
  SetCutInput(*FSink, kind, Source(), choice.Fades, FFaded);
  if (choice.Lanes) kind.SetEncoderLanes(*FSink, *choice.Lanes);
}

TSingleCut::~TSingleCut() = default;

void TSingleCut::Start(TOutputRun& run) {
  StartCut(run, Kind(), Source(), *FSink);
}

bool CopiesFrames(const TKind& kind, bool keepFrames) {
  return keepFrames && kind.KeepsFramesByCopy();
}

void SetCutInput(TAuFileOut& sink, const TKind& kind, TAuFileIn& source, const TFades& fades,
                 TRangesInput& faded) {
  if (!fades.Any()) {
    sink.SetInput(&source);
    return;
  }
  if (kind.CopiesFrames(sink))
    throw ECutError("a fade needs re-encoding; it cannot be combined with a frame copy");
  faded.SetSource(&source);
  faded.SetRanges({{source.StartSample, source.EndSample}}, kind.FramesHeld(source));
  faded.SetFades(FadesOfCut(fades, source.SampleRate()));
  sink.SetInput(&faded);
}

void StartCut(TOutputRun& run, const TKind& kind, TAuFileIn& source, TAuFileOut& sink,
              const std::function<void(TAuFileOut&)>& retag) {
  kind.PrepareCut(source, sink);
  if (retag) retag(sink);
  run.Start(sink, kind, kind.FramesFed(sink, source), FramesToRead(kind, source));
}
