// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

// The encoder's finished tag frame ("Xing" or "Info", with the encoder delay and padding)
// written over the placeholder frame the encoder put at the start of its output.
//
// The placeholder is looked for at the start of the file, or right after an ID3v2 tag
// there. It must be a frame of the same kind as `frame` (same first three header bytes:
// version, layer, bit rate and sample rate) with room for all of `frame`; otherwise the file
// is left untouched and the answer is false, so a wrong name can never damage a file.
bool WriteTagFrameToFile(const std::filesystem::path& path, std::span<const uint8_t> frame);

// Where the audio begins in a file that starts with `head` (its first 10 bytes or fewer):
// after the ID3v2 tag it starts with, or 0.
int64_t AudioStartAfterId3v2(std::span<const uint8_t> head);
