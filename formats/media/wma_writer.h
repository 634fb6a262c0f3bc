// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The writer layer between the WMA sink and the media runtime: one record per run and free
// functions on it. It lists the runtime's codecs and formats, builds a one-stream profile
// from a chosen or searched format, declares the sink's PCM, writes header attributes and
// hands the runtime time-stamped samples.
//
// Failures the sink reports are raised as EAuException with the sink's messages.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/media/audio_stream.h"
#include "pipeline/au_stream.h"
#include "platform/media_network_sink.h"
#include "platform/media_profile.h"
#include "platform/media_writer.h"

// Called with the record's owner and the runtime's status when the runtime reports an
// error outside a call's result.
using wma_error_handler = void (*)(void* owner, uint32_t status);
// Called with the record's owner and a client's number (from 1 in each run) when a network
// client connects or goes away; on the network sink's threads.
using wma_client_handler = void (*)(void* owner, uint32_t client);

struct TWmaWriter {
  void* Owner = nullptr;
  std::unique_ptr<trimora::media::TMediaWriter> Writer;
  uint32_t InputNumber = 0;
  uint32_t BytesPerSecond = 0;             // of the declared PCM input
  uint64_t TotalTime = 0;                  // 100 ns: the durations of the samples written so far
  uint64_t SampleCount = 0;                // samples handed to the runtime, empty ones included
  bool Ok = false;                         // the writer and its file sink were made and opened
  std::unique_ptr<TAuStream> File;         // the file sink's own stream, when it made one
  std::shared_ptr<TAudioStream> FileSink;  // what the runtime writes through
  wma_error_handler ErrorHandler = nullptr;
  std::shared_ptr<trimora::media::TMediaNetworkSink> NetworkSink;  // the network variant's
  wma_client_handler ConnectHandler = nullptr;
  wma_client_handler DisconnectHandler = nullptr;
};

// Appends the name of every audio codec of the runtime.
void wma_codec_names(std::vector<std::string>& list);
// Appends the description of every format of `codec`; with `vbr`, of its VBR formats.
void wma_codec_formats(int codec, bool vbr, std::vector<std::string>& list);

// A writer on a new file `name` (replacing one that is not open elsewhere). Resets the
// record first; Ok tells whether it worked.
void wma_writer_open_file(TWmaWriter& w, const std::filesystem::path& name, void* owner,
                          wma_error_handler handler);
// The same on a caller's stream, which must outlive the record's use.
void wma_writer_open_stream(TWmaWriter& w, TAuStream& stream, void* owner,
                            wma_error_handler handler);

// A writer serving its stream over HTTP on `port` of `address` ("0.0.0.0": every
// interface) to at most `maxClients` clients at once (0: no limit). Resets the record
// first. A port that cannot be had raises EAuException saying why ("Cannot listen on
// 127.0.0.1:8080: Address already in use").
void wma_writer_open_network(TWmaWriter& w, const std::string& address, uint16_t port,
                             uint32_t maxClients, wma_client_handler onConnect,
                             wma_client_handler onDisconnect, void* owner);

// Profile from format `format` of codec `codec`, then the PCM input declared. An index out
// of range (or a VBR request, which no codec meets) sets nothing: BeginWriting then fails.
void wma_writer_use_format(TWmaWriter& w, int channels, int bits, int rate, bool vbr, int codec,
                           int format);
// The stream configuration of the format nearest `target` (bits per second, or a VBR
// quality), preferring the wanted channels and sample width and the nearest rate.
std::optional<trimora::media::TMediaStreamConfig> wma_writer_find_format(
    const trimora::media::TWaveFormat& wanted, uint32_t target, bool lossless, bool vbr);
// Search (a target below 1000 means kilobits per second, unless VBR), then profile and PCM
// input as above. "Failed to init codec" when nothing is found.
void wma_writer_use_nearest(TWmaWriter& w, int channels, int bits, uint32_t target, bool vbr,
                            bool lossless, int rate);
void wma_writer_set_attribute(TWmaWriter& w, std::string_view name, const std::u16string& text);
// Starts writing; false when the runtime refuses (no profile or no input).
bool wma_writer_begin(TWmaWriter& w);
// One sample of `count` PCM bytes, stamped with the running total time including its own
// duration. "Failed to write data: " and the file's reason (a full disk), or the runtime's
// 8-digit code, on failure.
void wma_writer_write(TWmaWriter& w, const uint8_t* bytes, uint32_t count);
// Ends writing and releases everything (the network variant: its clients get what was
// written, then the server closes); false when the file could not be completed. `reason`,
// when given, gets the file's reason for a failed write (a full disk), or stays empty.
bool wma_writer_close(TWmaWriter& w, std::string* reason = nullptr);
