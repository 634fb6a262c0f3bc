// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

// The bytes of the zlib stream `compressed`, which says it inflates to `size` bytes (a
// compressed ID3v2 frame states that size before its data). More than `size` bytes, a
// damaged or cut-off stream, or a `size` that is no size a reader could want gives nothing;
// a stream that ends short of `size` gives what it holds. Nothing beyond `size` bytes is
// ever allocated, so the caller bounds the memory a hostile stream can take.
std::optional<std::vector<std::byte>> InflateZlib(std::span<const std::byte> compressed,
                                                  std::size_t size);
