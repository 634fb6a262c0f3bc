#pragma once

#include <lame/lame.h>

#include "formats/mp3out/dynamic_library.h"

inline constexpr const char* kLameLibraryName = "libmp3lame.so.0";

// The encoder entry points we call, typed from the encoder's own header; nothing is linked,
// the library is opened at run time so that the program runs without it.
struct TLameApi {
  decltype(&lame_init) init = nullptr;
  decltype(&lame_close) close = nullptr;
  decltype(&lame_set_in_samplerate) set_in_samplerate = nullptr;
  decltype(&lame_set_out_samplerate) set_out_samplerate = nullptr;
  decltype(&lame_set_num_channels) set_num_channels = nullptr;
  decltype(&lame_set_mode) set_mode = nullptr;
  decltype(&lame_set_brate) set_brate = nullptr;
  decltype(&lame_set_VBR) set_VBR = nullptr;
  decltype(&lame_set_VBR_q) set_VBR_q = nullptr;
  decltype(&lame_set_VBR_mean_bitrate_kbps) set_VBR_mean_bitrate_kbps = nullptr;
  decltype(&lame_set_VBR_min_bitrate_kbps) set_VBR_min_bitrate_kbps = nullptr;
  decltype(&lame_set_VBR_max_bitrate_kbps) set_VBR_max_bitrate_kbps = nullptr;
  decltype(&lame_set_disable_reservoir) set_disable_reservoir = nullptr;
  decltype(&lame_set_strict_ISO) set_strict_ISO = nullptr;
  decltype(&lame_set_error_protection) set_error_protection = nullptr;
  decltype(&lame_set_original) set_original = nullptr;
  decltype(&lame_set_copyright) set_copyright = nullptr;
  decltype(&lame_set_quality) set_quality = nullptr;
  decltype(&lame_set_bWriteVbrTag) set_bWriteVbrTag = nullptr;
  decltype(&lame_set_write_id3tag_automatic) set_write_id3tag_automatic = nullptr;
  decltype(&lame_init_params) init_params = nullptr;
  decltype(&lame_get_framesize) get_framesize = nullptr;
  decltype(&lame_get_brate) get_brate = nullptr;
  decltype(&lame_get_out_samplerate) get_out_samplerate = nullptr;
  decltype(&lame_get_version) get_version = nullptr;
  decltype(&lame_get_mode) get_mode = nullptr;
  decltype(&lame_encode_buffer) encode_buffer = nullptr;
  decltype(&lame_encode_buffer_interleaved) encode_buffer_interleaved = nullptr;
  decltype(&lame_encode_flush) encode_flush = nullptr;
  decltype(&lame_get_lametag_frame) get_lametag_frame = nullptr;
  decltype(&lame_get_encoder_delay) get_encoder_delay = nullptr;
  decltype(&lame_get_encoder_padding) get_encoder_padding = nullptr;
  decltype(&lame_get_frameNum) get_frameNum = nullptr;
  decltype(&get_lame_short_version) short_version = nullptr;
};

// The encoder library; the sink's constructor and each run ask for it (Load).
class TLameLibrary : public TLibraryApi<TLameApi> {
 public:
  explicit TLameLibrary(std::string fileName);
  // The process's instance over kLameLibraryName.
  static TLameLibrary& Instance();
};
