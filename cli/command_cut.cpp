#include "cli/command_cut.h"

#include <cstdio>
#include <optional>

#include "cli/cli_args.h"
#include "cli/cli_errors.h"
#include "cli/file_kinds.h"
#include "cli/write_output.h"
#include "cutting/sample_frames.h"
#include "cutting/time_text.h"
#include "pipeline/au_exception.h"

const char* const kCutUsage =
    "Usage: trimora-cli cut FILE -o OUT [--start TIME] [--end TIME] [--force] [--quiet]\n"
    "\n"
    "Writes the stretch of FILE from --start to --end into OUT, a new file of the same\n"
    "format. TIME is hours:minutes:seconds.tenths, as in 00:01:30.5 (1:30:0.5 is fine too).\n"
    "\n"
    "Options:\n"
    "  -o, --output OUT  the file to write (required)\n"
    "  --start TIME      where the stretch begins (default: the beginning)\n"
    "  --end TIME        where it ends, inclusive (default: the end)\n"
    "  -f, --force       replace OUT if it exists\n"
    "  -q, --quiet       no progress line\n"
    "  -h, --help        show this help\n";

namespace {

struct TCutRequest {
  std::string Input;
  std::string Output;
  std::optional<int32_t> StartMs, EndMs;
  bool Force = false;
  bool Quiet = false;
  bool Help = false;
};

std::optional<int32_t> ParseTime(const TCliArgs& args, const std::string& option) {
  const auto text = args.Value(option);
  if (!text) return std::nullopt;
  if (!IsTimeText(*text))
    throw TUsageError("invalid " + option + " time '" + *text +
                      "' (expected hours:minutes:seconds.tenths, as in 00:01:30.5)");
  return TimeTextToMs(*text);
}

TCutRequest ParseCut(const std::vector<std::string>& args) {
  const TCliArgs parsed({{"--output", "-o", true},
                         {"--start", "", true},
                         {"--end", "", true},
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
  request.Force = parsed.Has("--force");
  request.Quiet = parsed.Has("--quiet");
  return request;
}

// The frames to keep, first and last inclusive: round(ms × rate / 1000) for each end, the end
// held to the last frame of the file.
void SetRange(const TCutRequest& request, TAuFileIn& source) {
  const int64_t total = source.TotalSamples();
  const int rate = source.SampleRate();
  if (total <= 0) throw TCliError("'" + request.Input + "' holds no sound to cut");
  const int64_t first = request.StartMs ? MsToSampleFrame(*request.StartMs, rate) : 0;
  int64_t last = request.EndMs ? MsToSampleFrame(*request.EndMs, rate) : total - 1;
  if (first >= total)
    throw TCliError("--start " + MsToTimeText(*request.StartMs) + " lies past the end of '" +
                    request.Input + "' (" + FramesToTimeText(total, rate) + ")");
  last = std::min(last, total - 1);
  source.StartSample = first;
  source.EndSample = last;
}

}  // namespace

int RunCutCommand(const std::vector<std::string>& args) {
  const TCutRequest request = ParseCut(args);
  if (request.Help) {
    std::fputs(kCutUsage, stdout);
    return kExitOk;
  }
  TOpenedSource opened = OpenSource(request.Input);
  RequireOutputKind(opened.Kind, request.Output);
  TAuFileIn& source = *opened.Source;
  SetRange(request, source);
  const int64_t rangeFrames = source.EndSample - source.StartSample + 1;

  TSafeOutput output = OpenOutput(request.Output, request.Force, {request.Input});
  auto sink = MakeSink(opened.Kind);
  sink->SetFileName(output.TempPath());
  sink->SetInput(&source);
  PrepareCut(opened.Kind, source, *sink);
  const TWriteJob job{
      "cut", "Cutting", request.Quiet, opened.Kind, {source.Channels(), source.SampleRate()}};
  return RunIntoOutput(job, std::move(sink), output,
                       [&] { return FramesCut(opened.Kind, source, rangeFrames); });
}
