// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_args.h"

#include <charconv>
#include <optional>

#include "cli/cli_errors.h"
#include "cutting/time/time_text.h"

TCliArgs::TCliArgs(std::vector<TOption> options, const std::vector<std::string>& args)
    : FOptions(std::move(options)) {
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
      FValues[option->Long] = "";
    } else if (equals != std::string::npos) {
      FValues[option->Long] = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      FValues[option->Long] = args[++i];
    } else {
      throw TUsageError(name + " needs a value");
    }
  }
}

const TCliArgs::TOption* TCliArgs::Find(const std::string& name) const {
  for (const auto& option : FOptions)
    if (name == option.Long || (!option.Short.empty() && name == option.Short)) return &option;
  return nullptr;
}

std::optional<std::string> TCliArgs::Value(const std::string& longName) const {
  const auto found = FValues.find(longName);
  if (found == FValues.end()) return std::nullopt;
  return found->second;
}

bool TCliArgs::Has(const std::string& longName) const {
  return FValues.count(longName) > 0;
}

namespace {

std::optional<int32_t> Digits(const std::string& text) {
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

std::optional<int32_t> DurationMs(const std::string& text) {
  if (IsTimeText(text) || IsPreciseTimeText(text)) return TimeTextToMs(text);
  const size_t dot = text.find('.');
  const std::string whole = text.substr(0, dot);
  std::string decimals = dot == std::string::npos ? "" : text.substr(dot + 1);
  if (whole.empty() || decimals.size() > 3 || (dot != std::string::npos && decimals.empty()))
    return std::nullopt;
  decimals.resize(3, '0');
  const auto seconds = Digits(whole);
  const auto ms = Digits(decimals);
  // A day is more than any file holds; the limit keeps the milliseconds in range.
  if (!seconds || !ms || *seconds > 24 * 3600) return std::nullopt;
  return *seconds * 1000 + *ms;
}

}  // namespace

int32_t ParseDurationMs(const std::string& option, const std::string& text) {
  const auto ms = DurationMs(text);
  if (!ms)
    throw TUsageError("invalid " + option + " '" + text +
                      "' (expected hours:minutes:seconds.tenths, as in 00:01:30.5, or seconds)");
  return *ms;
}

TFades ParseFades(const TCliArgs& parsed, bool copy) {
  TFades fades;
  if (const auto text = parsed.Value("--fade-in")) fades.InMs = ParseDurationMs("--fade-in", *text);
  if (const auto text = parsed.Value("--fade-out"))
    fades.OutMs = ParseDurationMs("--fade-out", *text);
  if (fades.Any() && copy)
    throw TUsageError("a fade needs re-encoding; it cannot be combined with --copy");
  return fades;
}
