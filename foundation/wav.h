// WAV files: the reader of the RIFF/WAVE layout, the whole-file stream opener and the WAV
// decoder of the sound API.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/sound.h"

struct WavInfo {
  SoundFormat format;   // PCM only; extraSize is 0
  uint32_t dataOffset;  // where the samples start in the file
  uint32_t dataSize;    // bytes of whole sample frames present in the file
  uint32_t declaredSize;  // the data chunk's own size field
};

// Reads the header of a whole WAV file in memory: "RIFF", any size, "WAVE", then at once a "fmt "
// chunk (16..256 bytes, PCM, 1-2 channels, 8 or 16 bits, rate 1..384000, block align matching),
// then at once a "data" chunk. A data chunk longer than the file is cut to what is present.
// Returns null on success, else the reason of the refusal.
const char* Wav_Parse(const uint8_t* bytes, size_t size, WavInfo* out);

// The stream opener: reads "<name>.wav" whole through the file layer. Kind 1 only.
SoundStream* Stream_Load(const char* name, int kind);
// A stream over a whole WAV file already in memory (a Global_Malloc block the stream takes over,
// freed on failure too). The name is kept for the log.
SoundStream* Stream_FromMemory(const char* name, uint8_t* block, uint32_t size);
int Stream_Tell(SoundStream* s);
SoundStream* Stream_Seek(SoundStream* s, int position);
int Stream_Read(SoundStream* s, const uint8_t** out, int maximum);
void Stream_Free(SoundStream** s);

// The WAV decoder: the whole PCM data of a stream, played from one static buffer.
SoundDecoder* WAVLoad(const char* name, int loop);
SoundDecoder* Sound_OpenWav(const char* name, int loop);
