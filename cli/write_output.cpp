#include "cli/write_output.h"

#include <unistd.h>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <optional>

#include "cli/cli_errors.h"
#include "cli/interrupt.h"
#include "cli/progress_line.h"
#include "cli/run_loop.h"
#include "cutting/sample_frames.h"
#include "cutting/time_text.h"

namespace {

// `frames` at `inputRate` went in; the file must have the `expected` shape and as many
// frames as they make at its rate.
void CheckWritten(const std::filesystem::path& written, const std::string& shownName,
                  const std::string& command, int64_t frames, int inputRate, TPcmShape expected) {
  const std::string incomplete = command + " failed: '" + shownName + "' did not come out complete";
  // The file read back is the temporary one, whose name means nothing to the user.
  std::optional<TOpenedSource> check;
  try {
    check = OpenSource(written);
  } catch (const TCliError&) {
    throw TCliError(incomplete);
  }
  TAuFileIn& result = *check->Source;
  if (inputRate > 0 && expected.Rate != inputRate)
    frames = static_cast<int64_t>(
        std::llround(static_cast<double>(frames) * expected.Rate / static_cast<double>(inputRate)));
  if (!LengthMatches(check->Kind, result, frames) || result.Channels() != expected.Channels ||
      result.SampleRate() != expected.Rate)
    throw TCliError(incomplete);
}

TCliError CliErrorOf(const ESafeOutputError& e) {
  using TReason = ESafeOutputError::TReason;
  if (e.Reason() == TReason::Exists || e.Reason() == TReason::Appeared)
    return TCliError(std::string(e.what()) + "; use --force to replace it");
  return TCliError(e.what());
}

}  // namespace

TSafeOutput OpenOutput(const std::filesystem::path& target, bool force,
                       const std::vector<std::filesystem::path>& inputs) {
  try {
    return TSafeOutput(target, force, inputs, &interrupt::SetCleanupPath);
  } catch (const ESafeOutputError& e) {
    throw CliErrorOf(e);
  }
}

void RequireOutputKind(TFileKind kind, const std::filesystem::path& output) {
  if (LowerExtension(output) != ExtensionOf(kind))
    throw TUsageError("the output must be a " + ExtensionOf(kind) + " file like the input");
}

int RunIntoOutput(const TWriteJob& job, std::unique_ptr<TAuFileOut> sink, TSafeOutput& output,
                  const std::function<int64_t()>& framesFed) {
  const TPcmShape written = WrittenShape(job.Kind, *sink, job.Input);
  TProgressLine progress(job.Label, job.Quiet);
  const TRunResult run = RunToCompletion(*sink, progress);
  if (run.Signal != 0) {
    std::fputs("trimora-cli: interrupted; nothing was written\n", stderr);
    return 128 + run.Signal;
  }
  if (!run.Succeeded) throw TCliError(job.Command + " failed: " + run.Error);
  sink.reset();  // the sink lets go of the file before it is checked and renamed
  const int64_t frames = framesFed();
  const std::string shownName = output.Target().string();
  // A source whose header promised more than its file holds may deliver nothing at all.
  if (frames == 0)
    throw TCliError(job.Command + " failed: the input gave no sound for it; '" + shownName +
                    "' was not written");
  CheckWritten(output.TempPath(), shownName, job.Command, frames, job.Input.Rate, written);
  if (interrupt::Received() != 0) throw TCliError("interrupted");
  try {
    output.Commit();
  } catch (const ESafeOutputError& e) {
    throw CliErrorOf(e);
  }
  if (!job.Quiet && ::isatty(STDERR_FILENO) == 1)
    std::fprintf(stderr, "Wrote '%s': %s (%lld frames)\n", shownName.c_str(),
                 FramesToTimeText(frames, job.Input.Rate).c_str(), static_cast<long long>(frames));
  return kExitOk;
}

std::string FramesToTimeText(int64_t frames, int rate) {
  return MsToTimeText(
      static_cast<int32_t>(std::min<int64_t>(SampleFramesToMs(frames, rate), INT32_MAX)));
}
