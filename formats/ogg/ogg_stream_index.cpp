// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/ogg/ogg_stream_index.h"

#include <algorithm>
#include <memory>

#include "formats/ogg/ogg_packet_reader.h"
#include "pipeline/au_exception.h"

namespace {

bool NextHeader(TOggPacketReader& reader, TOggPacket& packet, const char* missing) {
  if (!reader.Next(packet)) throw EAuException(missing);
  return true;
}

// The granules FFmpeg reads its timeline from: the first one the audio gives, with the
// samples of the packets up to it, and that of the page marked as the stream's end.
struct TGranules {
  int64_t First = -1;
  int64_t SamplesToFirst = 0;
  int64_t Last = -1;
};

// FFmpeg trims the end by what the last granule says, but only within the last packet.
int64_t TrimmedLength(int64_t length, int64_t endByGranule, int32_t lastSamples) {
  const int64_t skip = length - endByGranule;
  if (skip > 0 && skip <= lastSamples) length -= skip;
  return std::max<int64_t>(length, 0);
}

}  // namespace

TOggStreamIndex IndexOggStream(TAuStream& stream) {
  stream.SetPosition(0);
  TOggPacketReader reader(stream);
  TOggStreamIndex index;
  TOggPacket packet;
  if (!reader.Next(packet))
    throw EAuException(reader.Truncated() ? "The Ogg file ends inside its first page"
                                          : "The file holds no Ogg stream");
  std::unique_ptr<TVorbisPacketDurations> vorbis;
  const std::vector<uint8_t>& data = packet.Data;
  if (data.size() >= 8 && std::equal(data.begin(), data.begin() + 8, "OpusHead")) {
    index.Codec = TOggCodec::Opus;
    index.Opus = ParseOpusHead(data.data(), data.size());
    index.IdHeader = data;
    NextHeader(reader, packet, "The Opus stream lacks its comment header");
    index.Vendor = ParseOpusTagsVendor(packet.Data.data(), packet.Data.size());
  } else if (data.size() >= 7 && data[0] == 1 &&
             std::equal(data.begin() + 1, data.begin() + 7, "vorbis")) {
    index.Codec = TOggCodec::Vorbis;
    index.Vorbis = ParseVorbisId(data.data(), data.size());
    index.IdHeader = data;
    NextHeader(reader, packet, "The Vorbis stream lacks its comment header");
    index.Vendor = ParseVorbisCommentVendor(packet.Data.data(), packet.Data.size());
    const std::vector<uint8_t> comment = std::move(packet.Data);
    NextHeader(reader, packet, "The Vorbis stream lacks its setup header");
    CheckVorbisSetup(packet.Data.data(), packet.Data.size());
    index.SetupHeader = packet.Data;
    vorbis = std::make_unique<TVorbisPacketDurations>(index.IdHeader, comment, index.SetupHeader);
  } else {
    throw EAuException("The Ogg stream is neither Opus nor Vorbis");
  }

  TGranules granules;
  int64_t samples = 0;
  while (reader.Next(packet)) {
    const int count = vorbis ? vorbis->Next(packet.Data.data(), packet.Data.size())
                             : OpusPacketSamples(packet.Data.data(), packet.Data.size());
    if (count < 0)
      throw EAuException("The audio packet on the Ogg page at byte " +
                         std::to_string(packet.PageOffset) + " cannot be read");
    index.Packets.push_back({packet.PageOffset, packet.IndexOnPage,
                             static_cast<int32_t>(packet.Data.size()), samples, count});
    samples += count;
    if (packet.Granule >= 0 && granules.First < 0) {
      granules.First = packet.Granule;
      granules.SamplesToFirst = samples;
    }
    if (packet.EndOfStream) granules.Last = packet.Granule;
  }
  index.Truncated = reader.Truncated();
  if (index.Packets.empty()) return index;
  const bool timed = granules.First >= 0 && granules.Last >= 0;
  const int64_t origin = granules.First - granules.SamplesToFirst;  // the first packet's granule
  if (vorbis) {
    // The first packet only primes the decoder's window: FFmpeg's count begins after it.
    const int32_t primer = index.Packets.front().Samples;
    for (TOggAudioPacket& p : index.Packets) p.Start = std::max<int64_t>(p.Start - primer, 0);
    index.Packets.front().Samples = 0;
    index.Length = samples - primer;
    if (timed)
      index.Length = TrimmedLength(index.Length, granules.Last - (origin + primer),
                                   index.Packets.back().Samples);
  } else {
    for (TOggAudioPacket& p : index.Packets) p.Start -= index.Opus.PreSkip;
    index.Length = samples - index.Opus.PreSkip;
    if (timed) {
      // FFmpeg drops the whole last packet when the granule asks for more than it holds.
      const int64_t end = granules.Last - origin - index.Opus.PreSkip;
      const int32_t last = index.Packets.back().Samples;
      index.Length = TrimmedLength(index.Length, std::max(end, index.Length - last), last);
    }
    index.Length = std::max<int64_t>(index.Length, 0);
  }
  return index;
}

TOggCopyPlan PlanOggCopy(const TOggStreamIndex& index, int64_t startSample, int64_t endSample) {
  TOggCopyPlan plan;
  plan.Start = startSample;
  plan.End = endSample < 0 ? index.Length : endSample + 1;
  if (index.Truncated && plan.End >= index.Length)
    throw EAuException("The Ogg file ends inside a page before the range does");
  if (plan.Start < 0 || plan.Start >= index.Length)
    throw EAuException("The range begins beyond the end of the stream");
  if (plan.End > index.Length) throw EAuException("The range ends beyond the end of the stream");
  if (plan.End <= plan.Start) throw EAuException("The range holds no samples");
  const std::vector<TOggAudioPacket>& packets = index.Packets;
  // The last packet whose samples begin at or before `sample`, among those that give any.
  const auto holding = [&](int64_t sample) {
    const auto after =
        std::upper_bound(packets.begin(), packets.end(), sample,
                         [](int64_t s, const TOggAudioPacket& p) { return s < p.Start; });
    size_t k = after == packets.begin() ? 0 : static_cast<size_t>(after - packets.begin()) - 1;
    while (k + 1 < packets.size() && packets[k].Samples == 0) ++k;
    return k;
  };
  const auto ending = [&](size_t from) {
    size_t k = from;
    while (k + 1 < packets.size() && packets[k].Start + packets[k].Samples < plan.End) ++k;
    return k;
  };
  if (index.Codec == TOggCodec::Opus) {
    plan.First = holding(std::max(plan.Start - kOpusPreRoll, packets.front().Start));
    plan.Base = packets[plan.First].Start;
    plan.Last = ending(plan.First);
    return plan;
  }
  // Vorbis: the packet before the one holding the start gives the window's first half.
  const size_t holder = std::max<size_t>(holding(plan.Start), 1);
  plan.First = holder - 1;
  plan.Last = ending(holder);
  plan.LeadIn = plan.Start - packets[holder].Start;
  // A range inside one packet cannot say its start: its granules then count from that
  // packet, so that decoders at least end it where asked.
  plan.Base = plan.Last > holder ? plan.Start : packets[holder].Start;
  return plan;
}
