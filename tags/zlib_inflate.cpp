// SPDX-License-Identifier: GPL-3.0-or-later
#include "tags/zlib_inflate.h"

#include <zlib.h>

#include <limits>
#include <memory>

namespace {

struct TInflateEnd {
  void operator()(z_stream* stream) const { inflateEnd(stream); }
};

}  // namespace

std::optional<std::vector<std::byte>> InflateZlib(std::span<const std::byte> compressed,
                                                  std::size_t size) {
  // zlib counts its buffers in unsigned int.
  constexpr std::size_t kMost = std::numeric_limits<uInt>::max() - 1;
  if (compressed.empty() || compressed.size() > kMost || size > kMost) return std::nullopt;
  // One byte more than stated shows a stream that goes on past its size.
  std::vector<std::byte> out(size + 1);
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return std::nullopt;
  const std::unique_ptr<z_stream, TInflateEnd> owner(&stream);
  // zlib's interface is not const-correct; it only reads the input.
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<std::byte*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(compressed.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  if (inflate(&stream, Z_FINISH) != Z_STREAM_END || stream.total_out > size) return std::nullopt;
  out.resize(stream.total_out);
  return out;
}
