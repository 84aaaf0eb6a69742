// Writers of test sounds: PCM WAV files, sine tones and Ogg Vorbis files (libvorbisenc).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Interleaved 16-bit samples of a sine tone: `frames` frames of `channels` channels.
std::vector<int16_t> Tool_Sine(int channels, int rate, int frames, double hz, double amplitude);

// A canonical WAV file: "RIFF", size, "WAVE", a 16-byte "fmt " chunk, a "data" chunk.
// 8-bit output takes the high byte of each sample (unsigned).
std::vector<uint8_t> Tool_WavBytes(int channels, int rate, int bits, const std::vector<int16_t>& samples);

// An Ogg Vorbis file of the samples (VBR quality -0.1..1), with the given stream serial number.
// No samples gives a valid file without audio.
std::vector<uint8_t> Tool_OggBytes(int channels, int rate, const std::vector<int16_t>& samples, float quality,
                                   int serial);

bool Tool_WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// Writes "<stage>/<name>", making its folders; a failure says which file on standard error.
bool Tool_PutStaged(const std::string& stage, const std::string& name, const std::vector<uint8_t>& bytes);
