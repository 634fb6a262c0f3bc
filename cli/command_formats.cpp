// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_formats.h"

#include <cstdio>

#include "cli/cli_args.h"
#include "cli/cli_errors.h"
#include "formats/media/wma_out.h"

namespace {

const char* const kFormatsUsage =
    "Usage: trimora-cli formats\n"
    "\n"
    "Lists the WMA codecs and the formats of codec 0 with their indexes. A WMA cut writes\n"
    "codec 0 in the format whose description matches the source's bit rate, sample rate\n"
    "and channels, or format 29 when none does.\n";

}  // namespace

int RunFormatsCommand(const std::vector<std::string>& args) {
  const TCliArgs parsed({{"--help", "-h", false}}, args);
  if (parsed.Has("--help")) {
    std::fputs(kFormatsUsage, stdout);
    return kExitOk;
  }
  if (!parsed.Positional().empty()) throw TUsageError("formats takes no FILE");
  TWMAOut writer;
  std::puts("WMA codecs:");
  const auto& names = writer.CodecNames();
  for (size_t i = 0; i < names.size(); ++i) std::printf("%4zu  %s\n", i, names[i].c_str());
  std::puts("");
  std::puts("Formats of codec 0:");
  const auto& formats = writer.FormatList(0);
  for (size_t i = 0; i < formats.size(); ++i) std::printf("%4zu  %s\n", i, formats[i].c_str());
  return kExitOk;
}
