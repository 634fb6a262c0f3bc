// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cutting/operations/fades.h"

// A command's arguments: options with a value ("--start 00:00:05.0" or "--start=..."),
// switches ("--force") and positional arguments, in any order; "--" ends the options.
// Anything it does not know is a TUsageError.
class TCliArgs {
 public:
  struct TOption {
    std::string Long;   // "--output"
    std::string Short;  // "-o", or empty
    bool TakesValue = false;
  };

  TCliArgs(std::vector<TOption> options, const std::vector<std::string>& args);

  // The value of a value option; the last one given wins.
  std::optional<std::string> Value(const std::string& longName) const;
  bool Has(const std::string& longName) const;
  const std::vector<std::string>& Positional() const { return FPositional; }

 private:
  const TOption* Find(const std::string& name) const;

  std::vector<TOption> FOptions;
  std::map<std::string, std::string> FValues;
  std::vector<std::string> FPositional;
};

// A length or time given as hours:minutes:seconds.tenths ("00:01:30.5"), with milliseconds
// ("00:00:00.050"), or as seconds ("90", "2.5"), in milliseconds; TUsageError naming
// `option` otherwise.
int32_t ParseDurationMs(const std::string& option, const std::string& text);

// --fade-in and --fade-out of `parsed`; a fade with `copy` is a TUsageError, since a fade
// needs re-encoding.
TFades ParseFades(const TCliArgs& parsed, bool copy);
