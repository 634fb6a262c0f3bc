// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_split.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "cli/cli_args.h"
#include "cli/cli_errors.h"
#include "cli/interrupt.h"
#include "cli/json_text.h"
#include "cli/progress_line.h"
#include "cli/write_output.h"
#include "cutting/cut_error.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/operations/silence_detect.h"
#include "cutting/operations/single_cut.h"
#include "cutting/operations/split_plan.h"
#include "cutting/operations/split_run.h"
#include "cutting/time/cut_range.h"
#include "cutting/time/sample_frames.h"
#include "cutting/time/time_text.h"
#include "pipeline/main_thread_queue.h"

namespace {

const char* const kSplitUsage =
    "Usage: trimora-cli split FILE (--parts N | --every TIME | --at TIME,TIME... | --silence)\n"
    "                         [-o PATTERN] [--copy] [--plan] [--json] [--force] [--quiet]\n"
    "\n"
    "Writes FILE as several files of the same format, one per piece, each with FILE's tags\n"
    "and its track number set to the piece's (3/12). TIME is hours:minutes:seconds.tenths,\n"
    "as in 00:01:30.5, or seconds, as in 90 or 2.5. Pieces already written stay when a later\n"
    "one fails.\n"
    "\n"
    "Where to split (exactly one):\n"
    "  --parts N               N pieces of equal length\n"
    "  --every TIME            a piece every TIME; the last piece takes what remains\n"
    "  --at TIME,TIME...       a new piece at each time\n"
    "  --silence               at the pauses: a boundary in the middle of each silence\n"
    "\n"
    "With --silence:\n"
    "  --threshold DB          quieter than this is silence (default: -50, in dBFS)\n"
    "  --min-silence TIME      the shortest pause that splits (default: 2 seconds)\n"
    "  --min-piece TIME        a shorter piece joins its neighbour (default: 10 seconds)\n"
    "  --trim                  leave the silences out of the pieces\n"
    "\n"
    "Options:\n"
    "  -o, --output PATTERN    the names of the pieces: {name} is FILE's name without its\n"
    "                          extension, {n} the piece's number (default: '{name} - {n}'\n"
    "                          beside FILE, as in 'Concert - 01' and FILE's extension)\n"
    "  --copy                  keep the coded frames as they are, no re-encoding\n"
    "  --plan                  print the pieces and their names; write nothing\n"
    "  --json                  with --plan: one JSON object instead\n"
    "  -f, --force             replace pieces that exist\n"
    "  -q, --quiet             no progress line\n"
    "  -h, --help              show this help\n";

struct TSplitRequest {
  std::string Input;
  std::string Pattern;
  TSplitChoice Plan;
  TSilenceSettings Silence;
  bool Copy = false;
  bool PlanOnly = false;
  bool Json = false;
  bool Force = false;
  bool Quiet = false;
  bool Help = false;
};

// A number in `text`, all of it; nullopt otherwise.
template <typename T>
std::optional<T> WholeNumber(const std::string& text) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::vector<int32_t> ParseTimes(const std::string& text) {
  std::vector<int32_t> times;
  for (size_t at = 0; at <= text.size();) {
    const size_t comma = std::min(text.find(',', at), text.size());
    times.push_back(ParseDurationMs("--at", text.substr(at, comma - at)));
    at = comma + 1;
  }
  return times;
}

void ParseMode(const TCliArgs& parsed, TSplitRequest& request) {
  int modes = 0;
  if (const auto parts = parsed.Value("--parts")) {
    ++modes;
    request.Plan.Mode = TSplitMode::Parts;
    const auto n = WholeNumber<int>(*parts);
    if (!n || *n < 1 || *n > 9999)
      throw TUsageError("invalid --parts '" + *parts + "' (expected a number from 1 to 9999)");
    request.Plan.Parts = *n;
  }
  if (const auto every = parsed.Value("--every")) {
    ++modes;
    request.Plan.Mode = TSplitMode::Every;
    request.Plan.EveryMs = ParseDurationMs("--every", *every);
    if (request.Plan.EveryMs <= 0) throw TUsageError("--every must be longer than nothing");
  }
  if (const auto at = parsed.Value("--at")) {
    ++modes;
    request.Plan.Mode = TSplitMode::At;
    request.Plan.AtMs = ParseTimes(*at);
  }
  if (parsed.Has("--silence")) {
    ++modes;
    request.Plan.Mode = TSplitMode::Silence;
  }
  if (modes != 1)
    throw TUsageError("split needs exactly one of --parts, --every, --at and --silence");
  const bool silenceOptions = parsed.Value("--threshold") || parsed.Value("--min-silence") ||
                              parsed.Value("--min-piece") || parsed.Has("--trim");
  if (silenceOptions && request.Plan.Mode != TSplitMode::Silence)
    throw TUsageError("--threshold, --min-silence, --min-piece and --trim go with --silence");
  if (const auto threshold = parsed.Value("--threshold")) {
    const auto db = WholeNumber<double>(*threshold);
    if (!db || !(*db >= -150 && *db <= 0))  // written so that nan fails too
      throw TUsageError("invalid --threshold '" + *threshold +
                        "' (expected dBFS from -150 to 0, as in -50)");
    request.Silence.ThresholdDb = *db;
  }
  if (const auto text = parsed.Value("--min-silence")) {
    request.Silence.MinSilenceMs = ParseDurationMs("--min-silence", *text);
    if (request.Silence.MinSilenceMs < 10)
      throw TUsageError("--min-silence must be at least 0.01 seconds");
  }
  if (const auto text = parsed.Value("--min-piece"))
    request.Plan.MinPieceMs = ParseDurationMs("--min-piece", *text);
  request.Plan.Trim = parsed.Has("--trim");
}

TSplitRequest ParseSplit(const std::vector<std::string>& args) {
  const TCliArgs parsed({{"--parts", "", true},
                         {"--every", "", true},
                         {"--at", "", true},
                         {"--silence", "", false},
                         {"--threshold", "", true},
                         {"--min-silence", "", true},
                         {"--min-piece", "", true},
                         {"--trim", "", false},
                         {"--output", "-o", true},
                         {"--copy", "", false},
                         {"--plan", "", false},
                         {"--json", "", false},
                         {"--force", "-f", false},
                         {"--quiet", "-q", false},
                         {"--help", "-h", false}},
                        args);
  TSplitRequest request;
  request.Help = parsed.Has("--help");
  if (request.Help) return request;
  if (parsed.Positional().size() != 1) throw TUsageError("split takes one FILE");
  request.Input = parsed.Positional()[0];
  ParseMode(parsed, request);
  request.Pattern = parsed.Value("--output").value_or("");
  request.Copy = parsed.Has("--copy");
  request.PlanOnly = parsed.Has("--plan");
  request.Json = parsed.Has("--json");
  if (request.Json && !request.PlanOnly) throw TUsageError("--json goes with --plan");
  request.Force = parsed.Has("--force");
  request.Quiet = parsed.Has("--quiet");
  return request;
}

// The silences of the whole file, found with a progress line; nullopt when interrupted.
std::optional<std::vector<TSilence>> FindSilences(const TSplitRequest& request, TAuFileIn& source) {
  TSilenceDetector detector;
  std::vector<TSilence> found;
  {
    TProgressLine progress("Finding pauses", request.Quiet);
    found = detector.Detect(source, request.Silence, [&](int percent) {
      if (interrupt::Received()) detector.Stop();
      progress.Show(percent);
    });
  }
  if (detector.Stopped()) return std::nullopt;
  return found;
}

std::vector<TSplitPiece> PlanPieces(const TSplitRequest& request,
                                    const std::vector<TSilence>& silences, int64_t held, int rate) {
  try {
    return PlanSplit(request.Plan, silences, held, rate);
  } catch (const ECutError& e) {
    throw TCliError("'" + request.Input + "': " + e.what());
  }
}

std::string PreciseTime(int64_t frames, int rate) {
  return MsToPreciseTimeText(FramesToMs(frames, rate));
}

void PrintPlan(const TSplitRun& split, const std::vector<TSplitPiece>& pieces, int rate,
               int64_t held) {
  for (size_t k = 0; k < pieces.size(); ++k) {
    const TSplitPiece& piece = pieces[k];
    std::printf("piece %zu: %s - %s (frames %lld-%lld) %s\n", k + 1,
                PreciseTime(piece.Start, rate).c_str(), PreciseTime(piece.End, rate).c_str(),
                static_cast<long long>(piece.Start), static_cast<long long>(piece.End - 1),
                split.Target(k).string().c_str());
  }
  std::printf("%zu %s of %s (%lld frames)\n", pieces.size(),
              pieces.size() == 1 ? "piece" : "pieces", PreciseTime(held, rate).c_str(),
              static_cast<long long>(held));
}

void PrintJsonPlan(const TSplitRequest& request, const TSplitRun& split,
                   const std::vector<TSplitPiece>& pieces, int rate, int64_t held) {
  std::string list = "[";
  for (size_t k = 0; k < pieces.size(); ++k) {
    TJsonObject piece;
    piece.Add("number", std::to_string(k + 1));
    piece.Add("start", JsonString(PreciseTime(pieces[k].Start, rate)));
    piece.Add("end", JsonString(PreciseTime(pieces[k].End, rate)));
    piece.Add("start_frame", std::to_string(pieces[k].Start));
    piece.Add("frames", std::to_string(pieces[k].Frames()));
    piece.Add("file", JsonString(split.Target(k).string()));
    list += (k == 0 ? "" : ",") + piece.Text();
  }
  TJsonObject json;
  json.Add("file", JsonString(request.Input));
  json.Add("sample_rate", std::to_string(rate));
  json.Add("frames", std::to_string(held));
  json.Add("pieces", list + "]");
  std::printf("%s\n", json.Text().c_str());
}

// Writes every piece in turn, serving the engine's events until the split has ended; a
// failure names the piece and what was written before it, an interrupt what stays.
int WritePieces(const TSplitRequest& request, TSplitRun& split) {
  if (!request.Force)
    if (const auto taken = split.TakenTargets(); !taken.empty())
      throw TCliError("'" + taken.front().string() +
                      "' exists; use --force to replace it (no piece was written)");
  std::unique_ptr<TProgressLine> progress;
  size_t shown = split.Count();
  std::vector<std::function<void()>> steps;
  std::optional<std::string> ended;
  TSplitEvents events;
  events.OpenTarget = [&](TOutputRun& run, const std::filesystem::path& target, bool replace) {
    return OpenOutput(run, target, replace, {request.Input});
  };
  events.Defer = [&](std::function<void()> step) { steps.push_back(std::move(step)); };
  events.Progress = [&](size_t piece, int percent) {
    if (piece != shown) {
      progress.reset();
      progress = std::make_unique<TProgressLine>(std::string(request.Copy ? "Copying" : "Cutting") +
                                                     " piece " + std::to_string(piece + 1) + "/" +
                                                     std::to_string(split.Count()),
                                                 request.Quiet);
      shown = piece;
    }
    progress->Show(percent);
  };
  events.Written = [&](size_t) {
    if (progress) progress->Clear();
    SayWritten(split.PieceRun(), request.Quiet);
  };
  events.Done = [&](const std::string& error) { ended = error; };
  split.Run(std::move(events), request.Force);
  // The wait is short so that a signal is noticed promptly; events wake it at once.
  while (!ended) {
    if (const int signal = interrupt::Received()) {
      split.Stop();
      progress.reset();
      if (split.Written().empty())
        std::fputs("trimora-cli: interrupted; nothing was written\n", stderr);
      else
        std::fprintf(stderr, "trimora-cli: interrupted; the pieces written before stay: %s\n",
                     split.WrittenText().c_str());
      return 128 + signal;
    }
    std::vector<std::function<void()>> due;
    due.swap(steps);
    for (const auto& step : due) step();
    if (!ended && steps.empty()) main_thread_queue::WaitAndProcess(std::chrono::milliseconds(50));
  }
  progress.reset();
  if (!ended->empty()) throw TCliError("split failed: " + *ended);
  if (split.Written().size() < split.Count() && !request.Quiet)
    std::fprintf(stderr,
                 "trimora-cli: the sound ends before the length the file's header claims; "
                 "the %zu pieces that hold sound were written, of %zu planned\n",
                 split.Written().size(), split.Count());
  return kExitOk;
}

}  // namespace

int RunSplitCommand(const std::vector<std::string>& args) {
  const TSplitRequest request = ParseSplit(args);
  if (request.Help) {
    std::fputs(kSplitUsage, stdout);
    return kExitOk;
  }
  TOpenedSource opened = OpenSource(request.Input);
  TAuFileIn& source = *opened.Source;
  const TKind& kind = *opened.Kind;
  if (request.Copy && !kind.FrameKeepingRefusal().empty())
    throw TCliError("--copy: " + kind.FrameKeepingRefusal());
  const int rate = source.SampleRate();
  const int64_t held = kind.FramesHeld(source);
  if (held <= 0 || rate <= 0) throw TCliError("'" + request.Input + "' holds no sound to split");

  std::vector<TSilence> silences;
  if (request.Plan.Mode == TSplitMode::Silence) {
    auto found = FindSilences(request, source);
    if (!found) {
      std::fputs("trimora-cli: interrupted; nothing was written\n", stderr);
      return 128 + interrupt::Received();
    }
    silences = std::move(*found);
  }
  const std::vector<TSplitPiece> pieces = PlanPieces(request, silences, held, rate);
  if (pieces.empty()) throw TCliError("'" + request.Input + "' holds nothing but silence");
  std::vector<std::filesystem::path> names;
  try {
    names = SplitPieceNames(request.Input, kind, request.Pattern, pieces.size());
  } catch (const ECutError& e) {
    throw TUsageError(e.what());
  }
  TSplitRun split(kind, source, pieces, names, request.Copy);
  if (request.PlanOnly) {
    if (request.Json)
      PrintJsonPlan(request, split, pieces, rate, held);
    else
      PrintPlan(split, pieces, rate, held);
    return kExitOk;
  }
  return WritePieces(request, split);
}
