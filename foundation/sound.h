// The sound API: sounds played by name on 32 voices, with categories, volumes, looping and
// streaming; the stream-opener and decoder registries through which sound data arrives.
#pragma once
#include <cstdint>

// The PCM format of a sound (little-endian file layout: 18 bytes).
struct SoundFormat {
  uint16_t formatTag;  // 1 = PCM
  uint16_t channels;
  uint32_t samplesPerSec;
  uint32_t avgBytesPerSec;
  uint16_t blockAlign;
  uint16_t bitsPerSample;
  uint16_t extraSize;
};
constexpr uint32_t kSoundFormatSize = 18;
// A PCM format record for the channels, rate and sample bits.
inline SoundFormat Sound_PcmFormat(int channels, uint32_t rate, int bits) {
  uint16_t align = uint16_t(channels * bits / 8);
  return SoundFormat{1, uint16_t(channels), rate, rate * align, align, uint16_t(bits), 0};
}
constexpr int kSoundNameSize = 256;

// A raw sound source made by a stream opener.
struct SoundStream {
  char name[kSoundNameSize];
  SoundFormat* format;
  uint32_t formatSize;
  uint8_t* data;
  uint32_t dataSize;
  int (*tell)(SoundStream* s);
  SoundStream* (*seek)(SoundStream* s, int position);
  int (*info)(SoundStream* s);
  int (*read)(SoundStream* s, const uint8_t** out, int maximum);
  int (*spare)(SoundStream* s);
  void (*free)(SoundStream** s);
  int loop;
  int kind;
};

// A source of PCM for one voice. Decoders put their own state behind this head.
struct SoundDecoder {
  char name[kSoundNameSize];
  SoundFormat* format;
  uint32_t formatSize;
  uint8_t* data;      // the whole sound, when the decoder holds it (then the voice is static)
  uint32_t dataSize;
  int (*info)(SoundDecoder* d, uint32_t* a, uint32_t* b, uint32_t* c, uint32_t* e);
  int (*seek)(SoundDecoder* d, int position);
  // > 0: bytes delivered at *out; 0: nothing at this call; < 0: the end of the data.
  int (*read)(SoundDecoder* d, const uint8_t** out, int maximum);
  void (*free)(SoundDecoder** d);
};

using SoundStreamOpener = SoundStream* (*)(const char* name, int kind);
using SoundDecoderOpener = SoundDecoder* (*)(const char* name, int loop);

// The third decoder slot, tried after WAV and Ogg Vorbis (the WMA decoder of the video module).
// Set it before Sound_Init stage 1 (Game_Init at stage 0 does); null leaves the slot out.
extern SoundDecoderOpener Sound_WmaDecoderSlot;

// Voice flags.
enum SoundVoiceFlags : uint32_t {
  SOUND_LOOP = 1,
  SOUND_STATIC = 2,       // the whole sound sits in the buffer
  SOUND_POSITIONAL = 8,   // 3D
  SOUND_PLAYPENDING = 16, // started at the next listener update
  SOUND_ENDED = 32,       // the decoder has reported the end of its data
  SOUND_PAUSED = 64,      // stopped by the game: position and totals are kept
  SOUND_STARTED = 128,    // the buffer has been started at least once
  SOUND_BACKGROUND = 256, // paused while the game's window is inactive, to go on when it returns
};

enum SoundCategory : uint32_t { SOUND_CAT_EFFECTS = 0, SOUND_CAT_VOICES = 1, SOUND_CAT_MUSIC = 2 };

struct SoundVoice {
  uint32_t handle;  // 0 = free slot; never reused within a run
  uint32_t flags;
  uint32_t category;
  uint32_t bufferBytes;  // size of the static buffer or of the streaming ring
  uint32_t source;       // the output source (0 = none)
  int32_t writeCursor;
  int32_t lastPlayCursor;
  int64_t writtenTotal;
  int64_t playedTotal;
  int64_t endMark;  // the written total at which the data ended (valid with SOUND_ENDED)
  SoundDecoder* decoder;
};

constexpr int kSoundVoices = 32;
constexpr uint32_t kSoundRingBytes = 1048576;

// Playing and controlling. Every call taking a handle does nothing (or returns 0) for a handle
// no voice holds.
uint32_t Sound_Play(const char* name, float volume, float minDistance, const float* position, uint32_t flags,
                    uint32_t category);
void Sound_Stop(uint32_t handle);
void Sound_StopAll();
void Sound_SetParams(uint32_t handle, float volume, float minDistance, const float* position, const float* velocity);
void Sound_SetVolume(uint32_t handle, float volume);
void Sound_SetFrequency(uint32_t handle, uint32_t samplesPerSec);
int Sound_GetDecoderInfo(uint32_t handle, uint32_t* a, uint32_t* b, uint32_t* c, uint32_t* d);
int Sound_GetPlayPosition(uint32_t handle, int64_t* written, int64_t* played, uint32_t* length, uint32_t* bits,
                          uint32_t* channels, uint32_t* rate);
void Sound_StopVoice(uint32_t handle);
void Sound_PlayVoice(uint32_t handle);
void Sound_PauseAll();
void Sound_ResumeAll();
// The window went inactive: every voice that plays (or waits to start) is paused; on return those
// voices, and only those, go on. Voices the game paused itself stay paused.
void Sound_PauseInBackground();
void Sound_ResumeFromBackground();
void Sound_Seek(uint32_t handle, int position);
void Sound_Mute();
void Sound_Unmute();
int Sound_MaxVoices();
uint32_t Sound_HandleAt(int slot);
uint32_t Sound_CheckHandle(uint32_t handle);
void Sound_UpdateListener(const float position[3], const float angles[3]);
void Sound_Update();
void Sound_Init(int stage);
void Sound_Shutdown();
// 1 while the sound module is up.
int Sound_IsUp();

// Streams and decoders.
SoundStream* Sound_OpenStream(const char* name, int loop, int kind);
SoundDecoder* Sound_OpenDecoder(const char* name, int loop);
int Sound_StreamTell(SoundStream* s);
SoundStream* Sound_StreamSeek(SoundStream* s, int position);
int Sound_StreamRead(SoundStream* s, const uint8_t** out, int maximum);
void Sound_StreamFree(SoundStream** s);
int Sound_StreamReadLoop(SoundStream* s, const uint8_t** out, int maximum);
int Sound_DecoderSeek(SoundDecoder* d, int position);
int Sound_DecoderRead(SoundDecoder* d, const uint8_t** out, int maximum);
void Sound_DecoderFree(SoundDecoder** d);
void Sound_ClearStreamOpeners();
void Sound_ClearDecoders();
int Sound_RegisterStreamOpener(const char* name, SoundStreamOpener opener);
int Sound_RegisterDecoder(const char* name, SoundDecoderOpener opener);
int Sound_StreamInit(int stage);
int Sound_DecoderInit(int stage);

// Internal steps of a voice, open for tests.
int Sound_ReadVoiceData(SoundVoice* v, const uint8_t** out, int maximum);
void Sound_RefillVoice(SoundVoice* v);

// The back end (foundation/sound_ds.cpp).
void DSInit(int stage);
void DS_Shutdown();
