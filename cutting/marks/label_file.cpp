// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/marks/label_file.h"

#include <cstdio>

#include "cutting/cut_error.h"
#include "cutting/marks/mark_text.h"

namespace {

constexpr int64_t kNanosPerSecond = 1000000000;
// Past three years no sound is labelled; the bound keeps the nanoseconds inside 64 bits.
constexpr int64_t kMostSeconds = 100000000;

// "12.345678" (or with a comma, as some locales write it) as nanoseconds.
std::optional<TMarkTime> Seconds(std::string_view text) {
  int64_t whole = 0, fraction = 0, scale = kNanosPerSecond;
  size_t at = 0, digits = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
    whole = whole * 10 + (text[at] - '0');
    if (whole > kMostSeconds) return std::nullopt;
  }
  if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
    for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits)
      if (scale > 1) fraction += (text[at] - '0') * (scale /= 10);
  }
  if (digits == 0 || at != text.size()) return std::nullopt;
  return TMarkTime{whole * kNanosPerSecond + fraction, kNanosPerSecond};
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (size_t at = 0;;) {
    const size_t tab = line.find('\t', at);
    fields.push_back(line.substr(at, tab == std::string_view::npos ? tab : tab - at));
    if (tab == std::string_view::npos || fields.size() == 3) break;
    at = tab + 1;
  }
  if (fields.size() == 3) {
    // The text is the rest of the line, tabs and all.
    const size_t second = line.find('\t', line.find('\t') + 1);
    fields[2] = line.substr(second + 1);
  }
  return fields;
}

TMarkTime TimeField(std::string_view text, size_t line, const char* which) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  const auto time = Seconds(text);
  if (!time)
    throw ECutError(AtLine(line, std::string("the ") + which + " '" + std::string(text) +
                                     "' is not a time in seconds, as in 12.5"));
  return *time;
}

std::string SecondsText(int64_t frame, int rate) {
  const TMarkTime time = FrameTime(frame, rate, 1000000);
  char text[40];
  std::snprintf(text, sizeof text, "%lld.%06lld", static_cast<long long>(time.Count / 1000000),
                static_cast<long long>(time.Count % 1000000));
  return text;
}

}  // namespace

TMarkSheet ParseLabels(std::string_view bytes) {
  const std::vector<std::string> lines = MarkFileLines(bytes);
  TMarkSheet sheet;
  for (size_t k = 0; k < lines.size(); ++k) {
    const std::string_view line = lines[k];
    if (line.empty() || line.front() == '\\') continue;
    const std::vector<std::string_view> fields = Fields(line);
    TMark mark;
    mark.Line = static_cast<int>(k + 1);
    mark.Start = TimeField(fields[0], k + 1, "start");
    const TMarkTime end = fields.size() > 1 ? TimeField(fields[1], k + 1, "end") : mark.Start;
    if (end.Count < mark.Start.Count)
      throw ECutError(AtLine(k + 1, "the label ends before it starts"));
    mark.Point = end == mark.Start;
    if (!mark.Point) mark.End = end;
    if (fields.size() > 2) mark.Texts.Title = std::string(fields[2]);
    sheet.Marks.push_back(std::move(mark));
  }
  if (sheet.Marks.empty()) throw ECutError("the label file holds no label");
  return sheet;
}

std::string WriteLabels(const TMarkSheet& marks, int rate) {
  std::string text;
  for (const TMark& mark : marks.Marks) {
    const int64_t start = mark.Start.Frames(rate);
    const int64_t end = mark.End ? mark.End->Frames(rate) : start;
    // A tab or an end of line in a title would start another field or label.
    std::string title = mark.Texts.Title;
    for (char& c : title)
      if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    text += SecondsText(start, rate) + "\t" + SecondsText(end, rate) + "\t" + title + "\n";
  }
  return text;
}
