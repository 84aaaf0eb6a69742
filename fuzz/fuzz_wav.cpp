// The WAV reader and stream: whole files in memory, read through the WAV decoder's stream.
#include <cstring>

#include "foundation/mem.h"
#include "foundation/wav.h"
#include "fuzz.h"
#include "tools/sound_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  WavInfo info;
  if (Wav_Parse(data, size, &info) == nullptr) {
    // The data range lies inside the input and holds whole sample frames.
    if (uint64_t(info.dataOffset) + info.dataSize > size || info.dataSize % info.format.blockAlign) __builtin_trap();
  }
  if (size == 0) return 0;
  auto* block = static_cast<uint8_t*>(Global_Malloc(size, "fuzz"));
  if (!block) return 0;
  std::memcpy(block, data, size);
  SoundStream* s = Stream_FromMemory("fuzz.wav", block, uint32_t(size));
  if (!s) return 0;
  s->loop = 1;
  const uint8_t* p = nullptr;
  uint32_t sum = 0;
  for (int i = 0; i < 8; i++) {
    int n = Sound_StreamReadLoop(s, &p, 1000);
    if (n < 0 || n > 1000) __builtin_trap();
    for (int k = 0; k < n; k++) sum += p[k];
  }
  Sound_StreamSeek(s, int(sum % 3000) - 1000);
  Sound_StreamRead(s, &p, 1 << 20);
  Sound_StreamFree(&s);
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back(Tool_WavBytes(1, 22050, 16, Tool_Sine(1, 22050, 200, 440, 0.5)));
  seeds.push_back(Tool_WavBytes(2, 44100, 8, Tool_Sine(2, 44100, 100, 440, 0.5)));
  seeds.push_back(Tool_WavBytes(2, 11025, 16, {}));
}
