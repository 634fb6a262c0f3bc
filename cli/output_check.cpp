#include "cli/output_check.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>

#include "cli/cli_errors.h"
#include "cutting/sample_frames.h"
#include "cutting/time_text.h"

void RequireOutputKind(TFileKind kind, const std::filesystem::path& output) {
  std::string extension = output.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension != ExtensionOf(kind))
    throw TUsageError("the output must be a " + ExtensionOf(kind) + " file like the input");
}

void CheckWritten(const std::filesystem::path& written, const std::string& shownName,
                  const std::string& command, int64_t frames, int inputRate, TPcmShape expected) {
  TOpenedSource check = OpenSource(written);
  TAuFileIn& result = *check.Source;
  if (inputRate > 0 && expected.Rate != inputRate)
    frames = static_cast<int64_t>(
        std::llround(static_cast<double>(frames) * expected.Rate / static_cast<double>(inputRate)));
  if (!LengthMatches(check.Kind, result, frames) || result.Channels() != expected.Channels ||
      result.SampleRate() != expected.Rate)
    throw TCliError(command + " failed: '" + shownName + "' did not come out complete");
}

std::string FramesToTimeText(int64_t frames, int rate) {
  return MsToTimeText(
      static_cast<int32_t>(std::min<int64_t>(SampleFramesToMs(frames, rate), INT32_MAX)));
}
