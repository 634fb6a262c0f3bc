// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/json_text.h"

#include <cstdio>

#include "tags/tag_text.h"

std::string JsonString(std::string_view text) {
  const std::string valid = tag_text::WideToUtf8(tag_text::Utf8ToWide(text));
  std::string out = "\"";
  for (const char c : valid) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

void TJsonObject::Add(std::string_view key, std::string_view value) {
  if (FBody.size() > 1) FBody += ",";
  FBody += JsonString(key);
  FBody += ":";
  FBody += value;
}
