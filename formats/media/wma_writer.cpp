// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/media/wma_writer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "pipeline/au_exception.h"
#include "pipeline/au_file_stream.h"
#include "platform/media_codec_info.h"
#include "platform/media_metadata.h"

using namespace trimora::media;

namespace {

constexpr uint32_t kProfileVersion = 0x00090000;
constexpr uint32_t kVbrEnabled = 0xFFFFFFFF;

// The runtime statuses that mean the output failed (compared by their low byte).
bool IsErrorStatus(uint32_t status) {
  const uint32_t low = status & 0xFF;
  return low == 0 || low == 9 || low == 26 || low == 30;
}

void Attach(TWmaWriter& w, std::shared_ptr<TAudioStream> sink, void* owner,
            wma_error_handler handler) {
  w.Owner = owner;
  w.ErrorHandler = handler;
  w.FileSink = std::move(sink);
  w.Writer = std::make_unique<TMediaWriter>();
  if (!Succeeded(w.Writer->Open(w.FileSink))) return;
  w.Writer->SetStatusCallback([owner, handler](uint32_t status) {
    if (handler != nullptr && IsErrorStatus(status)) handler(owner, status);
  });
  w.Ok = true;
}

// The first audio input of the writer takes PCM of the source's channels, rate and width.
void DeclareInput(TWmaWriter& w, int channels, int bits, int rate) {
  uint32_t count = 0;
  if (!Succeeded(w.Writer->GetInputCount(count))) return;
  for (uint32_t i = 0; i < count; ++i) {
    TMediaType type;
    if (!Succeeded(w.Writer->GetInputProps(i, type))) continue;
    if (type.MajorType != TMediaMajorType::Audio ||
        type.FormatType != TMediaFormatType::WaveFormatEx)
      continue;
    type.Format = {static_cast<uint16_t>(channels), static_cast<uint32_t>(rate),
                   static_cast<uint16_t>(bits)};
    // A refused input leaves none declared: BeginWriting then fails and the sink says so.
    if (!Succeeded(w.Writer->SetInputProps(i, type))) return;
    const uint32_t blockAlign = static_cast<uint32_t>(bits * channels / 8);
    w.BytesPerSecond = blockAlign * static_cast<uint32_t>(rate);
    w.InputNumber = i;
    return;
  }
}

void UseConfig(TWmaWriter& w, TMediaStreamConfig config, int channels, int bits, int rate) {
  std::unique_ptr<TMediaProfile> profile;
  TMediaProfileManager manager;
  if (!Succeeded(manager.CreateEmptyProfile(kProfileVersion, profile))) return;
  config.StreamNumber = 1;
  config.StreamName = u"NAAudioStream";
  config.ConnectionName = u"NAAudioConnection";
  if (!Succeeded(profile->AddStream(config))) throw EAuException("fff");
  // A refused profile leaves no input to declare: BeginWriting then fails and the sink says so.
  if (!Succeeded(w.Writer->SetProfile(*profile))) return;
  DeclareInput(w, channels, bits, rate);
}

int64_t Distance(int64_t a, int64_t b) {
  return a > b ? a - b : b - a;
}

}  // namespace

void wma_codec_names(std::vector<std::string>& list) {
  TMediaCodecInfo info;
  uint32_t count = 0;
  if (!Succeeded(info.GetCodecInfoCount(TMediaMajorType::Audio, count))) return;
  for (uint32_t i = 0; i < count; ++i) {
    std::u16string name;
    if (Succeeded(info.GetCodecName(TMediaMajorType::Audio, i, name)))
      list.push_back(Utf16ToUtf8(name));
  }
}

void wma_codec_formats(int codec, bool vbr, std::vector<std::string>& list) {
  TMediaCodecInfo info;
  const auto index = static_cast<uint32_t>(codec);
  if (vbr && !Succeeded(info.SetCodecEnumerationSetting(TMediaMajorType::Audio, index,
                                                        "_VBRENABLED", kVbrEnabled)))
    return;
  uint32_t count = 0;
  if (!Succeeded(info.GetCodecFormatCount(TMediaMajorType::Audio, index, count))) return;
  for (uint32_t i = 0; i < count; ++i) {
    TMediaStreamConfig config;
    std::u16string description;
    if (Succeeded(info.GetCodecFormatDesc(TMediaMajorType::Audio, index, i, config, description)))
      list.push_back(Utf16ToUtf8(description));
  }
}

void wma_writer_open_file(TWmaWriter& w, const std::filesystem::path& name, void* owner,
                          wma_error_handler handler) {
  w = TWmaWriter{};
  try {
    w.File = std::make_unique<TAuFileStream>(name, fmCreate);
  } catch (const EAuException&) {
    return;  // refused (the file is open elsewhere, or cannot be made): Ok stays false
  }
  Attach(w, std::make_shared<TAudioStream>(*w.File), owner, handler);
}

void wma_writer_open_stream(TWmaWriter& w, TAuStream& stream, void* owner,
                            wma_error_handler handler) {
  w = TWmaWriter{};
  Attach(w, std::make_shared<TAudioStream>(stream), owner, handler);
}

void wma_writer_open_network(TWmaWriter& w, const std::string& address, uint16_t port,
                             uint32_t maxClients, wma_client_handler onConnect,
                             wma_client_handler onDisconnect, void* owner) {
  w = TWmaWriter{};
  w.Owner = owner;
  w.ConnectHandler = onConnect;
  w.DisconnectHandler = onDisconnect;
  w.NetworkSink = std::make_shared<TMediaNetworkSink>();
  if (maxClients != 0) w.NetworkSink->SetMaxClients(maxClients);
  w.NetworkSink->SetStatusCallback(
      [owner, onConnect, onDisconnect](uint32_t status, uint32_t client) {
        if (status == kMediaStatusClientConnected && onConnect != nullptr) onConnect(owner, client);
        if (status == kMediaStatusClientDisconnected && onDisconnect != nullptr)
          onDisconnect(owner, client);
      });
  if (!Succeeded(w.NetworkSink->Open(address, port)))
    throw EAuException(w.NetworkSink->OpenFailure());
  w.Writer = std::make_unique<TMediaWriter>();
  w.Ok = Succeeded(w.Writer->Open(w.NetworkSink));
}

void wma_writer_use_format(TWmaWriter& w, int channels, int bits, int rate, bool vbr, int codec,
                           int format) {
  if (!w.Writer) return;
  TMediaCodecInfo info;
  uint32_t count = 0;
  if (!Succeeded(info.GetCodecInfoCount(TMediaMajorType::Audio, count))) return;
  if (codec < 0 || static_cast<uint32_t>(codec) >= count) return;
  const auto index = static_cast<uint32_t>(codec);
  if (vbr && !Succeeded(info.SetCodecEnumerationSetting(TMediaMajorType::Audio, index,
                                                        "_VBRENABLED", kVbrEnabled)))
    return;
  TMediaStreamConfig config;
  if (format < 0 || !Succeeded(info.GetCodecFormat(TMediaMajorType::Audio, index,
                                                   static_cast<uint32_t>(format), config)))
    return;
  UseConfig(w, config, channels, bits, rate);
}

std::optional<TMediaStreamConfig> wma_writer_find_format(const TWaveFormat& wanted, uint32_t target,
                                                         bool lossless, bool vbr) {
  TMediaCodecInfo info;
  std::optional<TMediaStreamConfig> chosen;
  int64_t bestBitrate = 0;
  int64_t bestQuality = 0;
  int64_t bestRate = 0;
  const int64_t goal = target;
  const int64_t wantedRate = wanted.SamplesPerSec;
  uint32_t codecs = 0;
  if (!Succeeded(info.GetCodecInfoCount(TMediaMajorType::Audio, codecs))) return chosen;
  for (uint32_t codec = 0; codec < codecs; ++codec) {
    if ((lossless || vbr) && !Succeeded(info.SetCodecEnumerationSetting(
                                 TMediaMajorType::Audio, codec, "_VBRENABLED", kVbrEnabled)))
      continue;
    TMediaStreamConfig config;
    for (uint32_t format = 0;
         Succeeded(info.GetCodecFormat(TMediaMajorType::Audio, codec, format, config)); ++format) {
      const TWaveFormat& f = config.Type.Format;
      const int64_t bitrate = config.GetBitrate();
      bool candidate = false;
      if (lossless) {
        candidate = config.Subtype == kWmaLosslessSubtype;
      } else if (vbr) {
        TMediaValue value;
        if (Succeeded(info.GetCodecFormatProp(TMediaMajorType::Audio, codec, format, "_VBRQUALITY",
                                              value)) &&
            std::holds_alternative<uint32_t>(value)) {
          const int64_t quality = std::get<uint32_t>(value);
          candidate = Distance(goal, quality) < Distance(goal, bestQuality);
          if (candidate) bestQuality = quality;
        }
      } else {
        candidate = Distance(bitrate, goal) < Distance(bestBitrate, goal);
      }
      if (!candidate) continue;
      if ((lossless || vbr) && !chosen) chosen = config;
      if (f.Channels == wanted.Channels && f.BitsPerSample == wanted.BitsPerSample &&
          Distance(f.SamplesPerSec, wantedRate) <= Distance(bestRate, wantedRate)) {
        bestBitrate = (lossless || vbr) ? 0 : bitrate;
        bestRate = f.SamplesPerSec;
        chosen = config;
      }
    }
  }
  return chosen;
}

void wma_writer_use_nearest(TWmaWriter& w, int channels, int bits, uint32_t target, bool vbr,
                            bool lossless, int rate) {
  if (!vbr && target < 1000) target *= 1000;
  const TWaveFormat wanted{static_cast<uint16_t>(channels), static_cast<uint32_t>(rate),
                           static_cast<uint16_t>(bits)};
  const auto config = wma_writer_find_format(wanted, target, lossless, vbr);
  if (!config) throw EAuException("Failed to init codec");
  if (w.Writer) UseConfig(w, *config, channels, bits, rate);
}

void wma_writer_set_attribute(TWmaWriter& w, std::string_view name, const std::u16string& text) {
  // The writer refuses attributes only once writing has begun; the sink sets its tags before.
  if (w.Writer) static_cast<void>(w.Writer->SetAttribute(0, name, text));
}

bool wma_writer_begin(TWmaWriter& w) {
  return w.Writer && Succeeded(w.Writer->BeginWriting());
}

void wma_writer_write(TWmaWriter& w, const uint8_t* bytes, uint32_t count) {
  const double seconds = w.BytesPerSecond > 0 ? double(count) / double(w.BytesPerSecond) : 0.0;
  w.TotalTime += static_cast<uint64_t>(std::llround(seconds / 1e-7));
  ++w.SampleCount;
  const TMediaResult result = w.Writer
                                  ? w.Writer->WriteSample(w.InputNumber, w.TotalTime, bytes, count)
                                  : TMediaResult::Fail;
  if (Succeeded(result)) return;
  // The file's own reason (a full disk) says more than the runtime's code.
  if (w.FileSink && !w.FileSink->WriteError().empty())
    throw EAuException("Failed to write data: " + w.FileSink->WriteError());
  char code[9];
  std::snprintf(code, sizeof code, "%08X", MediaResultCode(result));
  throw EAuException(std::string("Failed to write data: ") + code);
}

bool wma_writer_close(TWmaWriter& w, std::string* reason) {
  bool completed = true;
  if (w.Writer) completed = Succeeded(w.Writer->EndWriting());
  w.Writer.reset();
  if (reason != nullptr && w.FileSink) *reason = w.FileSink->WriteError();
  if (w.NetworkSink) w.NetworkSink->Close();
  w.NetworkSink.reset();
  w.FileSink.reset();
  w.File.reset();
  w.Ok = false;
  return completed;
}
