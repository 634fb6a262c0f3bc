// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/join_run.h"

#include "cutting/cut_error.h"
#include "cutting/save/output_run.h"

TJoinRun::TJoinRun(TOpenedSource first, TOpenedSource second, TAudioMixerMode mode)
    : FFirst(std::move(first)), FSecond(std::move(second)) {
  if (FFirst.Kind != FSecond.Kind) throw ECutError("the two files are of different kinds");
  FConverter2.SetInput(FSecond.Source.get());
  FConverter2.SetOutputFormatOf(*FFirst.Source);
  FMixer.Mode = mode;
  FMixer.Volume1 = 65535;
  FMixer.Volume2 = 65535;
  FMixer.SetInput1(FFirst.Source.get());
  FMixer.SetInput2(&FConverter2);
  FSink = Kind().MakeSink();
  FSink->SetInput(&FMixer);
}

TJoinRun::~TJoinRun() = default;

void TJoinRun::Start(TOutputRun& run) {
  Kind().PrepareCut(*FFirst.Source, *FSink);
  // The mixer hands out the first file's samples in the first file's format, and so does
  // the converter in front of the second.
  run.Start(*FSink, Kind(), FramesCombined(*FFirst.Source, FConverter2, FMixer.Mode == amMix));
}
