// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_info.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_errors.h"
#include "cli/json_text.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/marks/embedded_marks.h"
#include "cutting/time/cut_range.h"
#include "cutting/time/time_text.h"
#include "tags/id3v2_tags.h"
#include "tags/tag_text.h"

const char* const kInfoUsage =
    "Usage: trimora-cli info FILE [--json]\n"
    "\n"
    "Shows the format of FILE (the kind of data, channels, sample rate, bits per sample),\n"
    "for a WAV file what a cut of it writes, its length as time text and in sample frames\n"
    "('about' where it is only the header's claim, which the sound may fall short of or run\n"
    "past), its bit rate, whether it is VBR or protected, and the tags a cut carries over\n"
    "(title, artist, album, year, track, genre, comment), and notes such as where the sound\n"
    "changes format part-way, and the marks it carries (a FLAC CUESHEET, ID3v2 chapters), which\n"
    "'split --chapters' splits at.\n"
    "\n"
    "Options:\n"
    "  --json      one JSON object on one line instead, with the same facts under fixed keys\n"
    "  -h, --help  show this help\n";

namespace {

struct TTagLine {
  const char* Key;    // of the JSON object
  const char* Label;  // of the text
  std::string Value;  // UTF-8
};

struct TInfoReport {
  std::string File;
  std::string Format;
  std::string CutWrites;           // empty where the kind does not say
  std::vector<std::string> Notes;  // the kind's further facts, one line each
  std::optional<TEmbeddedMarks> Marks;
  int Channels = 0;
  int SampleRate = 0;
  int BitsPerSample = 0;
  int64_t Frames = 0;
  bool LengthEstimated = false;  // the header's claim, not proved by a decode
  uint32_t Bitrate = 0;          // bits per second
  bool VBR = false;
  bool Protected = false;  // then nothing but the file's kind is known
  std::array<TTagLine, 7> Tags = {{{"title", "Title:", {}},
                                   {"artist", "Artist:", {}},
                                   {"album", "Album:", {}},
                                   {"year", "Year:", {}},
                                   {"track", "Track:", {}},
                                   {"genre", "Genre:", {}},
                                   {"comment", "Comment:", {}}}};
};

void FillTags(const TId3v2Tags& tags, TInfoReport& report) {
  using tag_text::AnsiToWide;
  using tag_text::WideToUtf8;
  const std::array<std::u16string, 7> values = {
      tags.Title(), tags.Artist(), tags.Album(), AnsiToWide(tags.Year()), AnsiToWide(tags.Track()),
      tags.Genre(), tags.Comment()};
  for (std::size_t i = 0; i < values.size(); ++i) report.Tags[i].Value = WideToUtf8(values[i]);
}

TInfoReport ReadReport(const std::string& path) {
  TInfoReport report;
  report.File = path;
  const TKind& kind = KindOfFile(path);
  TOpenedSource opened;
  try {
    opened = OpenSource(path);
  } catch (const ECutError& e) {
    // Protected content cannot be opened for reading, but that is an answer here.
    constexpr std::string_view kProtected = "File is protected";
    const std::string_view message = e.what();
    if (!kind.MayBeProtected() || !message.ends_with(kProtected)) throw;
    report.Format = kind.Name();
    report.Protected = true;
    return report;
  }
  TAuFileIn& source = *opened.Source;
  report.Format = kind.Describe(source);
  report.CutWrites = kind.DescribeCut(source);
  report.Notes = kind.Notes(source);
  report.Channels = source.Channels();
  report.SampleRate = source.SampleRate();
  report.BitsPerSample = source.BitsPerSample();
  report.Frames = std::max<int64_t>(kind.FramesHeld(source), 0);
  report.LengthEstimated = kind.LengthIsEstimate(source);
  report.Bitrate = kind.Bitrate(source);
  report.VBR = kind.IsVBR(source);
  TId3v2Tags tags;
  kind.ReadTags(path, source, tags);
  FillTags(tags, report);
  report.Marks = ReadEmbeddedMarks(path);
  return report;
}

std::string MarkTime(const TMark& mark, int rate) {
  return MsToPreciseTimeText(FramesToMs(mark.Start.Frames(rate), rate));
}

std::string LengthText(const TInfoReport& report) {
  return MsToTimeText(FramesToMs(report.Frames, report.SampleRate));
}

void PrintText(const TInfoReport& report) {
  std::printf("File:        %s\n", report.File.c_str());
  if (report.Protected) {
    std::printf("Format:      %s\n", report.Format.c_str());
    std::printf("Protected:   yes (nothing more can be read)\n");
    return;
  }
  std::printf("Format:      %s\n", report.Format.c_str());
  if (!report.CutWrites.empty()) std::printf("Cut writes:  %s\n", report.CutWrites.c_str());
  std::printf("Channels:    %d\n", report.Channels);
  std::printf("Sample rate: %d Hz\n", report.SampleRate);
  std::printf("Bits:        %d\n", report.BitsPerSample);
  std::printf("Length:      %s%s (%lld frames)\n", report.LengthEstimated ? "about " : "",
              LengthText(report).c_str(), static_cast<long long>(report.Frames));
  std::printf("Bit rate:    %u kbps\n", (report.Bitrate + 500) / 1000);
  std::printf("VBR:         %s\n", report.VBR ? "yes" : "no");
  std::printf("Protected:   no\n");
  for (const std::string& note : report.Notes) std::printf("Note:        %s\n", note.c_str());
  if (report.Marks) {
    const auto& marks = report.Marks->Marks.Marks;
    std::printf("Marks:       %zu, from the %s\n", marks.size(), report.Marks->Source.c_str());
    for (size_t k = 0; k < marks.size(); ++k)
      std::printf("  %2zu  %s  %s\n", k + 1, MarkTime(marks[k], report.SampleRate).c_str(),
                  marks[k].Texts.Title.c_str());
  }
  for (const TTagLine& tag : report.Tags)
    if (!tag.Value.empty()) std::printf("%-12s %s\n", tag.Label, tag.Value.c_str());
}

void PrintJson(const TInfoReport& report) {
  TJsonObject json;
  json.Add("file", JsonString(report.File));
  json.Add("format", JsonString(report.Format));
  json.Add("protected", report.Protected ? "true" : "false");
  json.Add("channels", std::to_string(report.Channels));
  json.Add("sample_rate", std::to_string(report.SampleRate));
  json.Add("bits_per_sample", std::to_string(report.BitsPerSample));
  json.Add("frames", std::to_string(report.Frames));
  json.Add("length", JsonString(report.Protected ? std::string() : LengthText(report)));
  json.Add("length_estimated", report.LengthEstimated ? "true" : "false");
  json.Add("bit_rate", std::to_string(report.Bitrate));
  json.Add("vbr", report.VBR ? "true" : "false");
  TJsonObject tags;
  for (const TTagLine& tag : report.Tags) tags.Add(tag.Key, JsonString(tag.Value));
  json.Add("tags", tags.Text());
  json.Add("cut_writes", JsonString(report.CutWrites));
  std::string notes;
  for (const std::string& note : report.Notes)
    notes += (notes.empty() ? "" : ",") + JsonString(note);
  json.Add("notes", "[" + notes + "]");
  std::string marks;
  if (report.Marks)
    for (const TMark& mark : report.Marks->Marks.Marks) {
      TJsonObject item;
      item.Add("start", JsonString(MarkTime(mark, report.SampleRate)));
      item.Add("start_frame", std::to_string(mark.Start.Frames(report.SampleRate)));
      item.Add("title", JsonString(mark.Texts.Title));
      marks += (marks.empty() ? "" : ",") + item.Text();
    }
  json.Add("marks_from", JsonString(report.Marks ? report.Marks->Source : std::string()));
  json.Add("marks", "[" + marks + "]");
  std::printf("%s\n", json.Text().c_str());
}

}  // namespace

int RunInfoCommand(const std::vector<std::string>& args) {
  const TCliArgs parsed({{"--help", "-h", false}, {"--json", "", false}}, args);
  if (parsed.Has("--help")) {
    std::fputs(kInfoUsage, stdout);
    return kExitOk;
  }
  if (parsed.Positional().size() != 1) throw TUsageError("info takes one FILE");
  const TInfoReport report = ReadReport(parsed.Positional()[0]);
  if (parsed.Has("--json"))
    PrintJson(report);
  else
    PrintText(report);
  return kExitOk;
}
