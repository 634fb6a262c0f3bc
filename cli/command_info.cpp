#include "cli/command_info.h"

#include <cstdio>

#include "cli/cli_args.h"
#include "cli/cli_errors.h"
#include "cli/file_kinds.h"
#include "cutting/sample_frames.h"
#include "cutting/time_text.h"

const char* const kInfoUsage =
    "Usage: trimora-cli info FILE\n"
    "\n"
    "Shows the format of FILE (the kind of data, channels, sample rate, bits per sample)\n"
    "and its length as time text and in sample frames.\n";

int RunInfoCommand(const std::vector<std::string>& args) {
  const TCliArgs parsed({{"--help", "-h", false}}, args);
  if (parsed.Has("--help")) {
    std::fputs(kInfoUsage, stdout);
    return kExitOk;
  }
  if (parsed.Positional().size() != 1) throw TUsageError("info takes one FILE");
  const std::string& path = parsed.Positional()[0];

  TOpenedSource opened = OpenSource(path);
  TAuFileIn& source = *opened.Source;
  const int rate = source.SampleRate();
  const int64_t frames = std::max<int64_t>(source.TotalSamples(), 0);
  const auto ms =
      static_cast<int32_t>(std::min<int64_t>(SampleFramesToMs(frames, rate), INT32_MAX));
  std::printf("File:        %s\n", path.c_str());
  std::printf("Format:      %s\n", DescribeFormat(opened.Kind, source).c_str());
  std::printf("Channels:    %d\n", source.Channels());
  std::printf("Sample rate: %d Hz\n", rate);
  std::printf("Bits:        %d\n", source.BitsPerSample());
  std::printf("Length:      %s (%lld frames)\n", MsToTimeText(ms).c_str(),
              static_cast<long long>(frames));
  return kExitOk;
}
