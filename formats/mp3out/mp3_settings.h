// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// Channel modes, in the order the encoder numbers them.
enum TMP3Mode { mmStereo, mmJointStereo, mmDual, mmMono };

enum TMP3BitRate {
  mbrAuto,
  mbr32,
  mbr40,
  mbr48,
  mbr56,
  mbr64,
  mbr80,
  mbr96,
  mbr112,
  mbr128,
  mbr144,
  mbr160,
  mbr192,
  mbr224,
  mbr256,
  mbr320
};

enum TMP3Quality { mp3ql0, mp3ql1, mp3ql2, mp3ql3, mp3ql4, mp3ql5, mp3ql6, mp3ql7, mp3ql8, mp3ql9 };

// Kilobits per second of a bit-rate setting; 0 for mbrAuto (the encoder chooses).
constexpr uint32_t MP3BitRateKbps(TMP3BitRate rate) {
  constexpr uint32_t kKbps[] = {0,   32,  40,  48,  56,  64,  80,  96,
                                112, 128, 144, 160, 192, 224, 256, 320};
  const auto index = static_cast<unsigned>(rate);
  return index < sizeof kKbps / sizeof kKbps[0] ? kKbps[index] : 0;
}

// The encoder settings of the MP3 sink, kept apart from the sink so that the routines that
// derive them from a source, and the encoder record built from them, need no running sink.
struct TMP3Settings {
  TMP3BitRate BitRate = mbr128;  // constant bit rate, or the minimum under VBR
  TMP3Mode Mode = mmStereo;
  bool CRC = false;
  bool Copyright = false;  // kept, but never written into the stream (see MakeBeConfig)
  bool Original = true;
  bool EnableBitReservoir = false;
  bool StrictISO = false;
  TMP3Quality VBRQuality = mp3ql0;
  bool EnableVBR = false;
  TMP3BitRate AverageBitrate = mbrAuto;  // anything but mbrAuto selects average bit rate
  TMP3BitRate MaximumBitrate = mbrAuto;  // the maximum under VBR
  // Encoders working at once on a constant-rate stream without the bit reservoir; 0 gives
  // one per core (at most eight), 1 the single encoder of old.
  int Lanes = 0;
};
