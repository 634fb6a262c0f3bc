#include "cli/command_remove.h"

#include <unistd.h>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <map>
#include <optional>

#include "cli/cli_args.h"
#include "cli/cli_errors.h"
#include "cli/file_kinds.h"
#include "cli/progress_line.h"
#include "cli/run_loop.h"
#include "cli/write_output.h"
#include "cutting/sample_frames.h"
#include "cutting/segment_plan.h"
#include "cutting/selection_frames.h"
#include "cutting/time_text.h"
#include "formats/wave/wave_in.h"
#include "mix/audio_mixer.h"

namespace {

const char* const kRemoveUsage =
    "Usage: trimora-cli remove FILE --segment START-END [--segment START-END ...] -o OUT\n"
    "                          [--exact] [--plan] [--force] [--quiet]\n"
    "\n"
    "Writes FILE without the listed stretches into OUT, a new file of the same format, with\n"
    "FILE's tags and encoder settings. Each removed stretch is widened by 0.1 s on each side\n"
    "(so 00:00:05.0-00:00:10.0 removes 00:00:04.9 to 00:00:10.1); a stretch that ends within\n"
    "the last second of FILE removes everything after its start. The kept pieces are joined\n"
    "as lossless work files, so the sound is encoded only once. Times are\n"
    "hours:minutes:seconds.tenths, as in 00:01:30.5.\n"
    "\n"
    "Options:\n"
    "  -s, --segment START-END  a stretch to remove; give one for each, in order\n"
    "  -o, --output OUT         the file to write (required unless --plan)\n"
    "  --exact                  remove exactly the stretches given, without the widening\n"
    "  --plan                   print the stretches that would be kept; write nothing\n"
    "  -f, --force              replace OUT if it exists\n"
    "  -q, --quiet              no progress line\n"
    "  -h, --help               show this help\n";

struct TRemoveRequest {
  std::string Input;
  std::string Output;
  std::vector<TSegmentRow> Rows;
  bool Exact = false;
  bool PlanOnly = false;
  bool Force = false;
  bool Quiet = false;
  bool Help = false;
};

TSegmentRow ParseSegment(const std::string& text) {
  const size_t dash = text.find('-');
  const std::string start = text.substr(0, dash);
  const std::string end = dash == std::string::npos ? "" : text.substr(dash + 1);
  if (!IsTimeText(start) || !IsTimeText(end))
    throw TUsageError("invalid --segment '" + text +
                      "' (expected START-END, as in 00:00:05.0-00:00:10.0)");
  TSegmentRow row{NormalizeTimeText(start), NormalizeTimeText(end)};
  if (TimeTextToMs(row.End) <= TimeTextToMs(row.Start))
    throw TUsageError("--segment '" + text + "' does not end after it starts");
  return row;
}

// --segment may be given many times, which TCliArgs (the last value wins) does not keep, so
// the segments are taken out first.
std::vector<std::string> TakeSegments(const std::vector<std::string>& args,
                                      std::vector<TSegmentRow>& rows) {
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      rest.insert(rest.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
      break;
    }
    if (arg.rfind("--segment=", 0) == 0) {
      rows.push_back(ParseSegment(arg.substr(10)));
    } else if (arg == "--segment" || arg == "-s") {
      if (i + 1 == args.size()) throw TUsageError(arg + " needs a value");
      rows.push_back(ParseSegment(args[++i]));
    } else {
      rest.push_back(arg);
    }
  }
  return rest;
}

TRemoveRequest ParseRemove(const std::vector<std::string>& args) {
  TRemoveRequest request;
  const TCliArgs parsed({{"--output", "-o", true},
                         {"--exact", "", false},
                         {"--plan", "", false},
                         {"--force", "-f", false},
                         {"--quiet", "-q", false},
                         {"--help", "-h", false}},
                        TakeSegments(args, request.Rows));
  request.Help = parsed.Has("--help");
  if (request.Help) return request;
  if (parsed.Positional().size() != 1) throw TUsageError("remove takes one FILE");
  request.Input = parsed.Positional()[0];
  if (request.Rows.empty()) throw TUsageError("remove needs at least one --segment START-END");
  if (!RowsInSequence(request.Rows))
    throw TUsageError("the segments overlap or are out of order; give them in sequence");
  request.PlanOnly = parsed.Has("--plan");
  const auto output = parsed.Value("--output");
  if (!request.PlanOnly && (!output || output->empty()))
    throw TUsageError("remove needs the output file: -o OUT");
  request.Output = output.value_or("");
  request.Exact = parsed.Has("--exact");
  request.Force = parsed.Has("--force");
  request.Quiet = parsed.Has("--quiet");
  return request;
}

// The frames of `piece` in a file of `total` frames at `rate`, first and last inclusive; a
// last of -1 reads to the end of what the source delivers (the compressed sources report a
// little more than their files hold).
TFrameRange PieceFrames(const TKeptPiece& piece, int64_t total, int rate) {
  TFrameRange range = SelectionToFrames(piece.StartMs, piece.EndMs, piece.ToEnd, rate);
  if (range.EndSample >= total) range.EndSample = total - 1;
  return range;
}

struct TBatch {
  const TRemoveRequest& Request;
  TFileKind Kind;
  int64_t TotalFrames;
  int Rate;
  std::vector<TKeptPiece> Pieces;
};

void PrintPlan(const TBatch& batch) {
  int64_t kept = 0;
  for (size_t k = 0; k < batch.Pieces.size(); ++k) {
    TFrameRange range = PieceFrames(batch.Pieces[k], batch.TotalFrames, batch.Rate);
    if (range.EndSample < 0) range.EndSample = batch.TotalFrames - 1;
    const int64_t frames = range.EndSample - range.StartSample + 1;
    kept += frames;
    std::printf("piece %zu: %s - %s (frames %lld-%lld)\n", k + 1,
                FramesToTimeText(range.StartSample, batch.Rate).c_str(),
                FramesToTimeText(range.EndSample + 1, batch.Rate).c_str(),
                static_cast<long long>(range.StartSample), static_cast<long long>(range.EndSample));
  }
  std::printf("kept: %s (%lld frames) of %s\n", FramesToTimeText(kept, batch.Rate).c_str(),
              static_cast<long long>(kept),
              FramesToTimeText(batch.TotalFrames, batch.Rate).c_str());
}

// Runs a sink that writes a work file; a failure ends the batch.
int RunStep(TAuOutput& sink, const std::string& label, bool quiet) {
  TProgressLine progress(label, quiet);
  const TRunResult run = RunToCompletion(sink, progress);
  if (run.Signal != 0) {
    std::fputs("trimora-cli: interrupted; nothing was written\n", stderr);
    return 128 + run.Signal;
  }
  if (!run.Succeeded) throw TCliError("remove failed: " + run.Error);
  return kExitOk;
}

std::unique_ptr<TAuFileOut> MakeWorkSink(const std::filesystem::path& path) {
  auto sink = MakeSink(TFileKind::Wave);
  sink->SetFileName(path);
  return sink;
}

std::string StepLabel(const char* phase, size_t k, size_t count) {
  return std::string(phase) + " " + std::to_string(k) + "/" + std::to_string(count);
}

int RunBatch(const TBatch& batch, TSafeOutput& output) {
  const TRemoveRequest& request = batch.Request;
  const size_t count = batch.Pieces.size();
  TWriteJob job{"remove", StepLabel("piece", 1, count), request.Quiet, batch.Kind, {}};

  if (count == 1) {
    TOpenedSource opened = OpenSource(request.Input);
    TAuFileIn& source = *opened.Source;
    const TFrameRange range = PieceFrames(batch.Pieces[0], source.TotalSamples(), batch.Rate);
    source.StartSample = range.StartSample;
    source.EndSample = range.EndSample;
    auto sink = MakeSink(batch.Kind);
    sink->SetFileName(output.TempPath());
    sink->SetInput(&source);
    PrepareCut(batch.Kind, source, *sink);
    job.Input = {source.Channels(), source.SampleRate()};
    const int64_t last = range.EndSample < 0 ? source.TotalSamples() - 1 : range.EndSample;
    const int64_t rangeFrames = last - range.StartSample + 1;
    return RunIntoOutput(job, std::move(sink), output,
                         [&] { return FramesCut(batch.Kind, source, rangeFrames); });
  }

  // Pieces and joins but the last are PCM WAV work files, so the sound passes through a
  // lossy encoder only once, in the last join.
  const TSegmentWorkFolder work(std::filesystem::temp_directory_path());
  // The frames each work file really holds: the WAV writer fills a compressed source's
  // overstated length with silence, so each is read back only as far as the sound went in.
  std::map<std::string, int64_t> held;
  for (size_t k = 1; k <= count; ++k) {
    TOpenedSource opened = OpenSource(request.Input);
    TAuFileIn& source = *opened.Source;
    const TFrameRange range = PieceFrames(batch.Pieces[k - 1], source.TotalSamples(), batch.Rate);
    source.StartSample = range.StartSample;
    source.EndSample = range.EndSample;
    auto sink = MakeWorkSink(work / PieceFileName(static_cast<int>(k), ".wav"));
    sink->SetInput(&source);
    if (const int status = RunStep(*sink, StepLabel("piece", k, count), request.Quiet))
      return status;
    held[PieceFileName(static_cast<int>(k), ".wav")] =
        SamplesDelivered(source) / std::max(source.Channels(), 1);
  }
  const auto chain = JoinChain(static_cast<int>(count), ".wav");
  for (size_t k = 1; k <= chain.size(); ++k) {
    const TJoinStep& step = chain[k - 1];
    TWaveIn first, second;
    first.SetFileName(work / step.First);
    second.SetFileName(work / step.Second);
    first.EndSample = held[step.First] - 1;
    second.EndSample = held[step.Second] - 1;
    TAudioMixer mixer;
    mixer.Mode = amConcatenate;
    mixer.SetInput1(&first);
    mixer.SetInput2(&second);
    const std::string label = StepLabel("join", k, chain.size());
    if (!step.Output.empty()) {
      auto sink = MakeWorkSink(work / step.Output);
      sink->SetInput(&mixer);
      if (const int status = RunStep(*sink, label, request.Quiet)) return status;
      held[step.Output] = held[step.First] + held[step.Second];
      continue;
    }
    // The output takes its tags and encoder settings from the input file.
    TOpenedSource original = OpenSource(request.Input);
    auto sink = MakeSink(batch.Kind);
    sink->SetFileName(output.TempPath());
    sink->SetInput(&mixer);
    PrepareCut(batch.Kind, *original.Source, *sink);
    job.Label = label;
    job.Input = {first.Channels(), first.SampleRate()};
    return RunIntoOutput(job, std::move(sink), output, [&] {
      const int channels = std::max(job.Input.Channels, 1);
      return (SamplesDelivered(first) + SamplesDelivered(second)) / channels;
    });
  }
  return kExitFailure;  // not reached: a chain of two or more pieces ends in the output
}

}  // namespace

int RunRemoveCommand(const std::vector<std::string>& args) {
  const TRemoveRequest request = ParseRemove(args);
  if (request.Help) {
    std::fputs(kRemoveUsage, stdout);
    return kExitOk;
  }
  TOpenedSource opened = OpenSource(request.Input);
  if (!request.PlanOnly) RequireOutputKind(opened.Kind, request.Output);
  const int64_t total = opened.Source->TotalSamples();
  const int rate = opened.Source->SampleRate();
  if (total <= 0 || rate <= 0) throw TCliError("'" + request.Input + "' holds no sound");
  const auto lengthMs =
      static_cast<int32_t>(std::min<int64_t>(SampleFramesToMs(total, rate), INT32_MAX));
  for (const auto& row : request.Rows)
    if (TimeTextToMs(row.End) > lengthMs)
      throw TCliError("--segment " + row.Start + "-" + row.End + " ends past the end of '" +
                      request.Input + "' (" + MsToTimeText(lengthMs) + ")");
  const TSegmentPlan plan =
      PlanSegmentCut(request.Rows, lengthMs, request.Exact ? 0 : kSegmentMarginMs);
  const TBatch batch{request, opened.Kind, total, rate, plan.Pieces};
  if (batch.Pieces.empty())
    throw TCliError("the segments remove all of '" + request.Input + "'; nothing would be left");
  if (request.PlanOnly) {
    PrintPlan(batch);
    return kExitOk;
  }
  opened.Source.reset();
  TSafeOutput output = OpenOutput(request.Output, request.Force, {request.Input});
  return RunBatch(batch, output);
}
