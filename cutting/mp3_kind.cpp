// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/mp3_kind.h"

#include <cstdlib>

#include "cutting/mp3_cut_settings.h"
#include "formats/media/mp3_in.h"
#include "formats/mp3copy/mp3_frame_copy_out.h"
#include "formats/mp3out/mp3_out.h"

std::unique_ptr<TAuFileIn> MakeMP3Source() {
  return std::make_unique<TMP3In>();
}

std::unique_ptr<TAuFileOut> MakeMP3Sink() {
  return std::make_unique<TMP3Out>();
}

void SetUpMP3Sink(TAuFileOut& sink) {
  if (dynamic_cast<TMP3FrameCopyOut*>(&sink) != nullptr) return;  // it encodes nothing
  auto& mp3 = dynamic_cast<TMP3Out&>(sink);
  mp3.ShareMode = 0;
  mp3.BitRate = mbr128;
  mp3.Mode = mmMono;
  mp3.EnableBitReservoir = false;
  mp3.StrictISO = false;
  mp3.VBRQuality = mp3ql0;
  mp3.EnableVBR = false;
  mp3.AverageBitrate = mbrAuto;
  mp3.MaximumBitrate = mbrAuto;
}

void PrepareMP3Cut(TAuFileIn& source, TAuFileOut& sink) {
  if (auto* copy = dynamic_cast<TMP3FrameCopyOut*>(&sink)) {
    auto& mp3 = dynamic_cast<TMP3In&>(source);
    CopyTagsToMP3(mp3.Id3v2Tags(), mp3.FileName(), copy->Id3v2Tags(), copy->Id3v1Tags());
    return;
  }
  SetUpMP3Cut(dynamic_cast<TMP3In&>(source), dynamic_cast<TMP3Out&>(sink));
}

std::string DescribeMP3(TAuFileIn& source) {
  auto& mp3 = dynamic_cast<TMP3In&>(source);
  const std::string kbps = std::to_string((mp3.Bitrate() + 500) / 1000) + " kbps";
  return mp3.IsVBR() ? "MP3, VBR " + kbps : "MP3, " + kbps;
}

bool MP3LengthMatches(TAuFileIn& written, int64_t frames) {
  const int64_t rate = written.SampleRate();
  const int64_t length = written.TotalSamples() - rate / 3;
  return std::llabs(length - frames) <= rate / 100 + 1;
}
