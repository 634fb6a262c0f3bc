// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/save/output_run.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "cutting/cut_error.h"
#include "cutting/time/cut_range.h"
#include "cutting/time/time_text.h"
#include "pipeline/file_output.h"

TOutputRun::TOutputRun() = default;
TOutputRun::~TOutputRun() = default;

void TOutputRun::Watch(std::initializer_list<TAuFileOut*> sinks) {
  for (TAuFileOut* sink : sinks)
    sink->OnThreadException = [this, sink](TComponent*) {
      if (FError.empty()) FError = sink->ExceptionMessage();
    };
}

const std::filesystem::path& TOutputRun::OpenTarget(
    const std::filesystem::path& target, bool replace,
    const std::vector<std::filesystem::path>& inputs, TTempPathHook hook) {
  FOutput.reset();
  FOutput = std::make_unique<TSafeOutput>(target, replace, inputs, hook);
  FTarget = target;
  FInput = inputs.empty() ? std::filesystem::path() : inputs.front();
  std::error_code error;
  FInputSize =
      FInput.empty() ? -1 : static_cast<int64_t>(std::filesystem::file_size(FInput, error));
  if (error) FInputSize = -1;
  return FOutput->TempPath();
}

void TOutputRun::Start(TAuFileOut& sink, const TKind& kind, std::function<int64_t()> framesFed,
                       int64_t framesAsked, int stretches) {
  FError.clear();
  FFramesWritten = 0;
  FNoSound = false;
  FKind = &kind;
  FFramesFed = std::move(framesFed);
  FFramesAsked = framesAsked;
  FStretches = std::max(stretches, 1);
  if (TAuInput* input = sink.Input()) FInputShape = {input->Channels(), input->SampleRate()};
  FWrittenShape = kind.WrittenShape(sink, FInputShape);
  FRunning = &sink;
  try {
    sink.Run();
  } catch (...) {
    FRunning = nullptr;
    throw;
  }
}

std::string TOutputRun::CheckFed(int64_t frames) const {
  const int rate = FInputShape.Rate;
  if (FFramesAsked <= 0 || rate <= 0) return {};
  if (frames + FKind->LengthSlack(rate) * FStretches >= FFramesAsked) return {};
  // A file whose header promises more than it holds gives what it holds; only a file cut
  // short since the run began has lost what was asked for. (One deleted meanwhile is still
  // read whole: the run holds it open.)
  std::error_code error;
  const auto size = static_cast<int64_t>(std::filesystem::file_size(FInput, error));
  if (error || FInputSize < 0 || size >= FInputSize) return {};
  return "The file ended early: '" + FInput.string() + "' gave " +
         MsToTimeText(FramesToMs(frames, rate)) + " of the " +
         MsToTimeText(FramesToMs(FFramesAsked, rate)) + " asked for; '" + FTarget.string() +
         "' was not written";
}

std::string TOutputRun::CheckWritten(int64_t frames) const {
  const std::string name = "'" + FTarget.string() + "'";
  // A source whose header promised more than its file holds may deliver nothing at all.
  if (frames == 0) return "the input gave no sound for it; " + name + " was not written";
  const std::string incomplete = name + " did not come out complete";
  // The file read back is the temporary one, whose name means nothing to the user.
  std::optional<TOpenedSource> written;
  try {
    written = OpenSource(FOutput->TempPath());
  } catch (const std::exception&) {
    return incomplete + ": it cannot be read back as " + FKind->Name();
  }
  TAuFileIn& result = *written->Source;
  // A WMA codec format may have another rate than the sound that went in.
  if (FInputShape.Rate > 0 && FWrittenShape.Rate != FInputShape.Rate)
    frames = std::llround(static_cast<double>(frames) * FWrittenShape.Rate / FInputShape.Rate);
  if (result.Channels() != FWrittenShape.Channels || result.SampleRate() != FWrittenShape.Rate)
    return incomplete + ": it reads back as " + std::to_string(result.Channels()) +
           " channels at " + std::to_string(result.SampleRate()) + " Hz, not " +
           std::to_string(FWrittenShape.Channels) + " at " + std::to_string(FWrittenShape.Rate);
  if (!written->Kind->LengthMatches(result, frames))
    return incomplete + ": it reads back as " + std::to_string(written->Kind->FramesHeld(result)) +
           " frames of the " + std::to_string(frames) + " written";
  return {};
}

// An engine error names no file, or the temporary one: the user learns which target it was.
std::string TOutputRun::NamingTarget(std::string error) const {
  if (error.empty() || FTarget.empty()) return error;
  if (FOutput) {
    const std::string temp = FOutput->TempPath().string();
    for (size_t at = error.find(temp); at != std::string::npos; at = error.find(temp, at))
      error.replace(at, temp.size(), FTarget.string());
  }
  if (error.find(FTarget.string()) == std::string::npos)
    error += " (while writing '" + FTarget.string() + "')";
  return error;
}

std::string TOutputRun::Finish() {
  std::string error = FError;
  if (FRunning != nullptr && error.empty()) error = FRunning->ExceptionMessage();
  error = NamingTarget(error);
  const bool ran = FRunning != nullptr;
  FRunning = nullptr;
  FError.clear();
  if (error.empty() && !ran) error = "the run was not started";
  if (error.empty() && !FOutput) error = "no file was opened for the run";
  if (error.empty()) {
    const int64_t frames = FFramesFed ? FFramesFed() : 0;
    FNoSound = frames == 0;
    error = CheckFed(frames);
    if (error.empty()) error = CheckWritten(frames);
    if (error.empty()) {
      try {
        FOutput->Commit();
        FFramesWritten = frames;
      } catch (const std::exception& e) {
        error = e.what();
      }
    }
  }
  FOutput.reset();
  return error;
}

void TOutputRun::Stop() {
  TAuFileOut* running = FRunning;
  FRunning = nullptr;
  if (running != nullptr) running->Stop();
  FOutput.reset();
}
