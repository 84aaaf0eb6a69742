// The Ogg Vorbis decoder over a whole file in memory: open, info, reads with looping, seeks.
#include <cstring>

#include "foundation/mem.h"
#include "foundation/oggdec.h"
#include "fuzz.h"
#include "tools/sound_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  uint8_t* block = nullptr;
  if (size) {
    block = static_cast<uint8_t*>(Global_Malloc(size, "fuzz"));
    if (!block) return 0;
    std::memcpy(block, data, size);
  }
  SoundDecoder* d = OGG_OpenMemory("fuzz", block, uint32_t(size), size & 1);
  if (!d) return 0;
  if (d->format->channels < 1 || d->format->channels > 2) __builtin_trap();
  uint32_t a, b, c, e;
  d->info(d, &a, &b, &c, &e);
  const uint8_t* p = nullptr;
  int zeros = 0;
  for (int i = 0; i < 200; i++) {
    int n = Sound_DecoderRead(d, &p, kOggReadBlock);
    if (n > kOggReadBlock) __builtin_trap();
    if (n < 0) break;
    if (n == 0 && ++zeros > 3) break;
    if (i == 50) Sound_DecoderSeek(d, int(size / 2));
  }
  Sound_DecoderFree(&d);
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back(Tool_OggBytes(1, 22050, Tool_Sine(1, 22050, 4000, 440, 0.5), 0.1f, 1));
  seeds.push_back(Tool_OggBytes(2, 8000, Tool_Sine(2, 8000, 2000, 300, 0.5), 0.0f, 2));
}
