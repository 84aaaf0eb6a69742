// Capture of the rendered frames into "demo.avi": Motion JPEG at high quality, 24 frames a second,
// one key frame per rendered frame. Written to a temporary name and renamed when complete.
#include <cstdint>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "platform/media_ffmpeg.h"
#include "render/render.h"
#include "render/video.h"

namespace {
constexpr const char* kCaptureFile = "demo.avi";
constexpr const char* kCaptureTemp = "demo.avi.tmp";
constexpr int kCaptureQuality = 2;  // fixed quantiser: 1 best .. 31

struct CaptureState {
  int recording;
  int nextFrame;
  MediaEncoder* encoder;
  int width, height;  // fixed at start
  uint8_t* frame;     // width * height * 4 bytes, "AVISCR"
};
CaptureState g_capture;
}  // namespace

int Movie_IsCapturing() { return g_capture.recording; }

static void Capture_Release(bool keepFile) {
  bool written = g_capture.encoder && MediaEnc_Close(g_capture.encoder);
  g_capture.encoder = nullptr;
  if (g_capture.frame) Global_Free(g_capture.frame);
  g_capture.frame = nullptr;
  g_capture.recording = 0;
  if (keepFile && written && Media_ReplaceFile(kCaptureTemp, kCaptureFile)) return;
  if (keepFile) Log_Printf("Movie_StopCapture: %s not written\n", kCaptureFile);
  Media_RemoveFile(kCaptureTemp);
}

void Movie_StartCapture() {
  if (g_capture.recording) Movie_StopCapture();
  int w = Render_ScreenWidth, h = Render_ScreenHeight;
  if (w <= 0 || h <= 0 || w > kMediaMaxDimension || h > kMediaMaxDimension) {
    Log_Printf("Can't create stream\n");
    return;
  }
  MediaEncodeParams p{};
  p.container = "avi";
  p.videoCodec = "mjpeg";
  p.width = w;
  p.height = h;
  p.frameRate = kCaptureFrameRate;
  p.gop = 0;
  p.quality = kCaptureQuality;
  g_capture.encoder = MediaEnc_Open(kCaptureTemp, &p);
  if (!g_capture.encoder) {
    Log_Printf("Can't open avi.avi %s\n", Movie_GetAviErrorName(int(AVIERR_FILEOPEN)));
    Media_RemoveFile(kCaptureTemp);
    return;
  }
  uint64_t bytes = uint64_t(w) * uint64_t(h) * 4;
  g_capture.frame = static_cast<uint8_t*>(Global_MallocZero(size_t(bytes), "AVISCR"));
  if (!g_capture.frame) {
    Log_Printf("Can't Global_Malloc screenAVI\n");
    Capture_Release(false);
    return;
  }
  g_capture.width = w;
  g_capture.height = h;
  g_capture.nextFrame = 0;
  g_capture.recording = 1;
}

void Movie_CaptureFrame() {
  if (!g_capture.recording) return;
  if (Render_ScreenWidth != g_capture.width || Render_ScreenHeight != g_capture.height) {
    Log_Printf("Movie_CaptureFrame: display mode changed, capture stopped\n");
    Movie_StopCapture();
    return;
  }
  Render_ReadPixels(0, 0, g_capture.width, g_capture.height, g_capture.frame);
  if (!MediaEnc_WriteVideo(g_capture.encoder, g_capture.frame, 1)) {
    Log_Printf("Movie_CaptureFrame: write failed at frame %i, capture stopped\n", g_capture.nextFrame);
    Movie_StopCapture();
    return;
  }
  g_capture.nextFrame++;
}

void Movie_StopCapture() {
  if (!g_capture.recording) return;
  Capture_Release(true);
}
