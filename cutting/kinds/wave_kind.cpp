// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/kinds/wave_kind.h"

#include "cutting/operations/ranges_input.h"
#include "cutting/kinds/tag_copy.h"
#include "formats/wave/wave_in.h"
#include "formats/wave/wave_out.h"

namespace {

std::string Bits(int bits) {
  return std::to_string(bits) + "-bit ";
}

// Whether `input` hands the sink the samples of `source` as the source delivers them: the
// mixer and the converter compute new integer samples and cannot take floats.
bool ReadsUnchanged(const TAuInput* input, const TAuFileIn& source) {
  if (input == &source) return true;
  const auto* ranges = dynamic_cast<const TRangesInput*>(input);
  return ranges != nullptr && ranges->Source() == &source;
}

}  // namespace

TWaveCutPlan PlanWaveCut(const TWaveHeader& header, int deliveredBits) {
  switch (header.WavType) {
    case wtPCM:
    case wtExtPCM:
      return {header.WavType, 512, Bits(header.BitsPerSample) + "PCM"};
    case wtIEEEFloat:
    case wtExtIEEEFloat:
      return {header.WavType, 512, Bits(header.BitsPerSample) + "float"};
    case wtDVIADPCM: {
      // The source's blocks where the encoder can fill them; the writer's usual size else.
      const uint16_t align = header.ImaFormat.BlockAlign;
      const uint16_t block =
          align % 4 == 0 && ImaBlockSizeFits(align, header.Channels) ? align : 512;
      return {wtDVIADPCM, block, "IMA ADPCM (" + std::to_string(block) + "-byte blocks)"};
    }
    case wtMSADPCM:
    case wtACM:
      break;
    case wtUnsupported:
      return {wtPCM, 512, "nothing (the file cannot be read)"};
  }
  const std::string what = header.WavType == wtACM ? "MP3 in WAV" : "MS ADPCM";
  return {wtPCM, 512, Bits(deliveredBits) + "PCM (" + what + " cannot be written)"};
}

std::unique_ptr<TAuFileIn> TWaveKind::MakeSource() const {
  auto source = std::make_unique<TWaveIn>();
  source->Loop = false;
  source->EndSample = -1;
  source->SetKeepFloat(false);
  return source;
}

std::unique_ptr<TAuFileOut> TWaveKind::MakeSink() const {
  auto wave = std::make_unique<TWaveOut>();
  wave->SetWavType(wtPCM);
  wave->SetBlockSize(512);
  wave->SetSpeakerMask(std::nullopt);
  wave->Id3v2Tags().ClearValues();
  wave->CreateNonMsHeaders = false;
  wave->SetFileMode(foRewrite);
  wave->ShareMode = 0;
  return wave;
}

void TWaveKind::PrepareCut(TAuFileIn& source, TAuFileOut& sink) const {
  auto& in = dynamic_cast<TWaveIn&>(source);
  auto& out = dynamic_cast<TWaveOut&>(sink);
  const TWaveHeader header = in.Header();
  const bool isFloat = header.WavType == wtIEEEFloat || header.WavType == wtExtIEEEFloat;
  in.SetKeepFloat(isFloat && ReadsUnchanged(sink.Input(), source));
  const TWaveCutPlan plan = PlanWaveCut(header, in.BitsPerSample());
  out.SetWavType(plan.Type);
  out.SetBlockSize(plan.BlockSize);
  out.SetSpeakerMask(header.HasChannelMask ? std::optional(header.ChannelMask) : std::nullopt);
  CopyId3v2Tags(in.Id3v2Tags(), out.Id3v2Tags());
}

std::string TWaveKind::Describe(TAuFileIn& source) const {
  return "WAV, " + std::string(dynamic_cast<TWaveIn&>(source).WavTypeName());
}

std::string TWaveKind::DescribeCut(TAuFileIn& source) const {
  auto& in = dynamic_cast<TWaveIn&>(source);
  return PlanWaveCut(in.Header(), in.BitsPerSample()).Text;
}

std::string TWaveKind::Refusal(TAuFileIn& source) const {
  return dynamic_cast<TWaveIn&>(source).RefusalReason();
}

void TWaveKind::ReadTags(const std::filesystem::path&, TAuFileIn& source,
                         TId3v2Tags& tags) const {
  tags.Assign(dynamic_cast<TWaveIn&>(source).Id3v2Tags());
}
