// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/segment_cut.h"

#include "cutting/save/output_run.h"
#include "cutting/time/cut_range.h"
#include "tags/copying_file_out.h"

std::vector<TFrameRange> TSegmentCut::PieceRanges(const TKind& kind, TAuFileIn& source,
                                                  const std::vector<TKeptPiece>& pieces) {
  std::vector<TFrameRange> ranges;
  for (const TKeptPiece& piece : pieces) {
    try {
      ranges.push_back(RangeToRead(kind, source, piece.StartMs, piece.EndMs, piece.ToEnd));
    } catch (const ERangePastEnd&) {
      // The shown length can run a little past the frames the file holds.
    }
  }
  if (ranges.empty())
    throw ECutError("the segments remove all of the sound; nothing would be left");
  return ranges;
}

TSegmentCut::TSegmentCut(TOpenedSource opened, bool keepFrames) : FOpened(std::move(opened)) {
  if (keepFrames) FSink = FOpened.Kind->MakePieceKeepingSink();
  if (!FSink) FSink = FOpened.Kind->MakeSink();
}

TPiecesCopyOut* TSegmentCut::PieceKeepingSink() const {
  return dynamic_cast<TPiecesCopyOut*>(FSink.get());
}

TSegmentCut::~TSegmentCut() = default;

void TSegmentCut::SetUpPieceCopy(TPiecesCopyOut& copy, const std::vector<TFrameRange>& ranges,
                                 const TFades& fades) {
  if (fades.Any() && Kind().CopiesFrames(copy))
    throw ECutError("a fade needs re-encoding; it cannot be combined with a frame copy of " +
                    Kind().Name() + " files");
  std::vector<TPiecesCopyOut::TPiece> kept;
  for (const TFrameRange& range : ranges) kept.push_back({range.StartSample, range.EndSample});
  copy.SetPieces(std::move(kept));
  const int64_t rate = Source().SampleRate();
  copy.SetJoinFades(int64_t{fades.OutMs} * rate / 1000, int64_t{fades.InMs} * rate / 1000);
  copy.SetInput(&Source());
}

std::vector<std::pair<int64_t, int64_t>> TSegmentCut::PlannedJoins(
    const std::vector<TKeptPiece>& pieces, const TFades& fades) {
  const std::vector<TFrameRange> ranges = PieceRanges(Kind(), Source(), pieces);
  std::vector<std::pair<int64_t, int64_t>> joins;
  if (TPiecesCopyOut* copy = PieceKeepingSink()) {
    SetUpPieceCopy(*copy, ranges, fades);
    for (const TPiecesCopyOut::TJoin& join : copy->PlannedJoins())
      joins.emplace_back(join.Sample, join.Shift);
    return joins;
  }
  const int64_t held = Kind().FramesHeld(Source());
  int64_t at = 0;
  for (size_t k = 0; k + 1 < ranges.size(); ++k) {
    at += RangeFrames(ranges[k], held);
    joins.emplace_back(at, 0);
  }
  return joins;
}

void TSegmentCut::Start(TOutputRun& run, const std::vector<TKeptPiece>& pieces,
                        const TFades& fades) {
  const TKind& kind = Kind();
  TAuFileIn& source = Source();
  TAuFileOut& sink = *FSink;
  if (!source.Valid()) throw ECutError("the file holds no sound this program can read");
  const std::vector<TFrameRange> ranges = PieceRanges(kind, source, pieces);
  if (TPiecesCopyOut* copy = PieceKeepingSink()) {
    SetUpPieceCopy(*copy, ranges, fades);
    kind.PrepareCut(source, sink);
    int64_t asked = 0;
    for (const TFrameRange& range : ranges) asked += RangeFrames(range, kind.FramesHeld(source));
    run.Start(sink, kind, kind.FramesFed(sink, source), asked, static_cast<int>(ranges.size()));
    return;
  }
  FInput.SetSource(&source);
  FInput.SetRanges(ranges, kind.FramesHeld(source));
  FInput.SetFades(fades.Any() ? FadesAtJoins(fades, source.SampleRate(), ranges.size())
                              : std::vector<TStretchFades>{});
  sink.SetInput(&FInput);
  kind.PrepareCut(source, sink);
  run.Start(
      sink, kind, [this] { return FInput.FramesRead(); }, FInput.TotalSamples(),
      static_cast<int>(ranges.size()));
}
