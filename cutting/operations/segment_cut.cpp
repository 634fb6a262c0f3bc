// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/segment_cut.h"

#include "cutting/save/output_run.h"
#include "cutting/time/cut_range.h"

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

TSegmentCut::TSegmentCut(TOpenedSource opened)
    : FOpened(std::move(opened)), FSink(FOpened.Kind->MakeSink()) {}

TSegmentCut::~TSegmentCut() = default;

void TSegmentCut::Start(TOutputRun& run, const std::vector<TKeptPiece>& pieces,
                        const TFades& fades) {
  const TKind& kind = Kind();
  TAuFileIn& source = Source();
  TAuFileOut& sink = *FSink;
  if (!source.Valid()) throw ECutError("the file holds no sound this program can read");
  FInput.SetSource(&source);
  const std::vector<TFrameRange> ranges = PieceRanges(kind, source, pieces);
  FInput.SetRanges(ranges, kind.FramesHeld(source));
  FInput.SetFades(fades.Any() ? FadesAtJoins(fades, source.SampleRate(), ranges.size())
                              : std::vector<TStretchFades>{});
  sink.SetInput(&FInput);
  kind.PrepareCut(source, sink);
  run.Start(
      sink, kind, [this] { return FInput.FramesRead(); }, FInput.TotalSamples(),
      static_cast<int>(ranges.size()));
}
