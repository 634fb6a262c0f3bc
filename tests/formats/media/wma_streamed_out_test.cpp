// SPDX-License-Identifier: GPL-3.0-or-later
// The WMA sink serving network clients: real FFmpeg clients on 127.0.0.1 decode what it
// serves; its client events reach the main thread; the client limit, a taken port and Stop.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "formats/media/wma_streamed_out.h"
#include "mp3_test_support.h"
#include "pipeline_test_support.h"
#include "stream_test_support.h"

namespace {

using mp3_test::TPcmIn;
using pipeline_test::PumpUntil;
using namespace stream_test;

// A streamed sink on a free loopback port over `seconds` of a tone, 128 kbps 44 kHz stereo,
// recording its client events and whether each ran on the main thread.
struct TStream {
  explicit TStream(int seconds, uint32_t maxClients = 0) : Source(44100, 2, 44100LL * seconds) {
    Sink.ListenAddress = "127.0.0.1";
    Sink.Port = FreePort();
    Sink.MaxClients = maxClients;
    Sink.CodecIndex = 0;
    Sink.FormatIndex = 29;
    Sink.SetInput(&Source);
    const auto main = std::this_thread::get_id();
    Sink.OnClientConnected = [this, main](TComponent*, uint32_t client) {
      Connected.push_back(client);
      OffMainThread |= std::this_thread::get_id() != main;
    };
    Sink.OnClientDisconnected = [this, main](TComponent*, uint32_t client) {
      Disconnected.push_back(client);
      OffMainThread |= std::this_thread::get_id() != main;
    };
    Sink.OnThreadException = [this](TComponent*) { Error = Sink.ExceptionMessage(); };
  }
  // Starts the run and waits until the port listens (or the run failed).
  bool Start() {
    Sink.Run();
    return PumpUntil([&] { return PortTaken(Sink.Port) || !Error.empty(); }) && Error.empty();
  }

  TPcmIn Source;
  TWMStreamedOut Sink;
  std::vector<uint32_t> Connected, Disconnected;
  bool OffMainThread = false;
  std::string Error;
};

TEST(WMStreamedOut, TwoClientsDecodeTheStreamAndTheirEventsArriveOnTheMainThread) {
  TStream stream(30);
  ASSERT_TRUE(stream.Start()) << stream.Error;
  TTempFolder folder;
  TFFmpegClient first(stream.Sink.Port, folder / "first.wav", 2.0);
  ASSERT_TRUE(PumpUntil([&] { return stream.Connected.size() == 1; }));
  // Joins a stream already under way: it must get the header before its first packet.
  TFFmpegClient second(stream.Sink.Port, folder / "second.wav", 1.0);
  ASSERT_TRUE(PumpUntil([&] { return stream.Disconnected.size() == 2; }));
  EXPECT_EQ(first.Wait(), 0);
  EXPECT_EQ(second.Wait(), 0);
  stream.Sink.Stop();

  EXPECT_EQ(stream.Connected, (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(stream.Disconnected.size(), 2u);
  EXPECT_FALSE(stream.OffMainThread);
  EXPECT_EQ(stream.Sink.ClientCount(), 0u);
  for (const auto* client : {&first, &second}) {
    EXPECT_EQ(ProbeShape(client->Output()), "sample_rate=44100\nchannels=2\n");
    EXPECT_GT(DecodedSeconds(client->Output()), 0.9);
  }
  EXPECT_EQ(stream.Error, "");
  EXPECT_FALSE(PortTaken(stream.Sink.Port)) << "Stop leaves the port free";
}

TEST(WMStreamedOut, ClientsBeyondMaxClientsAreRefused) {
  TStream stream(30, 1);
  ASSERT_TRUE(stream.Start()) << stream.Error;
  TTempFolder folder;
  TFFmpegClient first(stream.Sink.Port, folder / "first.wav", 20.0);
  ASSERT_TRUE(PumpUntil([&] { return stream.Connected.size() == 1; }));
  TFFmpegClient refused(stream.Sink.Port, folder / "refused.wav", 1.0);
  EXPECT_NE(refused.Wait(), 0);
  stream.Sink.Stop();  // the first client sees its stream end
  EXPECT_EQ(first.Wait(), 0);
  EXPECT_EQ(stream.Connected.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(refused.Output()) && DecodedSeconds(refused.Output()) > 0);
}

TEST(WMStreamedOut, ATakenPortFailsTheRunAndAFinishedStreamFreesIt) {
  TStream holder(1);
  ASSERT_TRUE(holder.Start());
  TStream second(1);
  second.Sink.Port = holder.Sink.Port;
  EXPECT_EQ(mp3_test::RunToEnd(second.Sink),
            "Cannot listen on 127.0.0.1:" + std::to_string(holder.Sink.Port) +
                ": Address already in use");
  // The one-second stream ends by itself, with no client.
  ASSERT_TRUE(PumpUntil([&] { return !holder.Sink.IsBusy(); }));
  EXPECT_EQ(holder.Error, "");
  EXPECT_FALSE(PortTaken(holder.Sink.Port));
}

}  // namespace
