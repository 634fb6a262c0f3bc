#pragma once

#include <initializer_list>

class TWaveIn;
class TWMIn;
class TWaveOut;

// The stored settings the windows give their components before any run; each run then sets
// only the file and the stretch.
namespace source_settings {

// Sources read their whole file once; the decoding sources at the file's own rate and
// precision, in mono or stereo as the file has it.
void ReadWholeFile(std::initializer_list<TWaveIn*> waves, std::initializer_list<TWMIn*> decoded);

// A plain PCM WAV writer that replaces any file of its name.
void WritePlainWave(TWaveOut& sink);

}  // namespace source_settings
