// SPDX-License-Identifier: GPL-3.0-or-later
// The sound-device output of the player, over Qt Multimedia's audio sink. Everything here runs
// on the application's thread: the sink pulls from the buffer through its own timer there.
#include <QAudioDevice>
#include <QAudioSink>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/media_play_output.h"
#include "platform/media_player.h"

namespace trimora::media {
namespace {

// The buffer seen as a sequential device the sink reads from.
class TBufferDevice final : public QIODevice {
 public:
  void Attach(TPlayBuffer* buffer) {
    FBuffer = buffer;
    FPulled = 0;
  }
  bool isSequential() const override { return true; }
  // Bytes the sink has taken so far.
  int64_t Pulled() const { return FPulled; }

 protected:
  qint64 readData(char* data, qint64 size) override {
    if (FBuffer == nullptr || size <= 0) return 0;
    const auto read = static_cast<qint64>(
        FBuffer->Read(reinterpret_cast<uint8_t*>(data), static_cast<size_t>(size)));
    FPulled += read;
    return read;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  TPlayBuffer* FBuffer = nullptr;
  int64_t FPulled = 0;
};

class TDeviceOutput final : public IPlayOutput {
 public:
  explicit TDeviceOutput(const QAudioDevice& device) : FDevice(device) {}
  ~TDeviceOutput() override { Stop(); }

  TPlayFormat Accept(TPlayFormat wanted) override {
    if (FDevice.isFormatSupported(QtFormat(wanted))) return wanted;
    const QAudioFormat preferred = FDevice.preferredFormat();
    return {preferred.sampleRate() > 0 ? preferred.sampleRate() : 48000,
            std::clamp(preferred.channelCount(), 1, 2)};
  }

  void Start(TPlayBuffer& buffer, TPlayFormat format) override {
    Stop();
    FBuffer = &buffer;
    FFormat = format;
    FSource.Attach(&buffer);
    FSource.open(QIODevice::ReadOnly);
    FSink = std::make_unique<QAudioSink>(FDevice, QtFormat(format));
    // A fifth of a second: the cursor and a pause follow the sound closely.
    FSink->setBufferSize(format.Rate / 5 * format.FrameBytes());
    FSink->start(&FSource);
    if (FSink->error() != QAudio::NoError) {
      Stop();
      throw EMediaPlayerError("the sound device cannot start");
    }
  }
  void Pause() override {
    if (FSink) FSink->suspend();
  }
  void Resume() override {
    if (FSink) FSink->resume();
  }
  void Stop() override {
    if (FSink) FSink->stop();
    FSink.reset();
    FSource.close();
    FSource.Attach(nullptr);
    FBuffer = nullptr;
  }
  int64_t FramesPlayed() const override {
    return FSink ? FSink->processedUSecs() * FFormat.Rate / 1000000 : 0;
  }
  // The sink idles once it runs dry; it may also keep asking, so having handed on all it
  // took counts as the end too.
  bool Finished() const override {
    if (!FSink || FSink->state() == QAudio::StoppedState) return true;
    return FBuffer->Drained() && (FSink->state() == QAudio::IdleState ||
                                  FramesPlayed() >= FSource.Pulled() / FFormat.FrameBytes());
  }

 private:
  static QAudioFormat QtFormat(TPlayFormat format) {
    QAudioFormat result;
    result.setSampleRate(format.Rate);
    result.setChannelCount(format.Channels);
    result.setSampleFormat(QAudioFormat::Int16);
    return result;
  }

  QAudioDevice FDevice;
  TBufferDevice FSource;
  std::unique_ptr<QAudioSink> FSink;
  TPlayBuffer* FBuffer = nullptr;
  TPlayFormat FFormat;
};

}  // namespace

std::unique_ptr<IPlayOutput> MakeDeviceOutput(std::string& whyNot) {
  const char* silent = std::getenv("TRIMORA_SILENT_AUDIO");
  if (silent != nullptr && std::strcmp(silent, "1") == 0) {
    whyNot = "TRIMORA_SILENT_AUDIO is 1";
    return nullptr;
  }
  if (QCoreApplication::instance() == nullptr) {
    whyNot = "no application is running to drive a sound device";
    return nullptr;
  }
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) {
    whyNot = "no sound output device was found";
    return nullptr;
  }
  return std::make_unique<TDeviceOutput>(device);
}

}  // namespace trimora::media
