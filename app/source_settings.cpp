#include "app/source_settings.h"

#include "formats/media/wm_in.h"
#include "formats/wave/wave_in.h"
#include "formats/wave/wave_out.h"

namespace source_settings {

void ReadWholeFile(std::initializer_list<TWaveIn*> waves, std::initializer_list<TWMIn*> decoded) {
  for (TWaveIn* source : waves) {
    source->Loop = false;
    source->EndSample = -1;
  }
  for (TWMIn* source : decoded) {
    source->Loop = false;
    source->EndSample = -1;
    source->SetHighPrecision(false);
    source->SetOutputChannels(cnMonoOrStereo);
  }
}

void WritePlainWave(TWaveOut& sink) {
  sink.SetWavType(wtPCM);
  sink.SetBlockSize(512);
  sink.CreateNonMsHeaders = false;
  sink.SetFileMode(foRewrite);
}

}  // namespace source_settings
