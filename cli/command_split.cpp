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
#include "cutting/marks/cue_sheet.h"
#include "cutting/marks/embedded_marks.h"
#include "cutting/marks/label_file.h"
#include "cutting/marks/mark_text.h"
#include "cutting/operations/plan_marks.h"
#include "cutting/operations/silence_detect.h"
#include "cutting/operations/single_cut.h"
#include "cutting/operations/split_plan.h"
#include "cutting/operations/split_run.h"
#include "cutting/save/safe_output.h"
#include "cutting/time/cut_range.h"
#include "cutting/time/sample_frames.h"
#include "cutting/time/time_text.h"
#include "pipeline/main_thread_queue.h"

namespace {

const char* const kSplitUsage =
    "Usage: trimora-cli split FILE (--parts N | --every TIME | --at TIME,TIME... | --silence |\n"
    "                               --cue SHEET | --labels LABELS | --chapters)\n"
    "                         [-o PATTERN] [--copy] [--plan] [--json] [--force] [--quiet]\n"
    "                         [--write-cue OUT.cue] [--write-labels OUT.txt]\n"
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
    "  --cue SHEET             a piece per TRACK of the cue sheet, from its INDEX 01, with\n"
    "                          its title, performer and songwriter, the sheet's album\n"
    "  --labels LABELS         at the labels of a label file (start, end and text a line,\n"
    "                          in seconds, tab-separated): a region is a piece named by\n"
    "                          its text, a point label a boundary\n"
    "  --chapters              at the marks FILE carries: a FLAC CUESHEET block or\n"
    "                          CUESHEET comment, ID3v2 chapters ('info' lists them)\n"
    "\n"
    "With --silence:\n"
    "  --threshold DB          quieter than this is silence (default: -50, in dBFS)\n"
    "  --min-silence TIME      the shortest pause that splits (default: 2 seconds)\n"
    "  --min-piece TIME        a shorter piece joins its neighbour (default: 10 seconds)\n"
    "  --trim                  leave the silences out of the pieces\n"
    "\n"
    "Options:\n"
    "  -o, --output PATTERN    the names of the pieces: {name} is FILE's name without its\n"
    "                          extension, {n} the piece's number, {title}, {artist} and\n"
    "                          {album} the texts of a mark (default: '{name} - {n}'\n"
    "                          beside FILE, as in 'Concert - 01' and FILE's extension, or\n"
    "                          '{n} - {title}' when every piece has a title)\n"
    "  --write-cue OUT.cue     write the pieces as a cue sheet\n"
    "  --write-labels OUT.txt  write the pieces as a label file\n"
    "  --copy                  keep the coded frames as they are, no re-encoding\n"
    "  --plan                  print the pieces and their names; write no piece\n"
    "  --json                  with --plan: one JSON object instead\n"
    "  -f, --force             replace pieces that exist\n"
    "  -q, --quiet             no progress line\n"
    "  -h, --help              show this help\n";

struct TSplitRequest {
  std::string Input;
  std::string Pattern;
  TSplitChoice Plan;
  TSilenceSettings Silence;
  std::string CueSheet, Labels;       // the file of marks to split at, if any
  std::string WriteCue, WriteLabels;  // where to write the plan as marks
  bool Chapters = false;
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
  for (const auto& [option, file] :
       {std::pair{"--cue", &request.CueSheet}, std::pair{"--labels", &request.Labels}})
    if (const auto value = parsed.Value(option)) {
      ++modes;
      request.Plan.Mode = TSplitMode::Marks;
      *file = *value;
    }
  if (parsed.Has("--chapters")) {
    ++modes;
    request.Plan.Mode = TSplitMode::Marks;
    request.Chapters = true;
  }
  if (modes != 1)
    throw TUsageError(
        "split needs exactly one of --parts, --every, --at, --silence, --cue, --labels and "
        "--chapters");
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
  const TCliArgs parsed(
      {{"--parts", "", true},        {"--every", "", true},     {"--at", "", true},
       {"--silence", "", false},     {"--threshold", "", true}, {"--min-silence", "", true},
       {"--min-piece", "", true},    {"--trim", "", false},     {"--cue", "", true},
       {"--labels", "", true},       {"--chapters", "", false}, {"--write-cue", "", true},
       {"--write-labels", "", true}, {"--output", "-o", true},  {"--copy", "", false},
       {"--plan", "", false},        {"--json", "", false},     {"--force", "-f", false},
       {"--quiet", "-q", false},     {"--help", "-h", false}},
      args);
  TSplitRequest request;
  request.Help = parsed.Has("--help");
  if (request.Help) return request;
  if (parsed.Positional().size() != 1) throw TUsageError("split takes one FILE");
  request.Input = parsed.Positional()[0];
  ParseMode(parsed, request);
  request.Pattern = parsed.Value("--output").value_or("");
  request.WriteCue = parsed.Value("--write-cue").value_or("");
  request.WriteLabels = parsed.Value("--write-labels").value_or("");
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

// The marks of the sheet or label file given, for FILE; a sheet naming another sound file is
// said so.
TMarkSheet ReadMarks(const TSplitRequest& request) {
  if (request.Chapters) {
    if (auto marks = ReadEmbeddedMarks(request.Input)) return marks->Marks;
    throw TCliError("'" + request.Input +
                    "' carries no marks to split at (no cue sheet, no chapters)");
  }
  const std::string& file = request.CueSheet.empty() ? request.Labels : request.CueSheet;
  try {
    const std::string bytes = ReadMarkFile(file);
    if (!request.Labels.empty()) return ParseLabels(bytes);
    std::string note;
    TMarkSheet marks = CueMarksFor(ParseCueSheet(bytes), request.Input, note);
    if (!note.empty()) std::fprintf(stderr, "trimora-cli: '%s': %s\n", file.c_str(), note.c_str());
    return marks;
  } catch (const ECutError& e) {
    throw TCliError("'" + file + "': " + e.what() + "; nothing was written");
  }
}

std::vector<TSplitPiece> PlanPieces(const TSplitRequest& request,
                                    const std::vector<TSilence>& silences, int64_t held, int rate) {
  try {
    return PlanSplit(request.Plan, silences, held, rate);
  } catch (const ECutError& e) {
    if (request.Plan.Mode == TSplitMode::Marks && !request.Chapters)
      throw TCliError("'" + (request.CueSheet.empty() ? request.Labels : request.CueSheet) +
                      "': " + e.what() + "; nothing was written");
    throw TCliError("'" + request.Input + "': " + e.what());
  }
}

// The plan as a cue sheet and as labels where asked, before any piece is written.
void WritePlanMarks(const TSplitRequest& request, const TKind& kind, TAuFileIn& source,
                    const std::vector<TSplitPiece>& pieces, int rate) {
  const TMarkSheet album =
      request.Plan.Mode == TSplitMode::Marks ? request.Plan.Marks : AlbumTextsOf(kind, source);
  const auto write = [&](const std::string& target, const std::string& text) {
    try {
      WritePlanText(target, text, request.Force, request.Input);
    } catch (const ESafeOutputError& e) {
      const bool exists = e.Reason() == ESafeOutputError::TReason::Exists;
      throw TCliError(std::string(e.what()) + (exists ? "; use --force to replace it" : ""));
    } catch (const std::exception& e) {
      throw TCliError("'" + target + "': " + e.what());
    }
  };
  try {
    if (!request.WriteCue.empty())
      write(request.WriteCue, PlanCueSheet(pieces, rate, album, request.Input));
  } catch (const ECutError& e) {
    throw TCliError("--write-cue: " + std::string(e.what()));
  }
  if (!request.WriteLabels.empty()) write(request.WriteLabels, PlanLabels(pieces, rate));
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
    if (!pieces[k].Texts.Title.empty()) piece.Add("title", JsonString(pieces[k].Texts.Title));
    if (!pieces[k].Texts.Artist.empty()) piece.Add("artist", JsonString(pieces[k].Texts.Artist));
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

  TSplitRequest planned = request;
  if (planned.Plan.Mode == TSplitMode::Marks) planned.Plan.Marks = ReadMarks(request);
  std::vector<TSilence> silences;
  if (request.Plan.Mode == TSplitMode::Silence) {
    auto found = FindSilences(request, source);
    if (!found) {
      std::fputs("trimora-cli: interrupted; nothing was written\n", stderr);
      return 128 + interrupt::Received();
    }
    silences = std::move(*found);
  }
  const std::vector<TSplitPiece> pieces = PlanPieces(planned, silences, held, rate);
  if (pieces.empty()) throw TCliError("'" + request.Input + "' holds nothing but silence");
  std::vector<std::filesystem::path> names;
  try {
    names = SplitPieceNames(request.Input, kind, request.Pattern, pieces);
  } catch (const ECutError& e) {
    throw TUsageError(e.what());
  }
  TSplitRun split(kind, source, pieces, names, request.Copy);
  // A sheet is written only when the pieces will be too, or only planned.
  if (!request.PlanOnly && !request.Force)
    if (const auto taken = split.TakenTargets(); !taken.empty())
      throw TCliError("'" + taken.front().string() +
                      "' exists; use --force to replace it (no piece was written)");
  WritePlanMarks(planned, kind, source, pieces, rate);
  if (request.PlanOnly) {
    if (request.Json)
      PrintJsonPlan(request, split, pieces, rate, held);
    else
      PrintPlan(split, pieces, rate, held);
    return kExitOk;
  }
  return WritePieces(request, split);
}
