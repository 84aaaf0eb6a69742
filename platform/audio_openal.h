// Our audio layer over OpenAL Soft: one output device and context, sources fed either with one
// whole buffer or with a queue of buffers, a listener, deferred 3D parameters applied together,
// and one reverb slot for the environment presets. Headless runs use the loopback device, which
// renders into memory on request.
#pragma once
#include <cstdint>

// Result codes of the layer (0 = success).
enum AudioResult : int {
  AUDIO_OK = 0,
  AUDIO_ERR_NODEVICE = 1,      // no output device could be opened
  AUDIO_ERR_CONTEXT = 2,       // the mixing context could not be made
  AUDIO_ERR_INVALIDPARAM = 3,  // a value the library refused
  AUDIO_ERR_INVALIDCALL = 4,   // an operation not allowed in the source's state
  AUDIO_ERR_OUTOFMEMORY = 5,
  AUDIO_ERR_UNSUPPORTED = 6,   // a format or feature the device lacks
};

enum AudioSourceState : int { AUDIO_INITIAL = 0, AUDIO_PLAYING = 1, AUDIO_PAUSED = 2, AUDIO_STOPPED = 3 };

// Output rate of the device, and of the loopback renders.
constexpr int kAudioOutputRate = 44100;

// Before Audio_Open: 1 renders into memory through the loopback device instead of a sound card.
void Audio_UseLoopback(int on);
int Audio_Open();  // AudioResult
void Audio_Close();
int Audio_IsOpen();
int Audio_IsLoopback();
// Renders `frames` stereo frames of float samples (left, right) from the loopback device;
// returns 0 when no loopback device is open.
int Audio_RenderLoopback(float* out, int frames);
// 1 when the device offers the effects extension (auxiliary sends and reverb).
int Audio_HasEffects();

// Sources: ids are non-zero; 0 means none.
int Audio_CreateSource(uint32_t* out);  // AudioResult
void Audio_DeleteSource(uint32_t src);
// Attaches one whole buffer of PCM (static sound); loop 1 repeats it.
int Audio_SetStaticData(uint32_t src, const void* data, uint32_t bytes, int channels, int bits, int rate,
                        int loop);
// Appends a buffer of PCM to the source's queue.
int Audio_QueueData(uint32_t src, const void* data, uint32_t bytes, int channels, int bits, int rate);
// Removes the buffers the source has finished with; returns their total bytes.
uint64_t Audio_UnqueueProcessed(uint32_t src);
// Stops the source and removes every queued buffer.
void Audio_UnqueueAll(uint32_t src);
// Byte offset of the play position within the source's queue (or its one buffer).
uint32_t Audio_ByteOffset(uint32_t src);
int Audio_State(uint32_t src);  // AudioSourceState
int Audio_Play(uint32_t src);
int Audio_Pause(uint32_t src);
// Moves the play position of a started static source back to its start (keeps it playing).
int Audio_RewindStatic(uint32_t src);
int Audio_SetGain(uint32_t src, float gain);
int Audio_SetPitch(uint32_t src, float pitch);

// 3D parameters and the listener are held back until Audio_Commit applies them all at once.
// relative 1: the source sits on the listener (no 3D processing). Positions in metres.
int Audio_Set3D(uint32_t src, int relative, const float pos[3], const float vel[3], float refDistance,
                float maxDistance);
void Audio_SetListener(const float pos[3], const float forward[3], const float up[3]);
int Audio_Commit();  // AudioResult

// Reverb environment: -1 none, 0 padded cell, 1 bathroom, 2 forest. Returns 1 when a reverb is on.
int Audio_SetReverb(int environment);
// Sends the source to the reverb slot (1) or not (0).
void Audio_SetReverbSend(uint32_t src, int on);
