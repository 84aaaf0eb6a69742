// The sound device back end: the 32 voice records over the audio layer, volumes, 3D parameters,
// the listener and the reverb environment.
#pragma once
#include <cstdint>

#include "foundation/sound.h"

void DSInit(int stage);
void DS_Shutdown();
int DS_IsUp();
int DS_IsEaxLoaded();
int DS_VoiceCount();
uint32_t DS_VoiceHandle(int slot);
SoundVoice* DS_FindVoice(uint32_t handle);
SoundVoice* DS_VoiceAt(int slot);
uint32_t DS_CreateVoice(uint32_t flags, uint32_t bufferBytes, SoundDecoder* decoder);
void DS_ReleaseVoice(SoundVoice* v);
void DS_WriteVoice(SoundVoice* v, const void* data, int count);
void DS_WriteSilence(SoundVoice* v, int64_t count);
void DS_UpdateVoicePosition(SoundVoice* v);
int DS_GetVoicePosition(uint32_t handle, int64_t* written, int64_t* played, uint32_t* length, uint32_t* bits,
                        uint32_t* channels, uint32_t* rate);
void DS_Play(SoundVoice* v);
void DS_Stop(SoundVoice* v);
void DS_Rewind(SoundVoice* v);
void DS_SetVolume(SoundVoice* v, float volume);
void DS_SetFrequency(SoundVoice* v, uint32_t samplesPerSec);
void DS_SetParams(SoundVoice* v, float volume, float minDistance, const float* position, const float* velocity);
int DS_VolumeToAttenuation(uint32_t category, float volume);
void DS_SetMasterVolume(float volume);
float DS_GetMasterVolume();
void DS_SetListener(const float position[3], const float forward[3], const float up[3]);
void DSError(int code, const char* text);

// Hundredths of a decibel (-10000..0) as a linear gain.
float DS_AttenuationToGain(int millibels);
