// The Ogg Vorbis decoder over a whole file in memory: open, info, reads with looping, seeks.
#include <ogg/ogg.h>

#include <cstring>
#include <vector>

#include "foundation/mem.h"
#include "foundation/oggdec.h"
#include "fuzz.h"
#include "tools/sound_files.h"

// Gives every whole page a correct checksum, so that changed bytes reach the decoder instead of
// being dropped with their page.
static void FixPageChecksums(std::vector<uint8_t>& b) {
  size_t at = 0;
  while (at + 27 <= b.size()) {
    if (std::memcmp(&b[at], "OggS", 4) != 0) {
      at++;
      continue;
    }
    size_t segments = b[at + 26];
    if (at + 27 + segments > b.size()) return;
    size_t body = 0;
    for (size_t i = 0; i < segments; i++) body += b[at + 27 + i];
    size_t header = 27 + segments;
    if (at + header + body > b.size()) return;
    ogg_page page;
    page.header = &b[at];
    page.header_len = long(header);
    page.body = body ? &b[at + header] : nullptr;
    page.body_len = long(body);
    ogg_page_checksum_set(&page);
    at += header + body;
  }
}

static void RunDecoder(const uint8_t* data, size_t size);

// libvorbisfile 1.3.7 loses a few bytes inside ov_open_callbacks when a seekable file fails the
// open part-way (it clears the handle itself, so the caller has nothing left to free). Not ours
// to mend; keep it from stopping the fuzzer on every such file.
extern "C" const char* __lsan_default_suppressions() { return "leak:libvorbisfile.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  RunDecoder(data, size);
  std::vector<uint8_t> fixed(data, data + size);
  FixPageChecksums(fixed);
  if (fixed.size() && std::memcmp(fixed.data(), data, size) != 0) RunDecoder(fixed.data(), fixed.size());
  return 0;
}

static void RunDecoder(const uint8_t* data, size_t size) {
  uint8_t* block = nullptr;
  if (size) {
    block = static_cast<uint8_t*>(Global_Malloc(size, "fuzz"));
    if (!block) return;
    std::memcpy(block, data, size);
  }
  SoundDecoder* d = OGG_OpenMemory("fuzz", block, uint32_t(size), size & 1);
  if (!d) return;
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
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back(Tool_OggBytes(1, 22050, Tool_Sine(1, 22050, 4000, 440, 0.5), 0.1f, 1));
  seeds.push_back(Tool_OggBytes(2, 8000, Tool_Sine(2, 8000, 2000, 300, 0.5), 0.0f, 2));
}
