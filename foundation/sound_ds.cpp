#include "foundation/sound_ds.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "foundation/log.h"
#include "foundation/var.h"
#include "platform/audio_openal.h"

static VarRecord g_soundDisable = {"sound_disable", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS, 0, "", 0, nullptr};
static VarRecord g_soundEax = {"sound_eax", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS, 0, "", 0, nullptr};
static VarRecord g_soundEaxEffects = {"sound_eax_effects", 0, VAR_NUMERIC, 0, "", 0, nullptr};

// Registered by the sound API; read here for whether sound and the reverb environment are on.
static VarRecord* g_disableVar = &g_soundDisable;
static VarRecord* g_eaxVar = &g_soundEax;
static VarRecord* g_eaxEffectsVar = &g_soundEaxEffects;

static struct {
  int up;
  int eaxLoaded;
  uint32_t nextHandle;
  float masterVolume;
  SoundVoice voices[kSoundVoices];
} g_ds = {0, 0, 1, 1.0f, {}};

// Silence for topping up streamed voices after their data has ended.
static uint8_t g_silence16[65536];
static uint8_t g_silence8[65536];
static int g_silenceReady;

void DSError(int code, const char* text) {
  const char* name;
  switch (code) {
    case AUDIO_OK: name = "DS_OK: "; break;
    case AUDIO_ERR_NODEVICE: name = "DSERR_NODRIVER: "; break;
    case AUDIO_ERR_CONTEXT: name = "DSERR_GENERIC: "; break;
    case AUDIO_ERR_INVALIDPARAM: name = "DSERR_INVALIDPARAM: "; break;
    case AUDIO_ERR_INVALIDCALL: name = "DSERR_INVALIDCALL: "; break;
    case AUDIO_ERR_OUTOFMEMORY: name = "DSERR_OUTOFMEMORY: "; break;
    case AUDIO_ERR_UNSUPPORTED: name = "DSERR_UNSUPPORTED: "; break;
    default: name = "Unknown Error: "; break;
  }
  Log_Printf("DSError: %s%s [%x]\n", name, text ? text : "", unsigned(code));
}

static float VarValue(const char* name, float fallback) {
  VarRecord* r = Var_Find(name);
  return r ? r->value : fallback;
}

static bool FormatUsable(const SoundDecoder* d) {
  if (!d || !d->format || d->formatSize < 16) return false;
  const SoundFormat* f = d->format;
  return f->formatTag == 1 && (f->channels == 1 || f->channels == 2) &&
         (f->bitsPerSample == 8 || f->bitsPerSample == 16) && f->samplesPerSec > 0;
}

static int FrameBytes(const SoundVoice* v) {
  return int(v->decoder->format->channels) * (v->decoder->format->bitsPerSample / 8);
}

// Environments 0, 1 and 2 of "sound_eax_effects": padded cell, bathroom, forest; others: none.
static int EnvironmentSetting() {
  float e = g_eaxEffectsVar->value;
  return (e == 0.0f) ? 0 : (e == 1.0f) ? 1 : (e == 2.0f) ? 2 : -1;
}

void DSInit(int stage) {
  if (stage == 0) {
    g_disableVar = Var_Register(&g_soundDisable);
    g_eaxVar = Var_Register(&g_soundEax);
    g_eaxEffectsVar = Var_Register(&g_soundEaxEffects);
    return;
  }
  if (stage != 1 || g_ds.up) return;
  for (auto& v : g_ds.voices) v = SoundVoice{};
  if (g_disableVar->value != 0) return;
  int r = Audio_Open();
  if (r != AUDIO_OK) {
    DSError(r, r == AUDIO_ERR_NODEVICE ? "Unable create DirectSound." : "Unable create primary buffer.");
    return;
  }
  g_ds.eaxLoaded = 0;
  if (g_eaxVar->value != 0) {
    if (Audio_HasEffects()) Audio_SetReverb(EnvironmentSetting());
    if (Audio_HasEffects()) {
      g_ds.eaxLoaded = 1;
      DSError(0, "Success load EAX.DLL.");
    } else {
      // No environment reverb on this device: plain output.
      DSError(0, "Unable load EAX.DLL.");
    }
  }
  g_ds.up = 1;
  g_ds.masterVolume = 1.0f;
  Log_Printf("DSInit: OK.\n");
}

void DS_Shutdown() {
  if (g_ds.up) {
    // Voices the sound API has not stopped still own their decoders.
    for (auto& v : g_ds.voices)
      if (v.handle) {
        Sound_DecoderFree(&v.decoder);
        DS_ReleaseVoice(&v);
      }
  }
  Audio_Close();
  g_ds.up = 0;
  g_ds.eaxLoaded = 0;
}

int DS_IsUp() { return g_ds.up; }
int DS_IsEaxLoaded() { return g_ds.eaxLoaded; }
int DS_VoiceCount() { return kSoundVoices; }

uint32_t DS_VoiceHandle(int slot) {
  if (slot < 0 || slot >= kSoundVoices) return 0;
  return g_ds.voices[slot].handle;
}

SoundVoice* DS_VoiceAt(int slot) {
  if (slot < 0 || slot >= kSoundVoices) return nullptr;
  return &g_ds.voices[slot];
}

SoundVoice* DS_FindVoice(uint32_t handle) {
  if (!handle) return nullptr;
  for (auto& v : g_ds.voices)
    if (v.handle == handle) return &v;
  return nullptr;
}

uint32_t DS_CreateVoice(uint32_t flags, uint32_t bufferBytes, SoundDecoder* decoder) {
  if (!g_ds.up) return 0;
  SoundVoice* v = nullptr;
  for (auto& s : g_ds.voices)
    if (!s.handle) {
      v = &s;
      break;
    }
  if (!v) return 0;
  if (!FormatUsable(decoder) || bufferBytes == 0) {
    DSError(AUDIO_ERR_INVALIDPARAM, "Unable create secondary buffer.");
    return 0;
  }
  *v = SoundVoice{};
  v->decoder = decoder;
  v->flags = flags & (SOUND_STATIC | SOUND_LOOP | SOUND_POSITIONAL);
  v->bufferBytes = bufferBytes;
  if ((v->flags & SOUND_STATIC) && !(v->flags & SOUND_LOOP)) {
    v->endMark = bufferBytes;
    v->flags |= SOUND_ENDED;
  }
  int r = Audio_CreateSource(&v->source);
  if (r != AUDIO_OK) {
    DSError(r, "Unable create secondary buffer.");
    *v = SoundVoice{};
    return 0;
  }
  v->handle = g_ds.nextHandle++;
  if ((v->flags & SOUND_POSITIONAL) && g_ds.eaxLoaded) Audio_SetReverbSend(v->source, 1);
  return v->handle;
}

void DS_ReleaseVoice(SoundVoice* v) {
  if (!v || !v->handle) return;
  if (v->source) Audio_DeleteSource(v->source);
  *v = SoundVoice{};
}

static void MakeSilence() {
  if (g_silenceReady) return;
  std::memset(g_silence16, 0, sizeof g_silence16);
  std::memset(g_silence8, 0x80, sizeof g_silence8);
  g_silenceReady = 1;
}

// Brings the streamed voice's played total up to date from the buffers the source has finished
// and the play offset within the rest. The count never runs backwards and never aliases.
static void AccountStreamed(SoundVoice* v) {
  uint64_t done = Audio_UnqueueProcessed(v->source);
  uint32_t offset = Audio_ByteOffset(v->source);
  int64_t step = int64_t(done) + int64_t(offset) - int64_t(v->lastPlayCursor);
  v->lastPlayCursor = int32_t(offset);
  if (step > 0) v->playedTotal += step;
}

void DS_WriteVoice(SoundVoice* v, const void* data, int count) {
  if (!v || !v->handle || !data || count <= 0) return;
  const SoundFormat* f = v->decoder->format;
  int frame = FrameBytes(v);
  if (v->flags & SOUND_STATIC) {
    uint32_t bytes = uint32_t(count) - uint32_t(count) % uint32_t(frame);
    int r = bytes ? Audio_SetStaticData(v->source, data, bytes, f->channels, f->bitsPerSample,
                                        int(f->samplesPerSec), (v->flags & SOUND_LOOP) ? 1 : 0)
                  : AUDIO_ERR_INVALIDPARAM;
    if (r != AUDIO_OK) DSError(r, "Unable lock secondary buffer.");
  } else {
    int state = Audio_State(v->source);
    // A source that ran dry has stopped: count what it played before queueing more.
    if (state == AUDIO_STOPPED) AccountStreamed(v);
    int whole = count - count % frame;
    int r = AUDIO_OK;
    if (whole > 0) r = Audio_QueueData(v->source, data, uint32_t(whole), f->channels, f->bitsPerSample, int(f->samplesPerSec));
    if (r == AUDIO_OK && whole < count) {
      // A trailing part of a sample frame: padded to a whole frame.
      uint8_t last[8];
      std::memset(last, f->bitsPerSample == 8 ? 0x80 : 0, sizeof last);
      std::memcpy(last, static_cast<const uint8_t*>(data) + whole, size_t(count - whole));
      r = Audio_QueueData(v->source, last, uint32_t(frame), f->channels, f->bitsPerSample, int(f->samplesPerSec));
    }
    if (r != AUDIO_OK) DSError(r, "Unable lock secondary buffer.");
    if ((v->flags & SOUND_STARTED) && !(v->flags & (SOUND_PAUSED | SOUND_PLAYPENDING)) &&
        Audio_State(v->source) != AUDIO_PLAYING) {
      int pr = Audio_Play(v->source);
      if (pr != AUDIO_OK) DSError(pr, "Unable play secondary buffer.");
    }
  }
  int64_t cursor = int64_t(v->writeCursor) + count;
  while (cursor >= int64_t(v->bufferBytes)) cursor -= v->bufferBytes;
  v->writeCursor = int32_t(cursor);
}

// Writes `count` bytes of silence into a streamed voice.
static void WriteSilence(SoundVoice* v, int64_t count) {
  MakeSilence();
  const uint8_t* zero = v->decoder->format->bitsPerSample == 8 ? g_silence8 : g_silence16;
  while (count > 0) {
    int n = count > int64_t(sizeof g_silence16) ? int(sizeof g_silence16) : int(count);
    DS_WriteVoice(v, zero, n);
    count -= n;
  }
}

void DS_UpdateVoicePosition(SoundVoice* v) {
  if (!v || !v->handle) return;
  if (!(v->flags & SOUND_STATIC)) {
    AccountStreamed(v);
    return;
  }
  if (v->flags & SOUND_PLAYPENDING) return;
  int state = Audio_State(v->source);
  // Played out by itself (a paused source stays paused, not stopped).
  if (state == AUDIO_STOPPED || (state == AUDIO_INITIAL && !(v->flags & SOUND_PAUSED))) {
    v->playedTotal = v->endMark;
    return;
  }
  if (state == AUDIO_INITIAL) return;
  int32_t cursor = int32_t(Audio_ByteOffset(v->source));
  int64_t step = int64_t(cursor) - v->lastPlayCursor;
  if (step < -int64_t(v->bufferBytes / 2)) step += v->bufferBytes;
  if (step > 0) {
    v->lastPlayCursor = cursor;
    v->playedTotal += step;
  }
}

int DS_GetVoicePosition(uint32_t handle, int64_t* written, int64_t* played, uint32_t* length, uint32_t* bits,
                        uint32_t* channels, uint32_t* rate) {
  SoundVoice* v = DS_FindVoice(handle);
  if (!v || !v->decoder || !v->decoder->format || v->decoder->format->formatTag != 1) return 0;
  const SoundFormat* f = v->decoder->format;
  uint32_t len = v->decoder->dataSize;
  int64_t w = v->writtenTotal, p = v->playedTotal;
  if (len) {
    w %= len;
    p %= len;
  }
  if (written) *written = w;
  if (played) *played = p;
  if (length) *length = len;
  if (bits) *bits = f->bitsPerSample;
  if (channels) *channels = f->channels;
  if (rate) *rate = f->samplesPerSec;
  return 1;
}

void DS_Play(SoundVoice* v) {
  if (!v || !v->handle) return;
  int state = Audio_State(v->source);
  // A static one-shot that has played out is not started again.
  bool finished = (v->flags & SOUND_STATIC) && !(v->flags & SOUND_LOOP) && (v->flags & SOUND_STARTED) &&
                  state == AUDIO_STOPPED;
  if (state != AUDIO_PLAYING && !finished) {
    int r = Audio_Play(v->source);
    if (r != AUDIO_OK) {
      DSError(r, "Unable play secondary buffer.");
      return;
    }
  }
  v->flags &= ~uint32_t(SOUND_PLAYPENDING | SOUND_PAUSED);
  v->flags |= SOUND_STARTED;
}

void DS_Stop(SoundVoice* v) {
  if (!v || !v->handle) return;
  v->flags &= ~uint32_t(SOUND_PLAYPENDING);
  v->flags |= SOUND_PAUSED;
  if (Audio_State(v->source) == AUDIO_PLAYING) Audio_Pause(v->source);
}

void DS_Rewind(SoundVoice* v) {
  if (!v || !v->handle) return;
  if (v->flags & SOUND_STATIC) {
    Audio_RewindStatic(v->source);
  } else {
    Audio_UnqueueAll(v->source);
    // The data starts again: a streamed voice that had ended is fed anew.
    v->flags &= ~uint32_t(SOUND_ENDED);
    v->endMark = 0;
  }
  v->writeCursor = 0;
  v->lastPlayCursor = 0;
  v->writtenTotal = 0;
  v->playedTotal = 0;
}

int DS_VolumeToAttenuation(uint32_t category, float volume) {
  if (volume <= 0) return -10000;
  double v = volume;
  switch (category) {
    case SOUND_CAT_EFFECTS: v = double(VarValue("sound_fxvolume", 1.0f)) * g_ds.masterVolume * volume; break;
    case SOUND_CAT_VOICES: v = double(VarValue("sound_voicevolume", 1.0f)) * g_ds.masterVolume * volume; break;
    case SOUND_CAT_MUSIC: v = double(VarValue("sound_musicvolume", 1.0f)) * g_ds.masterVolume * volume; break;
    default: break;
  }
  if (!(v > 0)) return -10000;
  double a = std::trunc(1000.0 * std::log2(v));
  if (a > 0) return 0;
  if (a < -10000) return -10000;
  return int(a);
}

float DS_AttenuationToGain(int millibels) {
  if (millibels <= -10000) return 0.0f;
  if (millibels >= 0) return 1.0f;
  return float(std::pow(10.0, millibels / 2000.0));
}

void DS_SetVolume(SoundVoice* v, float volume) {
  if (!v || !v->handle) return;
  int r = Audio_SetGain(v->source, DS_AttenuationToGain(DS_VolumeToAttenuation(v->category, volume)));
  if (r != AUDIO_OK) DSError(r, "Unable set volume.");
}

void DS_SetFrequency(SoundVoice* v, uint32_t samplesPerSec) {
  if (!v || !v->handle) return;
  // 0 is the sound's own rate.
  float pitch = samplesPerSec ? float(double(samplesPerSec) / v->decoder->format->samplesPerSec) : 1.0f;
  int r = Audio_SetPitch(v->source, pitch);
  if (r != AUDIO_OK) DSError(r, "Unable set frequency.");
}

void DS_SetParams(SoundVoice* v, float volume, float minDistance, const float* position, const float* velocity) {
  if (!v || !v->handle) return;
  DS_SetVolume(v, volume);
  if (!(v->flags & SOUND_POSITIONAL)) return;
  const float zero[3] = {0, 0, 0};
  float pos[3] = {0, 0, 0};
  if (position)
    for (int i = 0; i < 3; i++) pos[i] = position[i] / 32.0f;
  // Distances stay in the caller's units; a minimum distance that is not positive is 1.
  float minD = minDistance > 0 ? minDistance : 1.0f;
  int r = Audio_Set3D(v->source, position ? 0 : 1, pos, velocity ? velocity : zero, minD, 1e9f);
  if (r != AUDIO_OK) DSError(r, "Unable set all parameters.");
}

void DS_SetMasterVolume(float volume) {
  if (g_ds.up) g_ds.masterVolume = volume;
}

float DS_GetMasterVolume() { return g_ds.masterVolume; }

void DS_SetListener(const float position[3], const float forward[3], const float up[3]) {
  if (!g_ds.up) return;
  if (g_ds.eaxLoaded) Audio_SetReverb(EnvironmentSetting());
  float pos[3] = {position[0] / 32.0f, position[1] / 32.0f, position[2] / 32.0f};
  Audio_SetListener(pos, forward, up);
  int r = Audio_Commit();
  if (r != AUDIO_OK) DSError(r, "Unable CommitDeferredSettings.");
}

// Used by the sound API to top up a streamed voice with silence after its end.
void DS_WriteSilence(SoundVoice* v, int64_t count) {
  if (!v || !v->handle || count <= 0) return;
  WriteSilence(v, count);
}
