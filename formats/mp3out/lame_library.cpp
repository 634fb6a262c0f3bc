#include "formats/mp3out/lame_library.h"

namespace {

bool FindLameApi(const TDynamicLibrary& library, TLameApi& api) {
  return library.Find("lame_init", api.init) && library.Find("lame_close", api.close) &&
         library.Find("lame_set_in_samplerate", api.set_in_samplerate) &&
         library.Find("lame_set_out_samplerate", api.set_out_samplerate) &&
         library.Find("lame_set_num_channels", api.set_num_channels) &&
         library.Find("lame_set_mode", api.set_mode) &&
         library.Find("lame_set_brate", api.set_brate) &&
         library.Find("lame_set_VBR", api.set_VBR) &&
         library.Find("lame_set_VBR_q", api.set_VBR_q) &&
         library.Find("lame_set_VBR_mean_bitrate_kbps", api.set_VBR_mean_bitrate_kbps) &&
         library.Find("lame_set_VBR_min_bitrate_kbps", api.set_VBR_min_bitrate_kbps) &&
         library.Find("lame_set_VBR_max_bitrate_kbps", api.set_VBR_max_bitrate_kbps) &&
         library.Find("lame_set_disable_reservoir", api.set_disable_reservoir) &&
         library.Find("lame_set_strict_ISO", api.set_strict_ISO) &&
         library.Find("lame_set_error_protection", api.set_error_protection) &&
         library.Find("lame_set_original", api.set_original) &&
         library.Find("lame_set_copyright", api.set_copyright) &&
         library.Find("lame_set_quality", api.set_quality) &&
         library.Find("lame_set_bWriteVbrTag", api.set_bWriteVbrTag) &&
         library.Find("lame_set_write_id3tag_automatic", api.set_write_id3tag_automatic) &&
         library.Find("lame_init_params", api.init_params) &&
         library.Find("lame_get_framesize", api.get_framesize) &&
         library.Find("lame_get_brate", api.get_brate) &&
         library.Find("lame_get_out_samplerate", api.get_out_samplerate) &&
         library.Find("lame_get_version", api.get_version) &&
         library.Find("lame_get_mode", api.get_mode) &&
         library.Find("lame_encode_buffer", api.encode_buffer) &&
         library.Find("lame_encode_buffer_interleaved", api.encode_buffer_interleaved) &&
         library.Find("lame_encode_flush", api.encode_flush) &&
         library.Find("lame_get_lametag_frame", api.get_lametag_frame) &&
         library.Find("lame_get_encoder_delay", api.get_encoder_delay) &&
         library.Find("lame_get_encoder_padding", api.get_encoder_padding) &&
         library.Find("lame_get_frameNum", api.get_frameNum) &&
         library.Find("get_lame_short_version", api.short_version);
}

}  // namespace

TLameLibrary::TLameLibrary(std::string fileName)
    : TLibraryApi(std::move(fileName), FindLameApi) {}

TLameLibrary& TLameLibrary::Instance() {
  static TLameLibrary instance(kLameLibraryName);
  return instance;
}
