// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3out/be_config.h"

#include <cstring>

namespace {

uint32_t StoredBool(bool value) {
  return value ? BE_TRUE : 0;
}

int32_t ModeFor(const TMP3Settings& settings, int channels) {
  if (channels == 1) return BE_MP3_MODE_MONO;
  // The encoder has no dual-channel mode of its own; it is written as plain stereo.
  if (settings.Mode == mmDual) return BE_MP3_MODE_STEREO;
  return static_cast<int32_t>(settings.Mode);
}

}  // namespace

BE_CONFIG MakeBeConfig(const TMP3Settings& settings, uint32_t sampleRate, int channels) {
  BE_CONFIG config;
  std::memset(&config, 0, sizeof config);
  config.dwConfig = BE_CONFIG_LAME;
  config.dwStructVersion = 1;
  config.dwStructSize = sizeof config;
  config.dwSampleRate = sampleRate;
  config.nMode = ModeFor(settings, channels);
  config.dwBitrate = MP3BitRateKbps(settings.BitRate);
  config.dwMaxBitrate = MP3BitRateKbps(settings.MaximumBitrate);
  config.bCRC = StoredBool(settings.CRC);
  // The copyright bit stays clear whatever Copyright says: the property only records
  // whether the source was protected.
  config.bCopyright = 0;
  config.bOriginal = StoredBool(settings.Original);
  config.bWriteVBRHeader = StoredBool(settings.EnableVBR);
  config.bEnableVBR = StoredBool(settings.EnableVBR);
  config.nVBRQuality = settings.EnableVBR ? static_cast<int32_t>(settings.VBRQuality) : 0;
  // A plain kilobit number here; the encoder binding reads values below 1000 as kbps.
  config.dwVbrAbr_bps = MP3BitRateKbps(settings.AverageBitrate);
  config.nVbrMethod = settings.AverageBitrate != mbrAuto ? VBR_METHOD_ABR : VBR_METHOD_NEW;
  config.bNoRes = settings.EnableBitReservoir ? 0 : BE_TRUE;
  config.bStrictIso = StoredBool(settings.StrictISO);
  config.nQuality = 0;
  return config;
}
