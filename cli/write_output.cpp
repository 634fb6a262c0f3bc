// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/write_output.h"

#include <unistd.h>
#include <cstdio>

#include "cli/cli_errors.h"
#include "cli/interrupt.h"
#include "cli/progress_line.h"
#include "cli/run_loop.h"
#include "cutting/save/leftovers.h"
#include "cutting/save/target_check.h"
#include "cutting/time/cut_range.h"
#include "cutting/time/time_text.h"

namespace {

TCliError CliErrorOf(const ESafeOutputError& e) {
  using TReason = ESafeOutputError::TReason;
  if (e.Reason() == TReason::Exists || e.Reason() == TReason::Appeared)
    return TCliError(std::string(e.what()) + "; use --force to replace it");
  return TCliError(e.what());
}

}  // namespace

const std::filesystem::path& OpenOutput(TOutputRun& run, const std::filesystem::path& target,
                                        bool force,
                                        const std::vector<std::filesystem::path>& inputs) {
  const std::filesystem::path folder = target.parent_path();
  SweepLeftovers({folder.empty() ? std::filesystem::path(".") : folder});
  try {
    return run.OpenTarget(target, force, inputs, &interrupt::SetCleanupPath);
  } catch (const ESafeOutputError& e) {
    throw CliErrorOf(e);
  }
}

void RequireOutputKind(const TKind& kind, const std::filesystem::path& output) {
  if (CheckTarget(kind, output, {}) == TTargetProblem::OtherKind)
    throw TUsageError("the output must be a " + kind.Extension() + " file like the input");
}

int RunIntoOutput(const TWriteJob& job, TAuOutput& sink, TOutputRun& run,
                  const std::function<void()>& start) {
  TRunResult result;
  {
    TProgressLine progress(job.Label, job.Quiet);
    result = RunToCompletion(sink, progress, start);
  }
  if (result.Signal != 0) {
    run.Stop();
    std::fputs("trimora-cli: interrupted; nothing was written\n", stderr);
    return 128 + result.Signal;
  }
  if (!result.Succeeded) {
    const std::string error = run.NamingTarget(result.Error);
    run.Stop();
    throw TCliError(job.Command + " failed: " + error);
  }
  const std::string error = run.Finish();
  if (!error.empty()) throw TCliError(job.Command + " failed: " + error);
  SayWritten(run, job.Quiet);
  return kExitOk;
}

void SayWritten(const TOutputRun& run, bool quiet) {
  if (quiet || ::isatty(STDERR_FILENO) != 1) return;
  std::fprintf(stderr, "Wrote '%s': %s (%lld frames)\n", run.Target().string().c_str(),
               FramesToTimeText(run.FramesWritten(), run.InputRate()).c_str(),
               static_cast<long long>(run.FramesWritten()));
}

std::string FramesToTimeText(int64_t frames, int rate) {
  return MsToTimeText(FramesToMs(frames, rate));
}
