// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds hostile files to the media runtime's reader: opens them, decodes, seeks and reads
// attributes, so that no file can crash it, hang it or make it read out of bounds.
//
// Two kinds of input. A first byte of 0: the rest is the file. Otherwise the first byte
// picks one of the committed MP3 and WMA fixtures, and the rest is a list of edits to it
// (4-byte offset, 1-byte XOR) and a cut, which reaches deep into valid files from an empty
// corpus.

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "media_test_support.h"

using namespace trimora::media;

namespace {

const std::vector<std::vector<uint8_t>>& Fixtures() {
  static const std::vector<std::vector<uint8_t>> all = [] {
    std::vector<std::vector<uint8_t>> files;
    for (const char* name :
         {"mp3_lame_cbr8_8k_mono_notag.mp3", "mp3_lame_cbr32_22k_mono.mp3",
          "mp3_lame_vbr_notag_32k_stereo.mp3", "mp3_ffmpeg_cbr96_48k_stereo.mp3",
          "wma_v2_24k_16k_mono.wma", "wma_v1_32k_22k_mono.wma", "wma_protected.wma"}) {
      std::ifstream in(std::string(TRIMORA_TEST_DATA) + "/media/" + name, std::ios::binary);
      files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
  }();
  return all;
}

std::vector<uint8_t> Input(const uint8_t* data, size_t size) {
  if (size == 0) return {};
  if (data[0] == 0) return {data + 1, data + size};
  std::vector<uint8_t> file = Fixtures()[data[0] % Fixtures().size()];
  size_t at = 1;
  for (; at + 5 <= size && !file.empty(); at += 5) {
    const uint32_t offset = data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) |
                            (static_cast<uint32_t>(data[at + 3]) << 24);
    file[offset % file.size()] ^= data[at + 4];
  }
  if (at < size && !file.empty()) file.resize(file.size() - data[at] * file.size() / 512);
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMediaSyncReader reader;
  if (!Succeeded(reader.OpenStream(std::make_shared<test::TBytesStream>(Input(data, size)))))
    return 0;
  // The calls only exercise the reader: a refusal is as good an outcome as an answer.
  uint32_t outputs = 0;
  static_cast<void>(reader.GetOutputCount(outputs));
  TMediaType type;
  if (outputs == 0 || !Succeeded(reader.GetOutputProps(0, type))) return 0;
  static_cast<void>(reader.SetOutputProps(0, type));
  static_cast<void>(reader.SetReadStreamSamples(1, false));
  TMediaSample sample;
  for (int i = 0; i < 64 && Succeeded(reader.GetNextSample(1, sample)); ++i) {
  }
  static_cast<void>(reader.SetRange(3000000, 0));
  for (int i = 0; i < 8 && Succeeded(reader.GetNextSample(1, sample)); ++i) {
  }
  TMediaValue value;
  for (const char* name : {"Duration", "Bitrate", "IsVBR", "Author", "WM/Track", "WM/Year"})
    static_cast<void>(reader.GetAttributeByName(0, name, value));
  return 0;
}
