// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_remove.h"

#include <cstdio>
#include <optional>

#include "cli/cli_args.h"
#include "cli/cli_errors.h"
#include "cli/write_output.h"
#include "cutting/cut_error.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/operations/segment_cut.h"
#include "cutting/operations/segment_plan.h"
#include "cutting/time/cut_range.h"
#include "cutting/time/time_text.h"

namespace {

const char* const kRemoveUsage =
    "Usage: trimora-cli remove FILE --segment START-END [--segment START-END ...] -o OUT\n"
    "                          [--exact] [--copy] [--fade-in TIME] [--fade-out TIME] [--plan]\n"
    "                          [--force] [--quiet]\n"
    "\n"
    "Writes FILE without the listed stretches into OUT, a new file of the same format, with\n"
    "FILE's tags and encoder settings. Each removed stretch is widened by 0.1 s on each side\n"
    "(so 00:00:05.0-00:00:10.0 removes 00:00:04.9 to 00:00:10.1); a stretch that ends within\n"
    "the last second of FILE removes everything after its start. The kept pieces are read\n"
    "one after another in one pass, so the sound is encoded only once and nothing but OUT is\n"
    "written. Times are hours:minutes:seconds.tenths, as in 00:01:30.5.\n"
    "\n"
    "Options:\n"
    "  -s, --segment START-END  a stretch to remove; give one for each, in order\n"
    "  -o, --output OUT         the file to write (required unless --plan)\n"
    "  --exact                  remove exactly the stretches given, without the widening\n"
    "  --copy                   keep the coded frames, no re-encoding: only about 0.1 s on\n"
    "                           each side of a join is encoded afresh (an MP3 at FILE's bit\n"
    "                           rate). An MP3 frame holds 1152 samples (576 below 32 kHz), so\n"
    "                           the sound removed at each join is rounded to whole frames and\n"
    "                           the join lands within half a frame (13 ms at 44.1 kHz) of the\n"
    "                           asked time; the start and the end stay exact. FLAC joins are\n"
    "                           exact; a WAV loses nothing anyway; other kinds say why not\n"
    "  --fade-out TIME          fade out over TIME before each join, so a join does not\n"
    "                           click (seconds work too: 0.05)\n"
    "  --fade-in TIME           fade in over TIME after each join (with --copy too: the\n"
    "                           sound at a join is encoded afresh anyway)\n"
    "  --plan                   print the stretches that would be kept (with --copy, where\n"
    "                           each join lands); write nothing\n"
    "  -f, --force              replace OUT if it exists\n"
    "  -q, --quiet              no progress line\n"
    "  -h, --help               show this help\n";

struct TRemoveRequest {
  std::string Input;
  std::string Output;
  std::vector<TSegmentRow> Rows;
  TFades Fades;
  bool Exact = false;
  bool Copy = false;
  bool PlanOnly = false;
  bool Force = false;
  bool Quiet = false;
  bool Help = false;
};

TSegmentRow ParseSegment(const std::string& text) {
  const size_t dash = text.find('-');
  const std::string start = text.substr(0, dash);
  const std::string end = dash == std::string::npos ? "" : text.substr(dash + 1);
  // Each time in either form the windows take: tenths or milliseconds.
  const auto valid = [](const std::string& time) {
    return IsTimeText(time) || IsPreciseTimeText(time);
  };
  const auto normal = [](const std::string& time) {
    return IsPreciseTimeText(time) ? NormalizePreciseTimeText(time) : NormalizeTimeText(time);
  };
  if (!valid(start) || !valid(end))
    throw TUsageError("invalid --segment '" + text +
                      "' (expected START-END, as in 00:00:05.0-00:00:10.0 or "
                      "00:00:05.000-00:00:10.250)");
  TSegmentRow row{normal(start), normal(end)};
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
                         {"--copy", "", false},
                         {"--fade-in", "", true},
                         {"--fade-out", "", true},
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
  request.Copy = parsed.Has("--copy");
  request.Fades = ParseFades(parsed, false);
  request.Force = parsed.Has("--force");
  request.Quiet = parsed.Has("--quiet");
  return request;
}

// Where each join of a frame-keeping remove lands, against where it was asked to.
void PrintJoins(TSegmentCut& segments, const std::vector<TKeptPiece>& pieces, const TFades& fades) {
  const int rate = segments.Source().SampleRate();
  size_t k = 0;
  for (const auto& [sample, shift] : segments.PlannedJoins(pieces, fades)) {
    ++k;
    std::printf("join %zu: at %s (frame %lld); piece %zu starts %lld samples (%.1f ms) %s\n", k,
                FramesToTimeText(sample, rate).c_str(), static_cast<long long>(sample), k + 1,
                static_cast<long long>(shift < 0 ? -shift : shift),
                1000.0 * static_cast<double>(shift < 0 ? -shift : shift) / rate,
                shift == 0  ? "as asked"
                : shift > 0 ? "later than asked"
                            : "earlier than asked");
  }
}

void PrintPlan(const TKind& kind, TAuFileIn& source, const std::vector<TKeptPiece>& pieces) {
  const int64_t held = kind.FramesHeld(source);
  const int rate = source.SampleRate();
  int64_t kept = 0;
  size_t k = 0;
  for (const TFrameRange& range : TSegmentCut::PieceRanges(kind, source, pieces)) {
    const int64_t frames = RangeFrames(range, held);
    const int64_t last = range.StartSample + frames - 1;
    kept += frames;
    std::printf("piece %zu: %s - %s (frames %lld-%lld)\n", ++k,
                FramesToTimeText(range.StartSample, rate).c_str(),
                FramesToTimeText(last + 1, rate).c_str(), static_cast<long long>(range.StartSample),
                static_cast<long long>(last));
  }
  std::printf("kept: %s (%lld frames) of %s (%lld frames)\n", FramesToTimeText(kept, rate).c_str(),
              static_cast<long long>(kept), FramesToTimeText(held, rate).c_str(),
              static_cast<long long>(held));
}

TSegmentCut MakeSegmentCut(const TRemoveRequest& request) {
  TOpenedSource opened = OpenSource(request.Input);
  try {
    return TSegmentCut(std::move(opened), request.Copy);
  } catch (const ECutError& e) {
    throw TCliError(std::string("--copy: ") + e.what());
  }
}

}  // namespace

int RunRemoveCommand(const std::vector<std::string>& args) {
  const TRemoveRequest request = ParseRemove(args);
  if (request.Help) {
    std::fputs(kRemoveUsage, stdout);
    return kExitOk;
  }
  TSegmentCut segments = MakeSegmentCut(request);
  const TKind& kind = segments.Kind();
  if (!request.PlanOnly) RequireOutputKind(kind, request.Output);
  TAuFileIn& source = segments.Source();
  const int rate = source.SampleRate();
  const int64_t held = kind.FramesHeld(source);
  if (held <= 0 || rate <= 0) throw TCliError("'" + request.Input + "' holds no sound");
  const int32_t lengthMs = FramesToMs(held, rate);
  for (const auto& row : request.Rows)
    if (TimeTextToMs(row.End) > lengthMs)
      throw TCliError("--segment " + row.Start + "-" + row.End + " ends past the end of '" +
                      request.Input + "' (" + MsToTimeText(lengthMs) + ")");
  const TSegmentPlan plan =
      PlanSegmentCut(request.Rows, lengthMs, request.Exact ? 0 : kSegmentMarginMs);
  if (plan.Pieces.empty())
    throw TCliError("the segments remove all of '" + request.Input + "'; nothing would be left");
  if (request.PlanOnly) {
    PrintPlan(kind, source, plan.Pieces);
    if (request.Copy) PrintJoins(segments, plan.Pieces, request.Fades);
    return kExitOk;
  }

  TOutputRun run;
  TAuFileOut& sink = segments.Sink();
  sink.SetFileName(OpenOutput(run, request.Output, request.Force, {request.Input}));
  return RunIntoOutput({"remove", "Removing", request.Quiet}, sink, run,
                       [&] { segments.Start(run, plan.Pieces, request.Fades); });
}
