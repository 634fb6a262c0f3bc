// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <lame/lame.h>

#include "formats/mp3out/library_api.h"

#define TRIMORA_LAME_ENTRY_POINTS(X)   \
  X(lame_, init)                       \
  X(lame_, close)                      \
  X(lame_, set_in_samplerate)          \
  X(lame_, set_out_samplerate)         \
  X(lame_, set_num_channels)           \
  X(lame_, set_mode)                   \
  X(lame_, set_brate)                  \
  X(lame_, set_VBR)                    \
  X(lame_, set_VBR_q)                  \
  X(lame_, set_VBR_mean_bitrate_kbps)  \
  X(lame_, set_VBR_min_bitrate_kbps)   \
  X(lame_, set_VBR_max_bitrate_kbps)   \
  X(lame_, set_disable_reservoir)      \
  X(lame_, set_strict_ISO)             \
  X(lame_, set_error_protection)       \
  X(lame_, set_original)               \
  X(lame_, set_copyright)              \
  X(lame_, set_quality)                \
  X(lame_, set_bWriteVbrTag)           \
  X(lame_, set_write_id3tag_automatic) \
  X(lame_, init_params)                \
  X(lame_, get_framesize)              \
  X(lame_, get_brate)                  \
  X(lame_, get_out_samplerate)         \
  X(lame_, get_version)                \
  X(lame_, get_mode)                   \
  X(lame_, encode_buffer)              \
  X(lame_, encode_buffer_interleaved)  \
  X(lame_, encode_flush)               \
  X(lame_, get_lametag_frame)          \
  X(lame_, get_encoder_delay)          \
  X(lame_, get_encoder_padding)        \
  X(lame_, get_frameNum)               \
  X(get_lame_, short_version)

// The encoder entry points we call, typed from the encoder's own header (the library is
// linked).
struct TLameApi {
  TRIMORA_LAME_ENTRY_POINTS(TRIMORA_API_FIELD)
};

// The process's encoder API.
const TLameApi& LameApi();
