// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/kinds/wma_cut_settings.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

struct TBand {
  uint32_t Low, High, Nominal;
};

// Tested in order on the value as the earlier rows left it; they do not overlap.
constexpr std::array<TBand, 6> kBands = {{
    {91, 99, 96},
    {121, 134, 128},
    {146, 179, 160},
    {186, 199, 192},
    {251, 269, 256},
    {311, 329, 320},
}};

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

}  // namespace

std::string SourceFormatLabel(uint32_t bitsPerSecond, uint32_t sampleRate, int channels) {
  uint32_t kbps = bitsPerSecond / 1000;
  for (const TBand& band : kBands)
    if (kbps >= band.Low && kbps <= band.High) kbps = band.Nominal;
  const uint32_t khz = sampleRate / 1000;
  std::string label = std::to_string(kbps) + " kbps, ";
  if (khz < 10) label += " ";
  label += std::to_string(khz) + " kHz, ";
  label += channels > 1 ? "stereo" : "mono";
  return label;
}

int MatchFormatLabel(const std::string& label, const std::vector<std::string>& descriptions) {
  const std::string wanted = Upper(label);
  for (size_t i = 0; i < descriptions.size(); ++i)
    if (Upper(descriptions[i]).find(wanted) != std::string::npos) return static_cast<int>(i);
  return kDefaultWmaFormat;
}
