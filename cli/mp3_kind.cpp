#include "cli/mp3_kind.h"

#include <cstdlib>

#include "cli/wma_kind.h"
#include "cutting/mp3_cut_settings.h"
#include "formats/media/mp3_in.h"
#include "formats/mp3out/mp3_out.h"

std::unique_ptr<TAuFileIn> MakeMP3Source() {
  return SetUpMediaSource(std::make_unique<TMP3In>());
}

std::unique_ptr<TAuFileOut> MakeMP3Sink() {
  auto sink = std::make_unique<TMP3Out>();
  sink->ShareMode = 0;
  sink->BitRate = mbr128;
  sink->Mode = mmMono;
  sink->EnableBitReservoir = false;
  sink->StrictISO = false;
  sink->VBRQuality = mp3ql0;
  sink->EnableVBR = false;
  sink->AverageBitrate = mbrAuto;
  sink->MaximumBitrate = mbrAuto;
  return sink;
}

void PrepareMP3Cut(TAuFileIn& source, TAuFileOut& sink) {
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
