// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_args.h"

#include "cli/cli_errors.h"

TCliArgs::TCliArgs(std::vector<TOption> options, const std::vector<std::string>& args)
    : Options(std::move(options)) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      FPositional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
    const std::string name = arg.substr(0, equals);
    const TOption* option = Find(name);
    if (option == nullptr) throw TUsageError("unknown option '" + name + "'");
    if (!option->TakesValue) {
      if (equals != std::string::npos) throw TUsageError(name + " takes no value");
      Values[option->Long] = "";
    } else if (equals != std::string::npos) {
      Values[option->Long] = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      Values[option->Long] = args[++i];
    } else {
      throw TUsageError(name + " needs a value");
    }
  }
}

const TCliArgs::TOption* TCliArgs::Find(const std::string& name) const {
  for (const auto& option : Options)
    if (name == option.Long || (!option.Short.empty() && name == option.Short)) return &option;
  return nullptr;
}

std::optional<std::string> TCliArgs::Value(const std::string& longName) const {
  const auto found = Values.find(longName);
  if (found == Values.end()) return std::nullopt;
  return found->second;
}

bool TCliArgs::Has(const std::string& longName) const {
  return Values.count(longName) > 0;
}
