// Our media layer on FFmpeg: decoding of video pictures and sounds held in memory (so archive
// members play), and encoding of videos and sounds into files (screen capture, test media).
// Callers see only these records and functions; no FFmpeg type leaves platform/.
#pragma once
#include <cstddef>
#include <cstdint>

// ---- Memory stream: read and seek over one block that the caller owns ----
struct MediaMemStream {
  const uint8_t* data;
  uint32_t size;
  uint32_t position;  // always within 0..size
};

void MediaStream_Init(MediaMemStream* s, const uint8_t* data, uint32_t size);
// Copies min(count, size - position) bytes and advances; 0 at or past the end.
uint32_t MediaStream_Read(MediaMemStream* s, void* buffer, uint32_t count);
// origin 0: from the start, 1: from the position, 2: from the end. The new position is clamped
// to 0..size. Returns 1, or 0 for another origin (the position is kept).
int MediaStream_Seek(MediaMemStream* s, int64_t move, int origin, uint32_t* newPosition);

// Limits of what the decoder accepts.
constexpr int kMediaMaxDimension = 4096;
constexpr uint64_t kMediaMaxFrameBytes = uint64_t(kMediaMaxDimension) * kMediaMaxDimension * 4;

// ---- Video decoding ----
struct MediaVideo;

struct MediaVideoInfo {
  int srcWidth, srcHeight;  // the picture size of the stream
  int width, height;        // the size of the converted rows: the picture fitted into the limit
  double frameRate;         // frames per second, > 0 (24 when the stream gives none)
  int64_t frameCount;       // frames of the stream; 0 when it is empty or unknown
};

// Opens the first picture stream of the data (borrowed until MediaVideo_Close). Pictures larger
// than maxWidth x maxHeight are scaled down to fit each limit (0 = no limit). NULL when the data
// is no video, has no picture stream, or its picture is empty or larger than kMediaMaxDimension.
MediaVideo* MediaVideo_Open(const uint8_t* data, uint32_t size, int maxWidth, int maxHeight);
void MediaVideo_GetInfo(const MediaVideo* v, MediaVideoInfo* info);
// Decodes the next picture: 1 with its presentation time in seconds and its frame number,
// 0 at the end of the stream, -1 on an error.
int MediaVideo_DecodeNext(MediaVideo* v, double* time, int64_t* frame);
// Decodes the picture of frame number `frame` (seeking back to a key frame when needed): 1 when
// a picture at or after it was decoded, 0 when the frame is not in the stream.
int MediaVideo_DecodeFrame(MediaVideo* v, int64_t frame);
// Writes the last decoded picture as width x height BGRA pixels, bottom row first (rows of
// width * 4 bytes). 0 when no picture has been decoded.
int MediaVideo_ConvertLast(MediaVideo* v, uint8_t* out);
// Back to the first picture.
int MediaVideo_Rewind(MediaVideo* v);
// Number of the key frame at or before `frame` from the container's index; 0 when it has none.
int64_t MediaVideo_FindKeyFrame(MediaVideo* v, int64_t frame);
void MediaVideo_Close(MediaVideo* v);

// Copies the packets of the first picture (kind 1) or sound (kind 2) stream through `write`, in
// blocks of at most blockSize bytes. Returns the number of bytes written, -1 when the data has no
// such stream or a write fails.
typedef int (*MediaWriteFn)(const void* bytes, size_t size, void* user);
int64_t Media_DumpStream(const uint8_t* data, uint32_t size, int kind, size_t blockSize, MediaWriteFn write,
                         void* user);

// ---- Sound decoding to 16-bit signed interleaved PCM ----
struct MediaAudio;

struct MediaAudioInfo {
  int rate;      // samples per second
  int channels;  // 1 or 2
  int bits;      // 16
};

// Opens the first sound stream of the data (borrowed until MediaAudio_Close); NULL when there is
// none or its format is empty.
MediaAudio* MediaAudio_Open(const uint8_t* data, uint32_t size);
void MediaAudio_GetInfo(const MediaAudio* a, MediaAudioInfo* info);
// Delivers up to `wanted` bytes (whole sample frames), keeping what a decoded packet gave beyond
// that for the next call. Returns the bytes delivered, 0 only at the end of the stream, -1 on an
// error.
int64_t MediaAudio_Read(MediaAudio* a, uint8_t* out, size_t wanted);
int MediaAudio_Rewind(MediaAudio* a);
void MediaAudio_Close(MediaAudio* a);

// ---- Encoding into a file ----
struct MediaEncoder;

struct MediaEncodeParams {
  const char* container;   // "avi", "asf", ...
  const char* videoCodec;  // "mjpeg", "wmv2", "mpeg4", ... or NULL for no picture stream
  int width, height;       // picture size
  int frameRate;           // pictures per second
  int gop;                 // key-frame spacing (0: every frame a key frame)
  int quality;             // fixed quantiser 1 (best) .. 31; 0 = the codec's default
  const char* audioCodec;  // "wmav2", "pcm_s16le", ... or NULL for no sound stream
  int sampleRate;
  int channels;            // 1 or 2
};

// Creates the file at `path` (overwritten) and writes its header. NULL with a log line on failure.
MediaEncoder* MediaEnc_Open(const char* path, const MediaEncodeParams* params);
// Appends one picture of width x height BGRA pixels; bottomUp says the rows run from the bottom
// of the picture upwards (as the renderer reads them back). 0 when encoding or writing failed.
int MediaEnc_WriteVideo(MediaEncoder* e, const uint8_t* bgra, int bottomUp);
// Appends interleaved 16-bit samples. 0 on failure.
int MediaEnc_WriteAudio(MediaEncoder* e, const int16_t* pcm, int sampleFrames);
// Flushes the encoders, writes the trailer and closes the file. 1 when everything was written.
int MediaEnc_Close(MediaEncoder* e);

// Renames a finished file over another (the last step of writing through a temporary name).
int Media_ReplaceFile(const char* from, const char* to);
void Media_RemoveFile(const char* path);
