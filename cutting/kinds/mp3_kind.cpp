// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/kinds/mp3_kind.h"

#include <algorithm>
#include <cstdlib>

#include "cutting/kinds/mp3_cut_settings.h"
#include "cutting/time/cut_range.h"
#include "cutting/time/time_text.h"
#include "formats/media/mp3_in.h"
#include "formats/mp3copy/mp3_frame_copy_out.h"
#include "formats/mp3copy/mp3_pieces_copy_out.h"
#include "formats/mp3out/mp3_out.h"
#include "tags/mp3_file_tags.h"

std::unique_ptr<TAuFileIn> TMP3Kind::MakeSource() const {
  return SetUp(std::make_unique<TMP3In>());
}

std::unique_ptr<TAuFileOut> TMP3Kind::MakeSink() const {
  auto mp3 = std::make_unique<TMP3Out>();
  mp3->ShareMode = 0;
  mp3->BitRate = mbr128;
  mp3->Mode = mmMono;
  mp3->EnableBitReservoir = false;
  mp3->StrictISO = false;
  mp3->VBRQuality = mp3ql0;
  mp3->EnableVBR = false;
  mp3->AverageBitrate = mbrAuto;
  mp3->MaximumBitrate = mbrAuto;
  return mp3;
}

std::unique_ptr<TAuFileOut> TMP3Kind::MakeFrameKeepingSink() const {
  return std::make_unique<TMP3FrameCopyOut>();
}

bool TMP3Kind::CopiesFrames(const TAuFileOut& sink) const {
  return dynamic_cast<const TMP3FrameCopyOut*>(&sink) != nullptr;
}

std::unique_ptr<TPiecesCopyOut> TMP3Kind::MakePieceKeepingSink() const {
  return std::make_unique<TMP3PiecesCopyOut>();
}

std::string TMP3Kind::JoinKeepingRefusal(TAuFileIn& first, TAuFileIn& second) const {
  if (first.SampleRate() == second.SampleRate() && first.Channels() == second.Channels()) return {};
  return "the two MP3 files differ in sample rate or channels, so their frames cannot be "
         "joined as they are; re-encode instead";
}

void TMP3Kind::PrepareCut(TAuFileIn& source, TAuFileOut& sink) const {
  auto& mp3 = dynamic_cast<TMP3In&>(source);
  if (auto* copy = dynamic_cast<TCopyingFileOut*>(&sink)) {
    CopyTagsToMP3(mp3.Id3v2Tags(), TagFileOf(mp3), copy->Id3v2Tags(), copy->Id3v1Tags());
    return;
  }
  SetUpMP3Cut(mp3, TagFileOf(mp3), dynamic_cast<TMP3Out&>(sink));
}

std::function<int64_t()> TMP3Kind::FramesFed(TAuFileOut& sink, TAuInput& input) const {
  if (auto* copy = dynamic_cast<TCopyingFileOut*>(&sink))
    return [copy] { return copy->SamplesKept(); };
  return FramesDelivered(input);
}

void TMP3Kind::SetEncoderLanes(TAuFileOut& sink, int lanes) const {
  if (auto* mp3 = dynamic_cast<TMP3Out*>(&sink)) mp3->Lanes = lanes;
}

int64_t TMP3Kind::FramesHeld(TAuFileIn& source) const {
  const int64_t total = source.TotalSamples();
  if (total <= 0) return total;
  return std::max<int64_t>(total - source.SampleRate() / 3, 0);
}

bool TMP3Kind::LengthMatches(TAuFileIn& written, int64_t frames) const {
  const int64_t rate = written.SampleRate();
  const int64_t length = written.TotalSamples() - rate / 3;
  return std::llabs(length - frames) <= rate / 100 + 1;
}

std::vector<std::string> TMP3Kind::Notes(TAuFileIn& source) const {
  auto& mp3 = dynamic_cast<TMP3In&>(source);
  const auto format = [](int rate, int channels) {
    return std::to_string(rate) + " Hz, " + (channels == 1 ? "mono" : "stereo");
  };
  const std::string readOn =
      "; read on as " + format(source.SampleRate(), source.Channels()) + " like the start";
  std::vector<std::string> notes;
  for (const auto& change : mp3.FormatChanges())
    notes.push_back("Format changes at " +
                    MsToTimeText(FramesToMs(change.Sample, source.SampleRate())) + " to " +
                    format(change.SampleRate, change.Channels) + readOn);
  return notes;
}

void TMP3Kind::ReadTags(const std::filesystem::path& file, TAuFileIn& source,
                        TId3v2Tags& tags) const {
  TMediaKind::ReadTags(file, source, tags);
  CompleteFromMP3File(file, tags);
}
