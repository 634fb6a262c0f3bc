// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/join_run.h"

#include "cutting/cut_error.h"
#include "cutting/save/output_run.h"
#include "tags/copying_file_out.h"

namespace {

// Whether `a` and `b` hand out samples of one format, which a join can pass on as they are.
bool SameSamples(TAuInput& a, TAuInput& b) {
  return a.BitsPerSample() > 0 && a.Channels() > 0 && a.BitsPerSample() == b.BitsPerSample() &&
         a.Channels() == b.Channels() && a.SampleRate() == b.SampleRate() &&
         a.FloatSamples() == b.FloatSamples();
}

}  // namespace

TJoinRun::TJoinRun(TOpenedSource first, TOpenedSource second, TAudioMixerMode mode, bool keepFrames)
    : FFirst(std::move(first)), FSecond(std::move(second)) {
  if (FFirst.Kind != FSecond.Kind) throw ECutError("the two files are of different kinds");
  FMixer.Mode = mode;
  if (keepFrames && mode == amConcatenate && KeepFrames()) return;
  FSink = Kind().MakeSink();
  // The mixer passes every sample through floats, which bring some back a step off: a join
  // that needs no conversion copies the samples instead, and at the disk's pace.
  if (mode == amConcatenate && SameSamples(*FFirst.Source, *FSecond.Source)) {
    FJoined.SetInputs(FFirst.Source.get(), FSecond.Source.get());
    FSink->SetInput(&FJoined);
    return;
  }
  FConverter2.SetInput(FSecond.Source.get());
  FConverter2.SetOutputFormatOf(*FFirst.Source);
  FMixer.Volume1 = 65535;
  FMixer.Volume2 = 65535;
  FMixer.SetInput1(FFirst.Source.get());
  FMixer.SetInput2(&FConverter2);
  FSink->SetInput(&FMixer);
}

TJoinRun::~TJoinRun() = default;

bool TJoinRun::KeepFrames() {
  std::unique_ptr<TPiecesCopyOut> copy = Kind().MakePieceKeepingSink();
  if (!copy) return false;
  const std::string refusal = Kind().JoinKeepingRefusal(*FFirst.Source, *FSecond.Source);
  if (!refusal.empty()) throw ECutError(refusal);
  copy->SetInput(FFirst.Source.get());
  copy->SetFollowingSource(FSecond.Source.get());
  FCopy = copy.get();
  FSink = std::move(copy);
  return true;
}

void TJoinRun::Start(TOutputRun& run) {
  Kind().PrepareCut(*FFirst.Source, *FSink);
  if (FCopy != nullptr) {
    run.Start(*FSink, Kind(), Kind().FramesFed(*FSink, *FFirst.Source));
    return;
  }
  // The mixer hands out the first file's samples in the first file's format, and so does
  // the converter in front of the second.
  const bool joined = FSink->Input() == &FJoined;
  TAuInput& second = joined ? *FSecond.Source : static_cast<TAuInput&>(FConverter2);
  run.Start(*FSink, Kind(), FramesCombined(*FFirst.Source, second, FMixer.Mode == amMix));
}
