// SPDX-License-Identifier: GPL-3.0-or-later
// trimora-cli: cutting sound files from the command line, on the same engine as the windows.
// Exit status: 0 done, 1 failed, 2 the command line was not understood, 128 + the signal
// number when interrupted.

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "cli/cli_errors.h"
#include "cli/command_cut.h"
#include "cli/command_formats.h"
#include "cli/command_info.h"
#include "cli/command_join.h"
#include "cli/command_remove.h"
#include "cli/command_split.h"
#include "cli/command_stream.h"
#include "cli/interrupt.h"
#include "cutting/kinds/kind_registry.h"
#include "trimora_version.h"

namespace {

struct TCommand {
  const char* Name;
  const char* Synopsis;
  int (*Run)(const std::vector<std::string>& args);
};

// Later commands join this table.
const TCommand kCommands[] = {
    {"info", "info FILE                 show the format and length of FILE", RunInfoCommand},
    {"cut", "cut FILE -o OUT [options] write a stretch of FILE into OUT", RunCutCommand},
    {"join", "join FILE1 FILE2 -o OUT   write FILE1 followed by FILE2 into OUT", RunJoinCommand},
    {"mix", "mix FILE1 FILE2 -o OUT    write FILE1 and FILE2 mixed into OUT", RunMixCommand},
    {"remove", "remove FILE -s A-B -o OUT  write FILE without the stretches given into OUT",
     RunRemoveCommand},
    {"split", "split FILE --parts N ...  write FILE as several files, one per piece",
     RunSplitCommand},
    {"formats", "formats                   list the WMA codecs and formats a cut chooses from",
     RunFormatsCommand},
    {"stream", "stream FILE --port N      serve FILE as a WMA stream over HTTP", RunStreamCommand},
};

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "Usage: trimora-cli COMMAND [ARGUMENTS]\n"
               "\n"
               "Cuts, joins and mixes %s files\nwithout the windows.\n"
               "\n"
               "Commands:\n",
               TKindRegistry::Instance().NameList("and").c_str());
  for (const auto& command : kCommands) std::fprintf(out, "  %s\n", command.Synopsis);
  std::fputs(
      "\n"
      "Run 'trimora-cli COMMAND --help' for the options of a command,\n"
      "'trimora-cli --version' for the version and the license, and\n"
      "'trimora-cli --extensions' for the extensions of the files it reads.\n",
      out);
}

const char* const kLicense =
    "Copyright (C) 2026 Quarvo Software. License GPL-3.0-or-later: the GNU GPL version 3 or\n"
    "later <https://www.gnu.org/licenses/gpl.html>. This is free software: you are free to\n"
    "change and redistribute it. There is NO WARRANTY, to the extent permitted by law.";

int Fail(const char* message) {
  std::fprintf(stderr, "trimora-cli: %s\n", message);
  if (const int signal = interrupt::Received()) return 128 + signal;
  return kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (args.empty()) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintUsage(stdout);
    return kExitOk;
  }
  if (args[0] == "--version" || args[0] == "-v" || args[0] == "version") {
    std::printf("trimora-cli %s (build %s)\n%s\n", TRIMORA_VERSION, TRIMORA_BUILD, kLicense);
    return kExitOk;
  }
  if (args[0] == "--extensions") {
    for (const std::string& extension : TKindRegistry::Instance().Extensions())
      std::printf("%s\n", extension.substr(1).c_str());
    return kExitOk;
  }
  const TCommand* command = nullptr;
  for (const auto& candidate : kCommands)
    if (args[0] == candidate.Name) command = &candidate;
  if (command == nullptr) {
    std::fprintf(stderr, "trimora-cli: unknown command '%s'\n", args[0].c_str());
    std::fputs("Run 'trimora-cli --help' for the list of commands.\n", stderr);
    return kExitUsage;
  }

  interrupt::Install();
  try {
    return command->Run({args.begin() + 1, args.end()});
  } catch (const TUsageError& e) {
    std::fprintf(stderr, "trimora-cli %s: %s\n", command->Name, e.what());
    std::fprintf(stderr, "Run 'trimora-cli %s --help' for its usage.\n", command->Name);
    return kExitUsage;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}
