#include "foundation/sound.h"

#include <climits>
#include <cstring>

#include "foundation/log.h"
#include "foundation/oggdec.h"
#include "foundation/sound_ds.h"
#include "foundation/var.h"
#include "foundation/vecmath.h"
#include "foundation/wav.h"

SoundDecoderOpener Sound_WmaDecoderSlot = nullptr;

constexpr uint32_t kVarFlags = VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS;
static VarRecord g_globalVolume = {"sound_globalvolume", 0, kVarFlags, 1.0f, "", 0, nullptr};
static VarRecord g_globalVolume2 = {"sound_globalvolume", 0, kVarFlags, 1.0f, "", 0, nullptr};
static VarRecord g_musicVolume = {"sound_musicvolume", 0, kVarFlags, 1.0f, "", 0, nullptr};
static VarRecord g_voiceVolume = {"sound_voicevolume", 0, kVarFlags, 1.0f, "", 0, nullptr};
static VarRecord g_fxVolume = {"sound_fxvolume", 0, kVarFlags, 1.0f, "", 0, nullptr};
static VarRecord g_revers = {"sound_revers", 0, kVarFlags, 0.0f, "", 0, nullptr};
static VarRecord g_quality = {"sound_quality", 0, kVarFlags, 1.0f, "", 0, nullptr};
// The effective master-volume record (the first registration wins).
static VarRecord* g_master = &g_globalVolume;

constexpr int kRegistrySize = 32;
struct StreamOpenerEntry {
  const char* name;
  SoundStreamOpener open;
};
struct DecoderEntry {
  const char* name;
  SoundDecoderOpener open;
};
static StreamOpenerEntry g_openers[kRegistrySize];
static int g_openerCount;
static DecoderEntry g_decoders[kRegistrySize];
static int g_decoderCount;
static int g_soundUp;

int Sound_IsUp() { return g_soundUp; }

// ---- streams and decoders ----

void Sound_ClearStreamOpeners() { g_openerCount = 0; }
void Sound_ClearDecoders() { g_decoderCount = 0; }

int Sound_RegisterStreamOpener(const char* name, SoundStreamOpener opener) {
  if (!opener || g_openerCount >= kRegistrySize) return 0;
  g_openers[g_openerCount++] = {name, opener};
  return g_openerCount;
}

int Sound_RegisterDecoder(const char* name, SoundDecoderOpener opener) {
  if (!opener || g_decoderCount >= kRegistrySize) return 0;
  g_decoders[g_decoderCount++] = {name, opener};
  return g_decoderCount;
}

SoundStream* Sound_OpenStream(const char* name, int loop, int kind) {
  for (int i = 0; i < g_openerCount; i++) {
    SoundStream* s = g_openers[i].open(name, kind);
    if (s) {
      s->loop = loop;
      s->kind = kind;
      return s;
    }
  }
  return nullptr;
}

SoundDecoder* Sound_OpenDecoder(const char* name, int loop) {
  for (int i = 0; i < g_decoderCount; i++) {
    SoundDecoder* d = g_decoders[i].open(name, loop);
    if (d) return d;
  }
  return nullptr;
}

int Sound_StreamTell(SoundStream* s) { return s ? s->tell(s) : 0; }
SoundStream* Sound_StreamSeek(SoundStream* s, int position) { return s ? s->seek(s, position) : nullptr; }
int Sound_StreamRead(SoundStream* s, const uint8_t** out, int maximum) { return s ? s->read(s, out, maximum) : 0; }

void Sound_StreamFree(SoundStream** s) {
  if (s && *s) (*s)->free(s);
}

int Sound_StreamReadLoop(SoundStream* s, const uint8_t** out, int maximum) {
  if (!s) return 0;
  int n = s->read(s, out, maximum);
  // One rewind at most: a stream that gives nothing even from its start has no data.
  if (n == 0 && s->loop && Sound_StreamTell(s) != 0) {
    s->seek(s, 0);
    n = s->read(s, out, maximum);
  }
  return n;
}

int Sound_DecoderSeek(SoundDecoder* d, int position) { return d ? d->seek(d, position) : 0; }
int Sound_DecoderRead(SoundDecoder* d, const uint8_t** out, int maximum) { return d ? d->read(d, out, maximum) : -1; }

void Sound_DecoderFree(SoundDecoder** d) {
  if (d && *d) (*d)->free(d);
}

int Sound_StreamInit(int stage) {
  if (stage != 1) return 0;
  Sound_ClearStreamOpeners();
  return Sound_RegisterStreamOpener("wav", Stream_Load);
}

int Sound_DecoderInit(int stage) {
  if (stage != 1) return stage - 1;
  Sound_ClearDecoders();
  Sound_RegisterDecoder("wav", Sound_OpenWav);
  Sound_RegisterDecoder("ogg", Sound_OpenOgg);
  if (Sound_WmaDecoderSlot) Sound_RegisterDecoder("wma", Sound_WmaDecoderSlot);
  return g_decoderCount;
}

// ---- voices ----

// Largest request for a voice's decoder: whole sample frames only.
static int RequestSize(const SoundVoice* v, int64_t room) {
  if (room > INT_MAX) room = INT_MAX;
  int frame = 1;
  if (v->decoder && v->decoder->format && v->decoder->formatSize >= 16) {
    frame = v->decoder->format->blockAlign;
    if (frame < 1 || frame > 8) frame = 1;
  }
  return int(room - room % frame);
}

int Sound_ReadVoiceData(SoundVoice* v, const uint8_t** out, int maximum) {
  if (!v || (v->flags & SOUND_ENDED)) return -1;
  if (maximum <= 0) return 0;
  int n = Sound_DecoderRead(v->decoder, out, maximum);
  if (n > 0) {
    if (n > maximum) n = maximum;
    v->writtenTotal += n;
    return n;
  }
  if (n == 0) return 0;
  v->flags |= SOUND_ENDED;
  v->endMark = v->writtenTotal;
  return n;
}

void Sound_RefillVoice(SoundVoice* v) {
  if (!v || !v->handle) return;
  DS_UpdateVoicePosition(v);
  if ((v->flags & SOUND_ENDED) && v->playedTotal >= v->endMark) {
    Sound_Stop(v->handle);
    return;
  }
  if (v->flags & SOUND_STATIC) return;
  int n;
  do {
    int64_t room = v->playedTotal - v->writtenTotal + v->bufferBytes;
    if (room < 1) break;
    const uint8_t* data = nullptr;
    n = Sound_ReadVoiceData(v, &data, RequestSize(v, room));
    if (n > 0 && data) DS_WriteVoice(v, data, n);
    if (n < 0) {
      int64_t silence = v->playedTotal - v->writtenTotal + v->bufferBytes - 4;
      silence = RequestSize(v, silence);
      if (silence > 0) {
        DS_WriteSilence(v, silence);
        v->writtenTotal += silence;
      }
    }
  } while (n > 0);
}

uint32_t Sound_Play(const char* name, float volume, float minDistance, const float* position, uint32_t flags,
                    uint32_t category) {
  if (!g_soundUp || !name || !*name) return 0;
  SoundDecoder* d = Sound_OpenDecoder(name, flags & 1);
  if (!d) return 0;
  uint32_t vflags = flags;
  if (position)
    vflags |= SOUND_POSITIONAL;
  else
    vflags &= ~uint32_t(SOUND_POSITIONAL);
  if (d->data && d->dataSize)
    vflags |= SOUND_STATIC;
  else
    vflags &= ~uint32_t(SOUND_STATIC);
  uint32_t handle;
  SoundVoice* v;
  if (vflags & SOUND_STATIC) {
    handle = DS_CreateVoice(vflags, d->dataSize, d);
    v = DS_FindVoice(handle);
    if (!v) {
      Sound_DecoderFree(&d);
      return 0;
    }
    DS_WriteVoice(v, d->data, int(d->dataSize > uint32_t(INT_MAX) ? INT_MAX : d->dataSize));
  } else {
    handle = DS_CreateVoice(vflags, kSoundRingBytes, d);
    v = DS_FindVoice(handle);
    if (!v) {
      Sound_DecoderFree(&d);
      return 0;
    }
    const uint8_t* data = nullptr;
    int n = Sound_ReadVoiceData(v, &data, RequestSize(v, v->playedTotal - v->writtenTotal + v->bufferBytes));
    if (n > 0 && data) DS_WriteVoice(v, data, n);
  }
  v->category = category;
  const float zero[3] = {0, 0, 0};
  DS_SetParams(v, volume, minDistance, position, zero);
  v->flags |= SOUND_PLAYPENDING;
  return handle;
}

void Sound_Stop(uint32_t handle) {
  SoundVoice* v = DS_FindVoice(handle);
  if (!v) return;
  Sound_DecoderFree(&v->decoder);
  DS_ReleaseVoice(v);
}

void Sound_StopAll() {
  if (!g_soundUp) return;
  for (int i = 0; i < kSoundVoices; i++) {
    uint32_t h = DS_VoiceHandle(i);
    if (h) Sound_Stop(h);
  }
}

void Sound_SetParams(uint32_t handle, float volume, float minDistance, const float* position, const float* velocity) {
  if (SoundVoice* v = DS_FindVoice(handle)) DS_SetParams(v, volume, minDistance, position, velocity);
}

void Sound_SetVolume(uint32_t handle, float volume) {
  if (SoundVoice* v = DS_FindVoice(handle)) DS_SetVolume(v, volume);
}

void Sound_SetFrequency(uint32_t handle, uint32_t samplesPerSec) {
  if (SoundVoice* v = DS_FindVoice(handle)) DS_SetFrequency(v, samplesPerSec);
}

int Sound_GetDecoderInfo(uint32_t handle, uint32_t* a, uint32_t* b, uint32_t* c, uint32_t* d) {
  SoundVoice* v = DS_FindVoice(handle);
  if (!v || !v->decoder) return 0;
  return v->decoder->info(v->decoder, a, b, c, d);
}

int Sound_GetPlayPosition(uint32_t handle, int64_t* written, int64_t* played, uint32_t* length, uint32_t* bits,
                          uint32_t* channels, uint32_t* rate) {
  return DS_GetVoicePosition(handle, written, played, length, bits, channels, rate);
}

void Sound_StopVoice(uint32_t handle) {
  if (SoundVoice* v = DS_FindVoice(handle)) DS_Stop(v);
}

void Sound_PlayVoice(uint32_t handle) {
  if (SoundVoice* v = DS_FindVoice(handle)) DS_Play(v);
}

void Sound_PauseAll() {
  for (int i = 0; i < kSoundVoices; i++)
    if (SoundVoice* v = DS_FindVoice(DS_VoiceHandle(i))) DS_Stop(v);
}

void Sound_ResumeAll() {
  for (int i = 0; i < kSoundVoices; i++)
    if (SoundVoice* v = DS_FindVoice(DS_VoiceHandle(i))) DS_Play(v);
}

void Sound_PauseInBackground() {
  for (int i = 0; i < kSoundVoices; i++) {
    SoundVoice* v = DS_FindVoice(DS_VoiceHandle(i));
    if (!v || (v->flags & (SOUND_PAUSED | SOUND_BACKGROUND))) continue;
    const uint32_t pending = v->flags & SOUND_PLAYPENDING;
    DS_Stop(v);
    v->flags |= SOUND_BACKGROUND | pending;
  }
}

void Sound_ResumeFromBackground() {
  for (int i = 0; i < kSoundVoices; i++) {
    SoundVoice* v = DS_FindVoice(DS_VoiceHandle(i));
    if (!v || !(v->flags & SOUND_BACKGROUND)) continue;
    v->flags &= ~uint32_t(SOUND_BACKGROUND);
    if (v->flags & SOUND_PLAYPENDING)
      v->flags &= ~uint32_t(SOUND_PAUSED);  // the next listener update starts it
    else
      DS_Play(v);
  }
}

void Sound_Seek(uint32_t handle, int position) {
  SoundVoice* v = DS_FindVoice(handle);
  if (!v || !v->decoder) return;
  DS_Rewind(v);
  Sound_DecoderSeek(v->decoder, position);
  Sound_RefillVoice(v);
}

void Sound_Mute() { DS_SetMasterVolume(0.0f); }
void Sound_Unmute() { DS_SetMasterVolume(g_master->value); }
int Sound_MaxVoices() { return kSoundVoices; }
uint32_t Sound_HandleAt(int slot) { return DS_VoiceHandle(slot); }
uint32_t Sound_CheckHandle(uint32_t handle) { return DS_FindVoice(handle) ? handle : 0; }

void Sound_UpdateListener(const float position[3], const float angles[3]) {
  if (!g_soundUp) return;
  for (int i = 0; i < kSoundVoices; i++) {
    SoundVoice* v = DS_FindVoice(DS_VoiceHandle(i));
    if (v && (v->flags & SOUND_PLAYPENDING)) DS_Play(v);
  }
  const float zero[3] = {0, 0, 0};
  const float* a = angles ? angles : zero;
  vec3 ang = {a[0], a[1], a[2]}, forward, right, up;
  Mat_AxesFromAngles(&ang, &forward, &right, &up);
  const float f[3] = {forward.x, forward.y, forward.z}, u[3] = {up.x, up.y, up.z};
  DS_SetListener(position ? position : zero, f, u);
  DS_SetMasterVolume(g_master->value);
}

void Sound_Update() {
  if (!g_soundUp) return;
  for (int i = 0; i < kSoundVoices; i++)
    if (SoundVoice* v = DS_FindVoice(DS_VoiceHandle(i))) Sound_RefillVoice(v);
}

void Sound_Init(int stage) {
  if (stage == 0) {
    g_master = Var_Register(&g_globalVolume);
    g_master = Var_Register(&g_globalVolume2);
    Var_Register(&g_musicVolume);
    Var_Register(&g_voiceVolume);
    Var_Register(&g_fxVolume);
    Var_Register(&g_revers);
    Var_Register(&g_quality);
    return;
  }
  if (stage != 1) return;
  Sound_StreamInit(1);
  Sound_DecoderInit(1);
  if (DS_IsUp()) {
    g_soundUp = 1;
    DS_SetMasterVolume(g_master->value);
  }
}

void Sound_Shutdown() {
  Sound_ClearStreamOpeners();
  Sound_ClearDecoders();
  if (g_soundUp) {
    Sound_StopAll();
    g_soundUp = 0;
  }
}
