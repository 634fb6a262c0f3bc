// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_join.h"

#include <algorithm>

#include "cli/cli_args.h"
#include "cli/cli_errors.h"
#include "cli/write_output.h"
#include "cutting/cut_error.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/operations/join_run.h"

namespace {

struct TJoinRequest {
  std::string Input1, Input2;
  std::string Output;
  bool Copy = false;
  bool Force = false;
  bool Quiet = false;
  bool Help = false;
};

// What --copy does, for the join's help only: a mix codes everything afresh.
const char* const kJoinCopyHelp =
    "  --copy            keep the coded frames, no re-encoding: only about 0.1 s on each\n"
    "                    side of the join is encoded afresh (an MP3 at FILE1's bit rate,\n"
    "                    with FILE1's padding and FILE2's delay left out, so the join plays\n"
    "                    without a gap). An MP3 frame holds 1152 samples (576 below 32 kHz),\n"
    "                    so FILE2 starts within half a frame (13 ms at 44.1 kHz) of FILE1's\n"
    "                    end; MP3 files of other rates or channels are refused. FLAC joins\n"
    "                    are exact; a WAV loses nothing anyway\n";

std::string Usage(const char* command, const char* what, bool copy) {
  return std::string("Usage: trimora-cli ") + command + " FILE1 FILE2 -o OUT " +
         (copy ? "[--copy] " : "") +
         "[--force] [--quiet]\n"
         "\n" +
         what +
         "\n"
         "The two files must be of one kind (both " +
         TKindRegistry::Instance().ExtensionList("or") +
         "); OUT is a new file of that\n"
         "kind with the format, tags and encoder settings of FILE1. FILE2 is converted to\n"
         "FILE1's sample rate, channel count and sample width first, so it keeps its pitch.\n"
         "\n"
         "Options:\n"
         "  -o, --output OUT  the file to write (required)\n" +
         (copy ? kJoinCopyHelp : "") +
         "  -f, --force       replace OUT if it exists\n"
         "  -q, --quiet       no progress line and no warnings\n"
         "  -h, --help        show this help\n";
}

TJoinRequest ParseJoin(const std::string& command, const std::vector<std::string>& args) {
  std::vector<TCliArgs::TOption> options{{"--output", "-o", true},
                                         {"--force", "-f", false},
                                         {"--quiet", "-q", false},
                                         {"--help", "-h", false}};
  if (command == "join") options.push_back({"--copy", "", false});
  const TCliArgs parsed(options, args);
  TJoinRequest request;
  request.Help = parsed.Has("--help");
  if (request.Help) return request;
  request.Copy = command == "join" && parsed.Has("--copy");
  if (parsed.Positional().size() != 2) throw TUsageError(command + " takes two files");
  request.Input1 = parsed.Positional()[0];
  request.Input2 = parsed.Positional()[1];
  const auto output = parsed.Value("--output");
  if (!output || output->empty()) throw TUsageError(command + " needs the output file: -o OUT");
  request.Output = *output;
  request.Force = parsed.Has("--force");
  request.Quiet = parsed.Has("--quiet");
  return request;
}

// Opens the two inputs, checks that they go together and with the output's name, and makes
// their join or mix.
std::unique_ptr<TJoinRun> MakeJoin(const std::string& command, const TJoinRequest& request,
                                   TAudioMixerMode mode) {
  if (&KindOfFile(request.Input1) != &KindOfFile(request.Input2))
    throw TUsageError("'" + request.Input1 + "' and '" + request.Input2 +
                      "' are of different kinds; " + command + " takes two files of one kind");
  TOpenedSource first = OpenSource(request.Input1);
  RequireOutputKind(*first.Kind, request.Output);
  TOpenedSource second = OpenSource(request.Input2);
  try {
    return std::make_unique<TJoinRun>(std::move(first), std::move(second), mode, request.Copy);
  } catch (const ECutError& e) {
    if (!request.Copy) throw;
    throw TCliError(std::string("--copy: ") + e.what());
  }
}

int RunCombine(const std::string& command, TAudioMixerMode mode,
               const std::vector<std::string>& args, const char* what) {
  const TJoinRequest request = ParseJoin(command, args);
  if (request.Help) {
    std::fputs(Usage(command.c_str(), what, mode == amConcatenate).c_str(), stdout);
    return kExitOk;
  }
  const std::unique_ptr<TJoinRun> join = MakeJoin(command, request, mode);
  TOutputRun run;
  TAuFileOut& sink = join->Sink();
  sink.SetFileName(
      OpenOutput(run, request.Output, request.Force, {request.Input1, request.Input2}));
  const TWriteJob job{command,
                      mode == amMix  ? "Mixing"
                      : request.Copy ? "Joining (frames kept)"
                                     : "Joining",
                      request.Quiet};
  return RunIntoOutput(job, sink, run, [&] { join->Start(run); });
}

}  // namespace

int RunJoinCommand(const std::vector<std::string>& args) {
  return RunCombine("join", amConcatenate, args, "Writes FILE1 followed by FILE2 into OUT.\n");
}

int RunMixCommand(const std::vector<std::string>& args) {
  return RunCombine("mix", amMix, args,
                    "Writes FILE1 and FILE2 played together into OUT, as long as the longer of\n"
                    "the two. Each is taken at half its level, so the sum never clips; where one\n"
                    "has ended the other plays on at half its level.\n");
}
