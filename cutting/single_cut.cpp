// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/single_cut.h"

#include "cutting/cut_error.h"
#include "cutting/cut_range.h"
#include "cutting/output_run.h"
#include "cutting/ranges_input.h"
#include "formats/mp3copy/mp3_frame_copy_out.h"

std::unique_ptr<TAuFileOut> MakeFrameKeepingSink(TFileKind kind) {
  switch (kind) {
    case TFileKind::Mp3:
      return std::make_unique<TMP3FrameCopyOut>();
    case TFileKind::Wave:
      return MakeSink(kind);
    case TFileKind::Wma:
      break;
  }
  throw ECutError("WMA frames cannot be kept as they are: a WMA cut is always re-encoded");
}

bool KeepsFramesByCopy(TFileKind kind) {
  return kind == TFileKind::Mp3;
}

void SetCutInput(TAuFileOut& sink, TFileKind kind, TAuFileIn& source, const TFades& fades,
                 TRangesInput& faded) {
  if (!fades.Any()) {
    sink.SetInput(&source);
    return;
  }
  if (dynamic_cast<TMP3FrameCopyOut*>(&sink) != nullptr)
    throw ECutError("a fade needs re-encoding; it cannot be combined with a frame copy");
  faded.SetSource(&source);
  faded.SetRanges({{source.StartSample, source.EndSample}}, FramesHeld(kind, source));
  faded.SetFades(FadesOfCut(fades, source.SampleRate()));
  sink.SetInput(&faded);
}

void StartCut(TOutputRun& run, TFileKind kind, TAuFileIn& source, TAuFileOut& sink,
              const std::function<void(TAuFileOut&)>& retag) {
  PrepareCut(kind, source, sink);
  if (retag) retag(sink);
  const int64_t asked = FramesToRead(kind, source);
  if (auto* copy = dynamic_cast<TMP3FrameCopyOut*>(&sink)) {
    // The copy reads the file itself: the frames it kept are what went in.
    run.Start(
        sink, kind, [copy] { return copy->SamplesKept(); }, asked);
    return;
  }
  run.Start(sink, kind, FramesDelivered(source), asked);
}
