#include "platform/audio_openal.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <AL/efx-presets.h>
#include <AL/efx.h>

#include <cstring>
#include <unordered_map>
#include <vector>

namespace {

struct Pending3D {
  int dirty;
  int relative;
  float pos[3], vel[3];
  float refDistance, maxDistance;
};

struct AudioState {
  int useLoopback;
  int loopback;
  ALCdevice* device;
  ALCcontext* context;
  LPALCRENDERSAMPLESSOFT renderSamples;
  LPALDEFERUPDATESSOFT deferUpdates;
  LPALPROCESSUPDATESSOFT processUpdates;
  // Effects extension entry points, loaded when the device has it.
  int hasEffects;
  LPALGENEFFECTS genEffects;
  LPALDELETEEFFECTS deleteEffects;
  LPALEFFECTI effecti;
  LPALEFFECTF effectf;
  LPALEFFECTFV effectfv;
  LPALGENAUXILIARYEFFECTSLOTS genSlots;
  LPALDELETEAUXILIARYEFFECTSLOTS deleteSlots;
  LPALAUXILIARYEFFECTSLOTI slotI;
  ALuint effect, slot;
  int environment;  // -1 none
  // Buffer names ready for reuse, and the byte size of every buffer in a queue.
  std::vector<ALuint> freeBuffers;
  std::unordered_map<ALuint, uint32_t> bufferBytes;
  std::unordered_map<ALuint, Pending3D> pending;
  int listenerDirty;
  float listenerPos[3], listenerOrient[6];
};

AudioState g_audio;

int TranslateError(ALenum e) {
  switch (e) {
    case AL_NO_ERROR: return AUDIO_OK;
    case AL_INVALID_NAME:
    case AL_INVALID_VALUE: return AUDIO_ERR_INVALIDPARAM;
    case AL_INVALID_ENUM: return AUDIO_ERR_UNSUPPORTED;
    case AL_OUT_OF_MEMORY: return AUDIO_ERR_OUTOFMEMORY;
    default: return AUDIO_ERR_INVALIDCALL;
  }
}

int LastError() { return TranslateError(alGetError()); }

ALenum FormatOf(int channels, int bits) {
  if (channels == 1) return bits == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
  return bits == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16;
}

bool ValidFormat(int channels, int bits, int rate) {
  return (channels == 1 || channels == 2) && (bits == 8 || bits == 16) && rate > 0;
}

ALuint TakeBuffer() {
  if (!g_audio.freeBuffers.empty()) {
    ALuint b = g_audio.freeBuffers.back();
    g_audio.freeBuffers.pop_back();
    return b;
  }
  ALuint b = 0;
  alGenBuffers(1, &b);
  if (alGetError() != AL_NO_ERROR) return 0;
  return b;
}

void GiveBackBuffer(ALuint b) {
  g_audio.bufferBytes.erase(b);
  g_audio.freeBuffers.push_back(b);
}

void LoadEffects() {
  g_audio.hasEffects = 0;
  if (!alcIsExtensionPresent(g_audio.device, "ALC_EXT_EFX")) return;
  g_audio.genEffects = reinterpret_cast<LPALGENEFFECTS>(alGetProcAddress("alGenEffects"));
  g_audio.deleteEffects = reinterpret_cast<LPALDELETEEFFECTS>(alGetProcAddress("alDeleteEffects"));
  g_audio.effecti = reinterpret_cast<LPALEFFECTI>(alGetProcAddress("alEffecti"));
  g_audio.effectf = reinterpret_cast<LPALEFFECTF>(alGetProcAddress("alEffectf"));
  g_audio.effectfv = reinterpret_cast<LPALEFFECTFV>(alGetProcAddress("alEffectfv"));
  g_audio.genSlots = reinterpret_cast<LPALGENAUXILIARYEFFECTSLOTS>(alGetProcAddress("alGenAuxiliaryEffectSlots"));
  g_audio.deleteSlots =
      reinterpret_cast<LPALDELETEAUXILIARYEFFECTSLOTS>(alGetProcAddress("alDeleteAuxiliaryEffectSlots"));
  g_audio.slotI = reinterpret_cast<LPALAUXILIARYEFFECTSLOTI>(alGetProcAddress("alAuxiliaryEffectSloti"));
  if (g_audio.genEffects && g_audio.deleteEffects && g_audio.effecti && g_audio.effectf && g_audio.effectfv &&
      g_audio.genSlots && g_audio.deleteSlots && g_audio.slotI)
    g_audio.hasEffects = 1;
}

void LoadPreset(const EFXEAXREVERBPROPERTIES& r) {
  ALuint e = g_audio.effect;
  g_audio.effecti(e, AL_EFFECT_TYPE, AL_EFFECT_EAXREVERB);
  if (alGetError() == AL_NO_ERROR) {
    g_audio.effectf(e, AL_EAXREVERB_DENSITY, r.flDensity);
    g_audio.effectf(e, AL_EAXREVERB_DIFFUSION, r.flDiffusion);
    g_audio.effectf(e, AL_EAXREVERB_GAIN, r.flGain);
    g_audio.effectf(e, AL_EAXREVERB_GAINHF, r.flGainHF);
    g_audio.effectf(e, AL_EAXREVERB_GAINLF, r.flGainLF);
    g_audio.effectf(e, AL_EAXREVERB_DECAY_TIME, r.flDecayTime);
    g_audio.effectf(e, AL_EAXREVERB_DECAY_HFRATIO, r.flDecayHFRatio);
    g_audio.effectf(e, AL_EAXREVERB_DECAY_LFRATIO, r.flDecayLFRatio);
    g_audio.effectf(e, AL_EAXREVERB_REFLECTIONS_GAIN, r.flReflectionsGain);
    g_audio.effectf(e, AL_EAXREVERB_REFLECTIONS_DELAY, r.flReflectionsDelay);
    g_audio.effectfv(e, AL_EAXREVERB_REFLECTIONS_PAN, r.flReflectionsPan);
    g_audio.effectf(e, AL_EAXREVERB_LATE_REVERB_GAIN, r.flLateReverbGain);
    g_audio.effectf(e, AL_EAXREVERB_LATE_REVERB_DELAY, r.flLateReverbDelay);
    g_audio.effectfv(e, AL_EAXREVERB_LATE_REVERB_PAN, r.flLateReverbPan);
    g_audio.effectf(e, AL_EAXREVERB_ECHO_TIME, r.flEchoTime);
    g_audio.effectf(e, AL_EAXREVERB_ECHO_DEPTH, r.flEchoDepth);
    g_audio.effectf(e, AL_EAXREVERB_MODULATION_TIME, r.flModulationTime);
    g_audio.effectf(e, AL_EAXREVERB_MODULATION_DEPTH, r.flModulationDepth);
    g_audio.effectf(e, AL_EAXREVERB_AIR_ABSORPTION_GAINHF, r.flAirAbsorptionGainHF);
    g_audio.effectf(e, AL_EAXREVERB_HFREFERENCE, r.flHFReference);
    g_audio.effectf(e, AL_EAXREVERB_LFREFERENCE, r.flLFReference);
    g_audio.effectf(e, AL_EAXREVERB_ROOM_ROLLOFF_FACTOR, r.flRoomRolloffFactor);
    g_audio.effecti(e, AL_EAXREVERB_DECAY_HFLIMIT, r.iDecayHFLimit);
  } else {
    // Plain reverb on devices without the EAX reverb model.
    g_audio.effecti(e, AL_EFFECT_TYPE, AL_EFFECT_REVERB);
    g_audio.effectf(e, AL_REVERB_DENSITY, r.flDensity);
    g_audio.effectf(e, AL_REVERB_DIFFUSION, r.flDiffusion);
    g_audio.effectf(e, AL_REVERB_GAIN, r.flGain);
    g_audio.effectf(e, AL_REVERB_GAINHF, r.flGainHF);
    g_audio.effectf(e, AL_REVERB_DECAY_TIME, r.flDecayTime);
    g_audio.effectf(e, AL_REVERB_DECAY_HFRATIO, r.flDecayHFRatio);
    g_audio.effectf(e, AL_REVERB_REFLECTIONS_GAIN, r.flReflectionsGain);
    g_audio.effectf(e, AL_REVERB_REFLECTIONS_DELAY, r.flReflectionsDelay);
    g_audio.effectf(e, AL_REVERB_LATE_REVERB_GAIN, r.flLateReverbGain);
    g_audio.effectf(e, AL_REVERB_LATE_REVERB_DELAY, r.flLateReverbDelay);
    g_audio.effectf(e, AL_REVERB_AIR_ABSORPTION_GAINHF, r.flAirAbsorptionGainHF);
    g_audio.effectf(e, AL_REVERB_ROOM_ROLLOFF_FACTOR, r.flRoomRolloffFactor);
    g_audio.effecti(e, AL_REVERB_DECAY_HFLIMIT, r.iDecayHFLimit);
  }
  alGetError();
}

}  // namespace

void Audio_UseLoopback(int on) { g_audio.useLoopback = on ? 1 : 0; }

int Audio_Open() {
  if (g_audio.context) return AUDIO_OK;
  int useLoopback = g_audio.useLoopback;
  g_audio = AudioState{};
  g_audio.useLoopback = useLoopback;
  g_audio.environment = -1;
  if (useLoopback) {
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) return AUDIO_ERR_NODEVICE;
    auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    g_audio.renderSamples =
        reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    if (!open || !g_audio.renderSamples) return AUDIO_ERR_NODEVICE;
    g_audio.device = open(nullptr);
    if (!g_audio.device) return AUDIO_ERR_NODEVICE;
    const ALCint attrs[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT,
                            ALC_FREQUENCY, kAudioOutputRate, ALC_HRTF_SOFT, ALC_FALSE, 0};
    g_audio.context = alcCreateContext(g_audio.device, attrs);
    g_audio.loopback = 1;
  } else {
    g_audio.device = alcOpenDevice(nullptr);
    if (!g_audio.device) return AUDIO_ERR_NODEVICE;
    const ALCint attrs[] = {ALC_FREQUENCY, kAudioOutputRate, 0};
    g_audio.context = alcCreateContext(g_audio.device, attrs);
  }
  if (!g_audio.context || !alcMakeContextCurrent(g_audio.context)) {
    if (g_audio.context) alcDestroyContext(g_audio.context);
    alcCloseDevice(g_audio.device);
    g_audio.context = nullptr;
    g_audio.device = nullptr;
    g_audio.loopback = 0;
    return AUDIO_ERR_CONTEXT;
  }
  if (alIsExtensionPresent("AL_SOFT_deferred_updates")) {
    g_audio.deferUpdates = reinterpret_cast<LPALDEFERUPDATESSOFT>(alGetProcAddress("alDeferUpdatesSOFT"));
    g_audio.processUpdates = reinterpret_cast<LPALPROCESSUPDATESSOFT>(alGetProcAddress("alProcessUpdatesSOFT"));
  }
  // The inverse-distance rule with a clamp below the reference distance, and no Doppler shift.
  alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
  alDopplerFactor(0.0f);
  LoadEffects();
  alGetError();
  return AUDIO_OK;
}

void Audio_Close() {
  if (!g_audio.context) return;
  if (g_audio.slot) g_audio.deleteSlots(1, &g_audio.slot);
  if (g_audio.effect) g_audio.deleteEffects(1, &g_audio.effect);
  for (ALuint b : g_audio.freeBuffers) alDeleteBuffers(1, &b);
  alGetError();
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(g_audio.context);
  alcCloseDevice(g_audio.device);
  int useLoopback = g_audio.useLoopback;
  g_audio = AudioState{};
  g_audio.useLoopback = useLoopback;
  g_audio.environment = -1;
}

int Audio_IsOpen() { return g_audio.context != nullptr; }
int Audio_IsLoopback() { return g_audio.context && g_audio.loopback; }
int Audio_HasEffects() { return g_audio.context && g_audio.hasEffects; }

int Audio_RenderLoopback(float* out, int frames) {
  if (!Audio_IsLoopback() || !out || frames <= 0) return 0;
  g_audio.renderSamples(g_audio.device, out, frames);
  return 1;
}

int Audio_CreateSource(uint32_t* out) {
  *out = 0;
  if (!g_audio.context) return AUDIO_ERR_NODEVICE;
  alGetError();
  ALuint s = 0;
  alGenSources(1, &s);
  int r = LastError();
  if (r != AUDIO_OK) return r;
  alSourcef(s, AL_ROLLOFF_FACTOR, 1.0f);
  alSourcei(s, AL_SOURCE_RELATIVE, AL_TRUE);
  alSource3f(s, AL_POSITION, 0, 0, 0);
  alGetError();
  *out = s;
  return AUDIO_OK;
}

void Audio_DeleteSource(uint32_t src) {
  if (!g_audio.context || !src) return;
  Audio_UnqueueAll(src);
  alSourcei(src, AL_BUFFER, 0);
  alDeleteSources(1, &src);
  alGetError();
  g_audio.pending.erase(src);
}

int Audio_SetStaticData(uint32_t src, const void* data, uint32_t bytes, int channels, int bits, int rate, int loop) {
  if (!g_audio.context || !src || !data || !ValidFormat(channels, bits, rate)) return AUDIO_ERR_INVALIDPARAM;
  alGetError();
  ALuint b = TakeBuffer();
  if (!b) return AUDIO_ERR_OUTOFMEMORY;
  alBufferData(b, FormatOf(channels, bits), data, ALsizei(bytes), rate);
  int r = LastError();
  if (r != AUDIO_OK) {
    g_audio.freeBuffers.push_back(b);
    return r;
  }
  Audio_UnqueueAll(src);
  g_audio.bufferBytes[b] = bytes;
  alSourcei(src, AL_BUFFER, ALint(b));
  alSourcei(src, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
  r = LastError();
  if (r != AUDIO_OK) GiveBackBuffer(b);
  return r;
}

int Audio_QueueData(uint32_t src, const void* data, uint32_t bytes, int channels, int bits, int rate) {
  if (!g_audio.context || !src || !data || !bytes || !ValidFormat(channels, bits, rate))
    return AUDIO_ERR_INVALIDPARAM;
  alGetError();
  ALuint b = TakeBuffer();
  if (!b) return AUDIO_ERR_OUTOFMEMORY;
  alBufferData(b, FormatOf(channels, bits), data, ALsizei(bytes), rate);
  int r = LastError();
  if (r == AUDIO_OK) {
    alSourceQueueBuffers(src, 1, &b);
    r = LastError();
  }
  if (r != AUDIO_OK) {
    g_audio.freeBuffers.push_back(b);
    return r;
  }
  g_audio.bufferBytes[b] = bytes;
  return AUDIO_OK;
}

uint64_t Audio_UnqueueProcessed(uint32_t src) {
  if (!g_audio.context || !src) return 0;
  ALint processed = 0;
  alGetSourcei(src, AL_BUFFERS_PROCESSED, &processed);
  uint64_t total = 0;
  while (processed-- > 0) {
    ALuint b = 0;
    alSourceUnqueueBuffers(src, 1, &b);
    if (alGetError() != AL_NO_ERROR || !b) break;
    auto it = g_audio.bufferBytes.find(b);
    if (it != g_audio.bufferBytes.end()) total += it->second;
    GiveBackBuffer(b);
  }
  // A stopped source counts every queued buffer as processed, even one queued after it stopped:
  // once it is empty, it goes back to its initial state so that new buffers wait to be played.
  ALint state = AL_INITIAL, queued = 0;
  alGetSourcei(src, AL_SOURCE_STATE, &state);
  alGetSourcei(src, AL_BUFFERS_QUEUED, &queued);
  if (state == AL_STOPPED && queued == 0) alSourceRewind(src);
  alGetError();
  return total;
}

void Audio_UnqueueAll(uint32_t src) {
  if (!g_audio.context || !src) return;
  alSourceStop(src);
  ALint queued = 0;
  alGetSourcei(src, AL_BUFFERS_QUEUED, &queued);
  std::vector<ALuint> names(size_t(queued > 0 ? queued : 0));
  if (!names.empty()) {
    // A stopped source has processed every buffer; read the names before detaching them.
    alSourceUnqueueBuffers(src, ALsizei(names.size()), names.data());
    if (alGetError() != AL_NO_ERROR) names.clear();
  }
  ALint current = 0;
  alGetSourcei(src, AL_BUFFER, &current);
  alSourcei(src, AL_BUFFER, 0);
  alGetError();
  for (ALuint b : names) GiveBackBuffer(b);
  if (current && g_audio.bufferBytes.count(ALuint(current))) GiveBackBuffer(ALuint(current));
  alSourceRewind(src);
  alGetError();
}

uint32_t Audio_ByteOffset(uint32_t src) {
  if (!g_audio.context || !src) return 0;
  ALint off = 0;
  alGetSourcei(src, AL_BYTE_OFFSET, &off);
  if (alGetError() != AL_NO_ERROR || off < 0) return 0;
  return uint32_t(off);
}

int Audio_State(uint32_t src) {
  if (!g_audio.context || !src) return AUDIO_STOPPED;
  ALint st = AL_STOPPED;
  alGetSourcei(src, AL_SOURCE_STATE, &st);
  alGetError();
  switch (st) {
    case AL_INITIAL: return AUDIO_INITIAL;
    case AL_PLAYING: return AUDIO_PLAYING;
    case AL_PAUSED: return AUDIO_PAUSED;
    default: return AUDIO_STOPPED;
  }
}

int Audio_Play(uint32_t src) {
  if (!g_audio.context || !src) return AUDIO_ERR_INVALIDCALL;
  alGetError();
  alSourcePlay(src);
  return LastError();
}

int Audio_Pause(uint32_t src) {
  if (!g_audio.context || !src) return AUDIO_ERR_INVALIDCALL;
  alGetError();
  alSourcePause(src);
  return LastError();
}

int Audio_RewindStatic(uint32_t src) {
  if (!g_audio.context || !src) return AUDIO_ERR_INVALIDCALL;
  alGetError();
  int st = Audio_State(src);
  if (st == AUDIO_PLAYING || st == AUDIO_PAUSED) alSourcei(src, AL_BYTE_OFFSET, 0);
  return LastError();
}

int Audio_SetGain(uint32_t src, float gain) {
  if (!g_audio.context || !src) return AUDIO_ERR_INVALIDCALL;
  alGetError();
  alSourcef(src, AL_GAIN, gain < 0 ? 0 : gain);
  return LastError();
}

int Audio_SetPitch(uint32_t src, float pitch) {
  if (!g_audio.context || !src) return AUDIO_ERR_INVALIDCALL;
  if (!(pitch > 0)) return AUDIO_ERR_INVALIDPARAM;
  alGetError();
  alSourcef(src, AL_PITCH, pitch);
  return LastError();
}

int Audio_Set3D(uint32_t src, int relative, const float pos[3], const float vel[3], float refDistance,
                float maxDistance) {
  if (!g_audio.context || !src) return AUDIO_ERR_INVALIDCALL;
  if (!(refDistance >= 0) || !(maxDistance >= 0)) return AUDIO_ERR_INVALIDPARAM;
  Pending3D& p = g_audio.pending[src];
  p.dirty = 1;
  p.relative = relative;
  std::memcpy(p.pos, pos, sizeof p.pos);
  std::memcpy(p.vel, vel, sizeof p.vel);
  p.refDistance = refDistance;
  p.maxDistance = maxDistance;
  return AUDIO_OK;
}

void Audio_SetListener(const float pos[3], const float forward[3], const float up[3]) {
  std::memcpy(g_audio.listenerPos, pos, sizeof g_audio.listenerPos);
  std::memcpy(g_audio.listenerOrient, forward, 3 * sizeof(float));
  std::memcpy(g_audio.listenerOrient + 3, up, 3 * sizeof(float));
  g_audio.listenerDirty = 1;
}

int Audio_Commit() {
  if (!g_audio.context) return AUDIO_ERR_INVALIDCALL;
  alGetError();
  if (g_audio.deferUpdates) g_audio.deferUpdates();
  for (auto& [src, p] : g_audio.pending) {
    if (!p.dirty) continue;
    p.dirty = 0;
    alSourcei(src, AL_SOURCE_RELATIVE, p.relative ? AL_TRUE : AL_FALSE);
    alSourcefv(src, AL_POSITION, p.pos);
    alSourcefv(src, AL_VELOCITY, p.vel);
    alSourcef(src, AL_REFERENCE_DISTANCE, p.refDistance);
    alSourcef(src, AL_MAX_DISTANCE, p.maxDistance);
  }
  int r = LastError();
  if (g_audio.listenerDirty) {
    g_audio.listenerDirty = 0;
    alListenerfv(AL_POSITION, g_audio.listenerPos);
    const float zero[3] = {0, 0, 0};
    alListenerfv(AL_VELOCITY, zero);
    alListenerfv(AL_ORIENTATION, g_audio.listenerOrient);
    int lr = LastError();
    if (r == AUDIO_OK) r = lr;
  }
  if (g_audio.processUpdates) g_audio.processUpdates();
  return r;
}

int Audio_SetReverb(int environment) {
  if (!Audio_HasEffects()) return 0;
  if (environment < 0 || environment > 2) environment = -1;
  if (g_audio.slot && environment == g_audio.environment) return environment >= 0;
  alGetError();
  if (!g_audio.slot) {
    g_audio.genSlots(1, &g_audio.slot);
    g_audio.genEffects(1, &g_audio.effect);
    if (alGetError() != AL_NO_ERROR) {
      g_audio.slot = 0;
      g_audio.effect = 0;
      g_audio.hasEffects = 0;
      return 0;
    }
  }
  if (environment < 0) {
    g_audio.slotI(g_audio.slot, AL_EFFECTSLOT_EFFECT, AL_EFFECT_NULL);
  } else {
    static const EFXEAXREVERBPROPERTIES kPresets[3] = {EFX_REVERB_PRESET_PADDEDCELL, EFX_REVERB_PRESET_BATHROOM,
                                                       EFX_REVERB_PRESET_FOREST};
    LoadPreset(kPresets[environment]);
    g_audio.slotI(g_audio.slot, AL_EFFECTSLOT_EFFECT, ALint(g_audio.effect));
  }
  alGetError();
  g_audio.environment = environment;
  return environment >= 0;
}

void Audio_SetReverbSend(uint32_t src, int on) {
  if (!Audio_HasEffects() || !src || !g_audio.slot) return;
  alSource3i(src, AL_AUXILIARY_SEND_FILTER, on ? ALint(g_audio.slot) : AL_EFFECTSLOT_NULL, 0, AL_FILTER_NULL);
  alGetError();
}
