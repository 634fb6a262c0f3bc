// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Time text: hours, minutes, seconds and tenths as "00:00:00.0". Times are signed 32-bit
// milliseconds. None of these raise: a field that is not a number counts as 0, and checking
// a text before using it is the caller's duty (IsTimeText, HasTimeLayout).

// "0" + the value below 10, the plain value from 10 on: 0 -> "00", 123 -> "123".
std::string TwoDigits(int value);
// TwoDigits of the text read as an integer (0 when it is not one).
std::string TwoDigitsText(std::string_view text);

// The syntax check: digits and separators only, one or two digits in each of the hours,
// minutes and seconds fields, at most one character of tenths. Values are not range-checked.
bool IsTimeText(std::string_view text);
// Exactly ten characters with ':' third and sixth and '.' ninth; the rest is not looked at.
bool HasTimeLayout(std::string_view text);

// Pads each field to its normal width and keeps one digit of tenths: "1:2:3.45" ->
// "01:02:03.4". A text without separators comes back unchanged.
std::string NormalizeTimeText(std::string_view text);

// The precise form: three digits of milliseconds instead of tenths, as in "00:00:01.234",
// for times chosen finer than a tenth. Exactly three digits, so that "00:00:00.00" stays a
// malformed text.
bool IsPreciseTimeText(std::string_view text);
// Twelve characters with ':' third and sixth and '.' ninth.
bool HasPreciseTimeLayout(std::string_view text);
// Either form, checked as the windows' time edits take them: syntax and layout.
bool IsShownTimeText(std::string_view text);
// The fields padded as NormalizeTimeText does, the three digits of milliseconds kept.
std::string NormalizePreciseTimeText(std::string_view text);

// A text of the precise form is read to the millisecond; any other as described above.
int32_t TimeTextToMs(std::string_view text);
// Milliseconds below a tenth are dropped, not rounded.
std::string MsToTimeText(int32_t ms);
// "00:00:01.234": every millisecond kept.
std::string MsToPreciseTimeText(int32_t ms);
// The short form when `ms` is a whole number of tenths, the precise form otherwise.
std::string MsToShownTimeText(int32_t ms);
// The main window's track bar counts half seconds.
std::string HalfSecondsToTimeText(int32_t halfSeconds);
