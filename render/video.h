// Video playback into textures: WMV movies (any number open), the one AVI driven by name and time,
// WMA sounds for the sound module, and the capture of the rendered frames into "demo.avi".
#pragma once
#include <cstdint>

struct MediaVideo;
struct SoundDecoder;

// One open WMV movie (a zero-filled block tagged "wmv").
struct MovieWmv {
  MediaVideo* reader;        // the decoder over the file's bytes
  uint8_t* fileData;         // the whole file ("rostrx")
  uint32_t fileSize;
  uint8_t* sampleBuffer;     // the one buffer every shown frame is converted into ("INSSB")
  uint32_t bufferSize;       // frame width * frame height * 4
  int32_t sampleBufferKind;  // 1 ordinary memory, 2 AGP, 3 video memory (a pixel-data range)
  uint32_t videoWidth;       // picture size of the stream
  uint32_t videoHeight;
  uint32_t frameWidth;       // size of the converted frame: the picture fitted into the texture
  uint32_t frameHeight;
  uint32_t frameRate;        // whole frames per second (24 when the stream gives none)
  uint32_t sound;            // the video's sound, 0 when none
  float clock;               // playback time, seconds
  float nextSampleTime;      // presentation time of the last frame read, seconds
  uint32_t texture;          // OpenGL: a texture object of its own; Direct3D 8: a material index
  uint32_t textureWidth;
  uint32_t textureHeight;
  uint32_t textureTarget;    // the GL target the texture lives on
  uint32_t textureGeneration;  // Direct3D 8: the texture generation the material was made in
};

// The largest side of a video texture on the power-of-two path.
constexpr int kMovieMaxPow2Texture = 1024;

MovieWmv* Movie_OpenWmv(const char* name);
uint32_t WMVGenTexture(MovieWmv* movie);
// 1 while playing, 0 at the end (rewound) or on an error.
int Movie_UpdateWmv(MovieWmv* movie);
void Movie_CopyWmvSample(MovieWmv* movie, const uint8_t* bytes);
// rect: left, top, right, bottom on the 640 x 480 screen, or NULL for the fitted, centred picture.
void Movie_DrawWmv(MovieWmv* movie, const float* rect);
void Movie_CloseWmv(MovieWmv** movie);

// Keeps name + ".avi" open as the current AVI and uploads its frame for the time (seconds);
// returns the texture (0 when none). An empty name closes the AVI.
uint32_t Movie_PlayAvi(const char* name, float time, int reopen, const float* soundPosition);
void Movie_DrawAvi(const float* rect);
void Movie_SetAviPaused(const char* name, float time, int paused);
float Movie_GetAviPosition(float time);
float Movie_GetAviKeyTime(float time);
const char* Movie_GetAviErrorName(int error);

// Error codes of the AVI operations (reported in the log and named by Movie_GetAviErrorName).
enum : uint32_t {
  AVIERR_UNSUPPORTED = 0x80044065,
  AVIERR_BADFORMAT = 0x80044066,
  AVIERR_MEMORY = 0x80044067,
  AVIERR_INTERNAL = 0x80044068,
  AVIERR_BADFLAGS = 0x80044069,
  AVIERR_BADPARAM = 0x8004406A,
  AVIERR_BADSIZE = 0x8004406B,
  AVIERR_BADHANDLE = 0x8004406C,
  AVIERR_FILEREAD = 0x8004406D,
  AVIERR_FILEWRITE = 0x8004406E,
  AVIERR_FILEOPEN = 0x8004406F,
  AVIERR_COMPRESSOR = 0x80044070,
  AVIERR_NOCOMPRESSOR = 0x80044071,
  AVIERR_READONLY = 0x80044072,
  AVIERR_NODATA = 0x80044073,
  AVIERR_BUFFERTOOSMALL = 0x80044074,
  AVIERR_CANTCOMPRESS = 0x80044075,
  AVIERR_USERABORT = 0x800440C6,
  AVIERR_ERROR = 0x800440C7,
};

// The WMA decoder of the sound module's registry (tried after WAV and Ogg Vorbis).
SoundDecoder* Movie_OpenWma(const char* name, int loop);
SoundDecoder* Movie_WmaLoader(const char* name, int loop);

// ---- Pure helpers of the players (also used by the tests) ----

// Texture size for a picture: the power of two at or above each side, at most 1024, when
// powerOfTwo is set; else the picture size.
void Movie_GetTextureSize(int width, int height, int powerOfTwo, uint32_t* texWidth, uint32_t* texHeight);
// The rectangle (left, top, right, bottom) of a picture fitted and centred on the 640 x 480 screen.
// 0 (and nothing written) for an empty picture.
int Movie_FitRect(uint32_t width, uint32_t height, float rect[4]);

// State of the current AVI, for tests and the menu's video screen.
struct MovieAviState {
  char name[256];            // current base name; empty = none
  MediaVideo* reader;        // the frame decoder; NULL when opening failed
  uint8_t* fileData;         // ("rostrx")
  uint32_t fileSize;
  uint32_t sound;
  int paused;
  uint8_t* frameBuffer;      // converted frame, frame width * height * 4 ("avipdr")
  int32_t frameBufferKind;   // 1 ordinary memory, 2 AGP, 3 video memory (a pixel-data range)
  uint32_t texture;
  uint32_t textureTarget;
  uint32_t textureGeneration;  // Direct3D 8: the texture generation the material was made in
  float frameRate;
  uint32_t videoWidth, videoHeight;
  uint32_t frameWidth, frameHeight;
  uint32_t textureWidth, textureHeight;
  int64_t frameCount;
  int64_t lastFrame;         // last uploaded frame (-1 after opening)
  int64_t currentFrame;      // -1 after opening
  int opens;                 // how many times a file was opened (tests)
};
const MovieAviState* Movie_GetAviState();

// ---- Screen capture into "demo.avi" ----

// Frames a second of the capture (the frame loop steps 1 / this while capturing).
constexpr int kCaptureFrameRate = 24;
void Movie_StartCapture();
void Movie_CaptureFrame();
void Movie_StopCapture();
int Movie_IsCapturing();
