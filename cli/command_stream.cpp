// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_stream.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>

#include "cli/cli_args.h"
#include "cli/cli_errors.h"
#include "cli/interrupt.h"
#include "cli/progress_line.h"
#include "cli/run_loop.h"
#include "cutting/kinds/kind_registry.h"
#include "formats/media/wma_streamed_out.h"

const char* const kStreamUsage =
    "Usage: trimora-cli stream FILE --port N [--max-clients K] [--listen ADDRESS]\n"
    "\n"
    "Encodes FILE (of any kind the program reads) as WMA, in the format a cut of it\n"
    "would get, and serves it over HTTP at real-time pace; play it with any player\n"
    "that opens http://HOST:N/. Each client's connection and disconnection is\n"
    "printed. The stream ends with FILE, or on Ctrl-C.\n"
    "\n"
    "Options:\n"
    "  -p, --port N         the port to listen on (required)\n"
    "  --max-clients K      refuse clients beyond K at once (default: no limit)\n"
    "  --listen ADDRESS     the interface to listen on, without a port (default:\n"
    "                       127.0.0.1, this machine only; 0.0.0.0 shares the stream\n"
    "                       with every network this machine is on, without any\n"
    "                       password; :: is every IPv6 interface)\n"
    "  -h, --help           show this help\n";

namespace {

uint32_t ParseNumber(const std::string& option, const std::string& text, uint32_t low,
                     uint32_t high) {
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (text.empty() || text[0] == '-' || *end != '\0' || value < low || value > high)
    throw TUsageError("invalid " + option + " '" + text + "' (expected " + std::to_string(low) +
                      " to " + std::to_string(high) + ")");
  return static_cast<uint32_t>(value);
}

// The address to listen on: a name or a numeric address; an IPv6 one may come in brackets.
// "127.0.0.1:8000" is refused rather than read as a name, since the port is --port's.
std::string ParseListenAddress(const std::string& text) {
  std::string address = text;
  if (address.size() > 2 && address.front() == '[' && address.back() == ']')
    address = address.substr(1, address.size() - 2);
  in6_addr v6{};
  if (address.empty() ||
      (address.find(':') != std::string::npos && inet_pton(AF_INET6, address.c_str(), &v6) != 1))
    throw TUsageError("invalid --listen '" + text +
                      "' (an address without a port: give the port with --port)");
  return address;
}

}  // namespace

int RunStreamCommand(const std::vector<std::string>& args) {
  const TCliArgs parsed({{"--port", "-p", true},
                         {"--max-clients", "", true},
                         {"--listen", "", true},
                         {"--help", "-h", false}},
                        args);
  if (parsed.Has("--help")) {
    std::fputs(kStreamUsage, stdout);
    return kExitOk;
  }
  if (parsed.Positional().size() != 1) throw TUsageError("stream takes one FILE");
  const auto port = parsed.Value("--port");
  if (!port) throw TUsageError("stream needs the port: --port N");

  TWMStreamedOut sink;
  sink.Port = static_cast<uint16_t>(ParseNumber("--port", *port, 1, 65535));
  if (const auto max = parsed.Value("--max-clients"))
    sink.MaxClients = ParseNumber("--max-clients", *max, 1, 0xFFFFFFFF);  // 0 would mean no limit
  if (const auto address = parsed.Value("--listen"))
    sink.ListenAddress = ParseListenAddress(*address);

  TOpenedSource opened = OpenSource(parsed.Positional()[0]);
  sink.SetInput(opened.Source.get());
  // The cut's choice: codec 0 and the format matching the source.
  opened.Kind->ChooseStreamFormat(*opened.Source, sink);
  const auto report = [&sink](const char* what) {
    return [&sink, what](TComponent*, uint32_t client) {
      std::printf("Client %u %s (%u connected)\n", client, what, sink.ClientCount());
      std::fflush(stdout);
    };
  };
  sink.OnClientConnected = report("connected");
  sink.OnClientDisconnected = report("disconnected");
  // Only an address that listens is printed: a port that cannot be had fails the run instead.
  sink.OnListening = [&sink, &parsed](TComponent*) {
    const bool v6 = sink.ListenAddress.find(':') != std::string::npos;
    std::printf("Streaming %s on http://%s%s%s:%u/\n", parsed.Positional()[0].c_str(),
                v6 ? "[" : "", sink.ListenAddress.c_str(), v6 ? "]" : "", unsigned{sink.Port});
    std::fflush(stdout);
  };
  TProgressLine progress("Streaming", true);
  const TRunResult result = RunToCompletion(sink, progress);
  if (result.Signal != 0) return 128 + result.Signal;
  if (!result.Succeeded) throw TCliError(result.Error);
  std::puts("Stream ended");
  return kExitOk;
}
