// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3copy/mp3_pieces_plan.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "formats/mp3copy/mp3_copy_plan.h"
#include "formats/mp3copy/mp3_raw_decoder.h"
#include "pipeline/au_exception.h"

using namespace trimora::media;

namespace {

// The fresh frames on each side of a join, in seconds at the least.
constexpr double kBridgeSeconds = 0.1;

int64_t FloorDiv(int64_t a, int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// `samples` rounded to the nearest whole number of frames.
int64_t RoundToFrames(int64_t samples, int64_t perFrame) {
  return FloorDiv(samples + perFrame / 2, perFrame) * perFrame;
}

// The piece output raw sample `raw` lies in: the joins at or before it.
size_t PieceAt(const TMp3PiecesPlan& plan, int64_t raw) {
  return static_cast<size_t>(std::upper_bound(plan.Joins.begin(), plan.Joins.end(), raw) -
                             plan.Joins.begin());
}

void RequireOneFormat(const std::vector<TMp3PieceSource>& sources) {
  const TMpegHeader& first = sources.front().Start.Header;
  for (const TMp3PieceSource& source : sources)
    if (source.Start.Header.SampleRate != first.SampleRate ||
        source.Start.Header.Channels != first.Channels)
      throw EAuException(
          "The files differ in sample rate or channels, so their frames cannot be joined as they "
          "are; re-encode instead");
}

// The pieces' raw bounds, offsets and joins; the output's first and last frame.
void PlaceOutput(std::vector<TMp3PieceSource>& sources, const std::vector<TMp3Piece>& pieces,
                 TMp3PiecesPlan& plan, int64_t& lastOut) {
  const int64_t perFrame =
      sources[static_cast<size_t>(pieces[0].Source)].Start.Header.SamplesPerFrame;
  int64_t outEnd = 0;
  for (size_t k = 0; k < pieces.size(); ++k) {
    TMp3PieceSource& source = sources[static_cast<size_t>(pieces[k].Source)];
    const TMp3CopyPlan copy = PlanMp3Copy(*source.Reader, source.Start, *source.Index,
                                          pieces[k].StartSample, pieces[k].EndSample);
    const int64_t start = copy.Delay + kMp3DecoderDelay + (copy.First - 1) * perFrame;
    const int64_t end = (copy.Last + 1) * perFrame - copy.Padding + kMp3DecoderDelay;
    plan.Vbr = plan.Vbr || copy.Vbr;
    plan.Sources.push_back(pieces[k].Source);
    if (k == 0) {
      plan.LeadIn = copy.LeadIn;
      plan.AudioHeader = copy.AudioHeader;
      plan.FirstOut = copy.First;
      plan.JoinRaw0 = start;
      plan.Offsets.push_back(0);
      outEnd = end;
      continue;
    }
    const int64_t offset = RoundToFrames(start - outEnd, perFrame);
    if (end - offset <= outEnd)
      throw EAuException(
          "A kept piece is shorter than the half frame its join may move it by, so the frames "
          "cannot be kept; re-encode instead");
    plan.Offsets.push_back(offset);
    plan.Joins.push_back(outEnd);
    plan.Shifts.push_back(outEnd + offset - start);
    outEnd = end - offset;
  }
  plan.Samples = outEnd - plan.JoinRaw0;
  lastOut = (outEnd - 1) / perFrame;
  plan.Delay = static_cast<int>(plan.JoinRaw0 - (plan.FirstOut - 1) * perFrame - kMp3DecoderDelay);
  plan.Padding = static_cast<int>((lastOut + 1) * perFrame - outEnd + kMp3DecoderDelay);
}

// The bit rate of a bridge: the lowest of the stream's kind at or above what the source frames
// it stands for average.
int BridgeKbps(const TMpegHeader& stream, double meanBytes) {
  const double kbps = meanBytes * 8 * stream.SampleRate / stream.SamplesPerFrame / 1000;
  int chosen = 0;
  for (uint32_t index = 1; index < 15; ++index) {
    const auto header = ParseMpegHeader((stream.Word & ~(0xFu << 12)) | (index << 12));
    if (!header) continue;
    chosen = header->Bitrate / 1000;
    if (chosen + 0.5 >= kbps) break;
  }
  return chosen;
}

struct TFrameChoice {
  int64_t Source = -1;  // the source frame copied, -1: a bridge frame
  size_t Piece = 0;
};

// Output frames FirstOut..lastOut: copied where a piece's frame maps there whole and away from
// the joins, bridged elsewhere.
std::vector<TFrameChoice> ChooseFrames(std::vector<TMp3PieceSource>& sources,
                                       const TMp3PiecesPlan& plan, int64_t lastOut,
                                       const TMp3JoinFades& fades) {
  const TMpegHeader& stream = sources[static_cast<size_t>(plan.Sources[0])].Start.Header;
  const int64_t perFrame = stream.SamplesPerFrame;
  const int64_t priming = Mp3PrimingFrames(stream);
  std::vector<TFrameChoice> frames(static_cast<size_t>(lastOut - plan.FirstOut + 1));
  for (size_t i = 0; i < frames.size(); ++i) {
    const int64_t m = plan.FirstOut + static_cast<int64_t>(i);
    const size_t piece = PieceAt(plan, m * perFrame);
    if (piece != PieceAt(plan, (m + 1) * perFrame - 1)) continue;
    const int64_t source = m + plan.Offsets[piece] / perFrame;
    TMp3FrameIndex& index = *sources[static_cast<size_t>(plan.Sources[piece])].Index;
    if (source >= 0 && index.Reach(source)) frames[i] = {source, piece};
  }
  const auto bridgeSpan = [&](int64_t samples) {
    const auto least = static_cast<int64_t>(std::ceil(kBridgeSeconds * stream.SampleRate));
    return (std::max(least, samples) + perFrame - 1) / perFrame;
  };
  const int64_t before = bridgeSpan(fades.Out), after = bridgeSpan(fades.In);
  for (const int64_t join : plan.Joins) {
    const int64_t at = join / perFrame;
    for (int64_t m = at - before; m <= at + after; ++m)
      if (m >= plan.FirstOut && m <= lastOut) frames[static_cast<size_t>(m - plan.FirstOut)] = {};
  }
  // A copied frame after a bridge decodes exactly only once its priming frames are copied too:
  // a shorter stretch of copies between two bridges is bridged with them.
  for (size_t i = 0; i < frames.size();) {
    if (frames[i].Source >= 0 || i + 1 == frames.size()) {
      ++i;
      continue;
    }
    size_t end = i + 1;
    while (end < frames.size() && frames[end].Source < 0) ++end;
    size_t copies = end;
    while (copies < frames.size() && frames[copies].Source >= 0) ++copies;
    if (copies < frames.size() && copies - end <= static_cast<size_t>(priming))
      for (size_t k = end; k < copies; ++k) frames[k] = {};
    i = end;
  }
  return frames;
}

// Turns the frame choices into runs, with each bridge's format, bit rate and the reservoir of
// the frame copied after it; a reservoir no frame can hold beside the bridge's own data moves
// the bridge's end on by a frame.
bool MakeRuns(std::vector<TMp3PieceSource>& sources, TMp3PiecesPlan& plan,
              std::vector<TFrameChoice>& frames) {
  plan.Runs.clear();
  const int64_t perFrame =
      sources[static_cast<size_t>(plan.Sources[0])].Start.Header.SamplesPerFrame;
  for (size_t i = 0; i < frames.size();) {
    size_t end = i + 1;
    const bool bridge = frames[i].Source < 0;
    while (end < frames.size() && (frames[end].Source < 0) == bridge &&
           (bridge || (frames[end].Piece == frames[i].Piece &&
                       frames[end].Source == frames[end - 1].Source + 1)))
      ++end;
    TMp3PiecesRun run;
    run.Bridge = bridge;
    const int64_t m = plan.FirstOut + static_cast<int64_t>(i);
    const size_t piece = PieceAt(plan, m * perFrame);
    TMp3PieceSource& source =
        sources[static_cast<size_t>(plan.Sources[std::min(piece, plan.Sources.size() - 1)])];
    if (!bridge) {
      run.Source = plan.Sources[frames[i].Piece];
      run.From = frames[i].Source;
      run.To = frames[end - 1].Source;
    } else {
      run.Request.Header = source.Start.Header.Word;
      run.Request.First = m;
      run.Request.Frames = static_cast<int>(end - i);
      double bytes = 0;
      int counted = 0;
      for (int64_t k = m; k < m + run.Request.Frames; ++k) {
        const size_t p = PieceAt(plan, k * perFrame);
        TMp3FrameIndex& index = *sources[static_cast<size_t>(plan.Sources[p])].Index;
        const int64_t f = k + plan.Offsets[p] / perFrame;
        if (f < 0 || !index.Reach(f)) continue;
        bytes += index.Frame(f).Bytes;
        ++counted;
      }
      run.Request.Kbps = BridgeKbps(source.Start.Header,
                                    counted ? bytes / counted : source.Start.Header.FrameBytes);
      if (end < frames.size()) {
        TMp3PieceSource& next = sources[static_cast<size_t>(plan.Sources[frames[end].Piece])];
        const std::vector<uint8_t> first =
            ReadMp3Frame(*next.Reader, next.Index->Frame(frames[end].Source));
        const auto header = ParseMpegHeader(first);
        if (!header) throw EAuException("The file could not be read");
        const int reach = std::max(0, MainDataBegin(first, *header));
        if (!Mp3BridgeHoldsReservoir(run.Request.Header, run.Request.Kbps,
                                     static_cast<size_t>(reach))) {
          frames[end] = {};
          return false;
        }
        run.Request.Reservoir = Mp3ReservoirBefore(*next.Reader, *next.Index, frames[end].Source,
                                                   static_cast<size_t>(reach));
      }
    }
    plan.Runs.push_back(std::move(run));
    i = end;
  }
  return true;
}

}  // namespace

TMp3PiecesPlan PlanMp3Pieces(std::vector<TMp3PieceSource>& sources,
                             const std::vector<TMp3Piece>& pieces, const TMp3JoinFades& fades) {
  if (pieces.empty() || sources.empty()) throw EAuException("The range holds no sound to keep");
  RequireOneFormat(sources);
  TMp3PiecesPlan plan;
  int64_t lastOut = 0;
  PlaceOutput(sources, pieces, plan, lastOut);
  std::vector<TFrameChoice> frames = ChooseFrames(sources, plan, lastOut, fades);
  while (!MakeRuns(sources, plan, frames)) {
  }
  // Frames of other bit rates among the copied ones make the output's rate vary.
  for (const TMp3PiecesRun& run : plan.Runs)
    if (run.Bridge && !plan.Joins.empty() &&
        run.Request.Kbps != sources[0].Start.Header.Bitrate / 1000)
      plan.Vbr = true;
  return plan;
}

std::vector<int16_t> Mp3JoinedSound(std::vector<TMp3PieceSource>& sources,
                                    const TMp3PiecesPlan& plan, int64_t from, int64_t to,
                                    const TMp3JoinFades& fades) {
  const int channels = sources[static_cast<size_t>(plan.Sources[0])].Start.Header.Channels;
  std::vector<int16_t> sound(static_cast<size_t>(std::max<int64_t>(0, to - from) * channels), 0);
  for (size_t piece = 0; piece < plan.Sources.size(); ++piece) {
    const int64_t lo = std::max(from, piece == 0 ? from : plan.Joins[piece - 1]);
    const int64_t hi = std::min(to, piece < plan.Joins.size() ? plan.Joins[piece] : to);
    if (hi <= lo) continue;
    TMp3PieceSource& source = sources[static_cast<size_t>(plan.Sources[piece])];
    const int64_t offset = plan.Offsets[piece];
    const std::vector<int16_t> decoded =
        DecodeMp3Raw(*source.Reader, *source.Index, channels, lo + offset, hi + offset);
    std::copy(decoded.begin(), decoded.end(),
              sound.begin() + static_cast<std::ptrdiff_t>((lo - from) * channels));
  }
  // The equal-power ramps of the cut's fades: the frame at a join is silent on both sides.
  const auto ramp = [](int64_t index, int64_t length) {
    if (length <= 0 || index >= length) return 1.0;
    if (index < 0) return 0.0;
    return std::sin(std::numbers::pi / 2 * static_cast<double>(index) /
                    static_cast<double>(length));
  };
  if (fades.In <= 0 && fades.Out <= 0) return sound;
  for (int64_t at = from; at < to; ++at) {
    double gain = 1.0;
    for (const int64_t join : plan.Joins)
      gain *= at < join ? ramp(join - 1 - at, fades.Out) : ramp(at - join, fades.In);
    if (gain == 1.0) continue;
    for (int c = 0; c < channels; ++c) {
      int16_t& sample = sound[static_cast<size_t>((at - from) * channels + c)];
      sample = static_cast<int16_t>(std::lround(sample * gain));
    }
  }
  return sound;
}
