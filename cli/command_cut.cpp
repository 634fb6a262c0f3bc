// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_cut.h"

#include <charconv>
#include <cstdio>
#include <optional>

#include "cli/cli_args.h"
#include "cli/cli_errors.h"
#include "cli/write_output.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/operations/single_cut.h"
#include "cutting/time/cut_range.h"
#include "cutting/time/time_text.h"
#include "pipeline/au_exception.h"

const char* const kCutUsage =
    "Usage: trimora-cli cut FILE -o OUT [--start TIME] [--end TIME] [--copy] [--lanes N]\n"
    "                       [--fade-in TIME] [--fade-out TIME] [--force] [--quiet]\n"
    "\n"
    "Writes the stretch of FILE from --start to --end into OUT, a new file of the same\n"
    "format. TIME is hours:minutes:seconds.tenths, as in 00:01:30.5 (1:30:0.5 is fine too).\n"
    "\n"
    "Options:\n"
    "  -o, --output OUT  the file to write (required)\n"
    "  --start TIME      where the stretch begins (default: the beginning)\n"
    "  --end TIME        where it ends, inclusive (default: the end)\n"
    "  --copy            keep the coded frames as they are, no re-encoding, exact to the\n"
    "                    sample (an MP3 on players that honour its gapless header); a kind\n"
    "                    that cannot keep its frames says so (a WAV cut is lossless anyway)\n"
    "  --fade-in TIME    fade the first TIME in, so a cut into a sound does not click\n"
    "                    (seconds work too: 0.05)\n"
    "  --fade-out TIME   fade the last TIME out, ending silent on the last frame\n"
    "  --lanes N         MP3 encoders working at once, 1 to 16 (default: one per core, at\n"
    "                    most 8; 1 encodes on one)\n"
    "  -f, --force       replace OUT if it exists\n"
    "  -q, --quiet       no progress line\n"
    "  -h, --help        show this help\n";

namespace {

struct TCutRequest {
  std::string Input;
  std::string Output;
  std::optional<int32_t> StartMs, EndMs;
  std::optional<int> Lanes;
  TFades Fades;
  bool Copy = false;
  bool Force = false;
  bool Quiet = false;
  bool Help = false;
};

std::optional<int32_t> ParseTime(const TCliArgs& args, const std::string& option) {
  const auto text = args.Value(option);
  if (!text) return std::nullopt;
  // Both forms the windows take: tenths, and the milliseconds that split --plan prints.
  if (!IsTimeText(*text) && !IsPreciseTimeText(*text))
    throw TUsageError("invalid " + option + " time '" + *text +
                      "' (expected hours:minutes:seconds.tenths or .milliseconds, as in "
                      "00:01:30.5 or 00:01:30.500)");
  return TimeTextToMs(*text);
}

std::optional<int> ParseLanes(const TCliArgs& args) {
  const auto text = args.Value("--lanes");
  if (!text) return std::nullopt;
  int lanes = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), lanes);
  if (error != std::errc() || end != text->data() + text->size() || lanes < 1 || lanes > 16)
    throw TUsageError("invalid --lanes '" + *text + "' (expected a number from 1 to 16)");
  return lanes;
}

TCutRequest ParseCut(const std::vector<std::string>& args) {
  const TCliArgs parsed({{"--output", "-o", true},
                         {"--start", "", true},
                         {"--end", "", true},
                         {"--lanes", "", true},
                         {"--fade-in", "", true},
                         {"--fade-out", "", true},
                         {"--copy", "", false},
                         {"--force", "-f", false},
                         {"--quiet", "-q", false},
                         {"--help", "-h", false}},
                        args);
  TCutRequest request;
  request.Help = parsed.Has("--help");
  if (request.Help) return request;
  if (parsed.Positional().size() != 1) throw TUsageError("cut takes one FILE");
  request.Input = parsed.Positional()[0];
  const auto output = parsed.Value("--output");
  if (!output || output->empty()) throw TUsageError("cut needs the output file: -o OUT");
  request.Output = *output;
  request.StartMs = ParseTime(parsed, "--start");
  request.EndMs = ParseTime(parsed, "--end");
  if (request.StartMs && request.EndMs && *request.EndMs < *request.StartMs)
    throw TUsageError("--end lies before --start");
  request.Lanes = ParseLanes(parsed);
  request.Copy = parsed.Has("--copy");
  request.Fades = ParseFades(parsed, request.Copy);
  request.Force = parsed.Has("--force");
  request.Quiet = parsed.Has("--quiet");
  return request;
}

// The cut of the frames to keep by the one range rule; a start past the sound is refused
// naming the file.
std::unique_ptr<TSingleCut> MakeCut(const TCutRequest& request, TOpenedSource opened) {
  TCutChoice choice;
  choice.StartMs = request.StartMs.value_or(0);
  choice.EndMs = request.EndMs.value_or(0);
  choice.ToEnd = !request.EndMs.has_value();
  choice.Fades = request.Fades;
  choice.KeepFrames = request.Copy;
  choice.Lanes = request.Lanes;
  try {
    return std::make_unique<TSingleCut>(std::move(opened), choice);
  } catch (const ERangePastEnd& e) {
    throw TCliError("--start " + MsToTimeText(*request.StartMs) + " lies past the end of '" +
                    request.Input + "' (" + MsToTimeText(e.HeldMs()) + ")");
  } catch (const ENoSound&) {
    throw TCliError("'" + request.Input + "' holds no sound to cut");
  }
}

}  // namespace

int RunCutCommand(const std::vector<std::string>& args) {
  const TCutRequest request = ParseCut(args);
  if (request.Help) {
    std::fputs(kCutUsage, stdout);
    return kExitOk;
  }
  TOpenedSource opened = OpenSource(request.Input);
  RequireOutputKind(*opened.Kind, request.Output);
  const std::unique_ptr<TSingleCut> cut = MakeCut(request, std::move(opened));

  TOutputRun run;
  TAuFileOut& sink = cut->Sink();
  sink.SetFileName(OpenOutput(run, request.Output, request.Force, {request.Input}));
  return RunIntoOutput({"cut", request.Copy ? "Copying" : "Cutting", request.Quiet}, sink, run,
                       [&] { cut->Start(run); });
}
