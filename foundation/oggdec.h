// The Ogg Vorbis decoder of the sound API: the compressed file kept in memory and decoded to
// 16-bit PCM through libvorbisfile's callbacks, in blocks of 9216 bytes.
#pragma once
#include <cstdint>

#include "foundation/sound.h"

constexpr int kOggReadBlock = 9216;

// Opens "<name>.ogg" through the file layer.
SoundDecoder* OGGLoad(const char* name, int loop);
SoundDecoder* Sound_OpenOgg(const char* name, int loop);
// A decoder over a whole Ogg Vorbis file in memory: a Global_Malloc block the decoder takes over
// (freed on failure too).
SoundDecoder* OGG_OpenMemory(const char* name, uint8_t* block, uint32_t size, int loop);
