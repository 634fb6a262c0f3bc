// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/time/time_text.h"

#include <algorithm>
#include <charconv>

namespace {

// The whole text as a decimal integer with an optional sign; 0 for anything else,
// including a number too large for an int.
int ToIntDef0(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return 0;
  return value;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Characters `from` to `from + count - 1`, 1-based, cut short at the end of the text.
std::string_view Copy(std::string_view text, size_t from, size_t count) {
  if (from > text.size()) return {};
  return text.substr(from - 1, count);
}

// Cuts one field ending at `separator` off the front of `rest`: it must be there, and the
// field before it one or two digits.
bool TakeField(std::string_view& rest, char separator) {
  const size_t at = rest.find(separator);
  if (at == std::string_view::npos || at < 1 || at > 2) return false;
  for (size_t i = 0; i < at; ++i)
    if (!IsDigit(rest[i])) return false;
  rest.remove_prefix(at + 1);
  return true;
}

}  // namespace

std::string TwoDigits(int value) {
  return value < 10 ? "0" + std::to_string(value) : std::to_string(value);
}

std::string TwoDigitsText(std::string_view text) {
  return TwoDigits(ToIntDef0(text));
}

bool IsTimeText(std::string_view text) {
  for (char c : text)
    if (!IsDigit(c) && c != '.' && c != ':') return false;
  std::string_view rest = text;
  if (!TakeField(rest, ':') || !TakeField(rest, ':') || !TakeField(rest, '.')) return false;
  return rest.size() <= 1;
}

bool HasTimeLayout(std::string_view text) {
  return text.size() == 10 && text[2] == ':' && text[5] == ':' && text[8] == '.';
}

bool IsPreciseTimeText(std::string_view text) {
  for (char c : text)
    if (!IsDigit(c) && c != '.' && c != ':') return false;
  std::string_view rest = text;
  if (!TakeField(rest, ':') || !TakeField(rest, ':') || !TakeField(rest, '.')) return false;
  return rest.size() == 3 && IsDigit(rest[0]) && IsDigit(rest[1]) && IsDigit(rest[2]);
}

bool HasPreciseTimeLayout(std::string_view text) {
  return text.size() == 12 && text[2] == ':' && text[5] == ':' && text[8] == '.';
}

bool IsShownTimeText(std::string_view text) {
  return (IsTimeText(text) && HasTimeLayout(text)) ||
         (IsPreciseTimeText(text) && HasPreciseTimeLayout(text));
}

std::string NormalizePreciseTimeText(std::string_view text) {
  if (!IsPreciseTimeText(text)) return NormalizeTimeText(text);
  const size_t point = text.rfind('.');
  const std::string fields = NormalizeTimeText(std::string(text.substr(0, point)) + ".0");
  return fields.substr(0, fields.size() - 1) + std::string(text.substr(point + 1));
}

std::string NormalizeTimeText(std::string_view text) {
  std::string result;
  for (int field = 0; field < 2; ++field) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) break;
    result += TwoDigitsText(text.substr(0, colon)) + ":";
    text.remove_prefix(colon + 1);
  }
  const size_t point = text.find('.');
  if (point != std::string_view::npos) {
    result += TwoDigitsText(text.substr(0, point)) + ".";
    text = text.substr(point + 1, 1);
  }
  result += text;
  return result;
}

int32_t TimeTextToMs(std::string_view text) {
  if (IsPreciseTimeText(text)) {
    const size_t point = text.rfind('.');
    return static_cast<int32_t>(int64_t{TimeTextToMs(std::string(text.substr(0, point)) + ".0")} +
                                ToIntDef0(text.substr(point + 1)));
  }
  const std::string normal = NormalizeTimeText(text);
  const int64_t ms = int64_t{ToIntDef0(Copy(normal, 1, 2))} * 3600000 +
                     int64_t{ToIntDef0(Copy(normal, 4, 2))} * 60000 +
                     int64_t{ToIntDef0(Copy(normal, 7, 2))} * 1000 +
                     int64_t{ToIntDef0(Copy(normal, 10, 1))} * 100;
  return static_cast<int32_t>(ms);
}

std::string MsToTimeText(int32_t ms) {
  const auto hours = static_cast<uint8_t>(ms / 3600000);
  const int32_t r = ms % 3600000;
  const int32_t minutes = r / 60000;
  const int32_t seconds = (r % 60000) / 1000;
  const int32_t tenths = (r % 60000 % 1000) / 100;
  return TwoDigits(hours) + ":" + TwoDigits(minutes) + ":" + TwoDigits(seconds) + "." +
         std::to_string(tenths);
}

std::string MsToPreciseTimeText(int32_t ms) {
  const std::string tenths = MsToTimeText(ms);
  const int32_t fraction = ms % 1000;
  std::string digits = std::to_string(fraction < 0 ? -fraction : fraction);
  digits.insert(0, 3 - std::min<size_t>(digits.size(), 3), '0');
  return tenths.substr(0, tenths.size() - 1) + digits;
}

std::string MsToShownTimeText(int32_t ms) {
  return ms % 100 == 0 ? MsToTimeText(ms) : MsToPreciseTimeText(ms);
}

std::string HalfSecondsToTimeText(int32_t halfSeconds) {
  return MsToTimeText(static_cast<int32_t>(int64_t{halfSeconds} * 500));
}
