#include "tools/media_writer.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <cstdlib>
#include <vector>

#include "platform/media_ffmpeg.h"
#include "tools/zipwriter.h"

void Tools_TestFrameColour(int index, uint8_t rgb[3]) {
  // Each channel takes one of four well separated levels: 64 distinct colours, none white.
  static const uint8_t kLevels[4] = {24, 88, 152, 216};
  int i = ((index % 64) + 64) % 64;
  rgb[0] = kLevels[i & 3];
  rgb[1] = kLevels[(i >> 2) & 3];
  rgb[2] = kLevels[(i >> 4) & 3];
}

int Tools_TestMarkerSize(int width, int height) {
  int m = (width < height ? width : height) / 4;
  return m < 1 ? 1 : m;
}

void Tools_MakeTestFrame(int index, int width, int height, uint8_t* bgra) {
  uint8_t rgb[3];
  Tools_TestFrameColour(index, rgb);
  int marker = Tools_TestMarkerSize(width, height);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      uint8_t* p = bgra + (size_t(y) * width + x) * 4;
      bool m = x < marker && y < marker;
      p[0] = m ? 255 : rgb[2];
      p[1] = m ? 255 : rgb[1];
      p[2] = m ? 255 : rgb[0];
      p[3] = 255;
    }
}

int Tools_MatchTestFrame(const uint8_t rgb[3]) {
  int best = 0, bestDist = 1 << 30;
  for (int i = 0; i < 64; i++) {
    uint8_t c[3];
    Tools_TestFrameColour(i, c);
    int d = 0;
    for (int k = 0; k < 3; k++) d += (int(c[k]) - rgb[k]) * (int(c[k]) - rgb[k]);
    if (d < bestDist) {
      bestDist = d;
      best = i;
    }
  }
  return best;
}

bool Tools_WriteTestVideo(const std::string& path, const TestVideoSpec& spec) {
  MediaEncodeParams p{};
  p.container = spec.container.c_str();
  p.videoCodec = spec.codec.c_str();
  p.width = spec.width;
  p.height = spec.height;
  p.frameRate = spec.fps;
  p.gop = spec.gop;
  p.quality = 2;
  if (!spec.audioCodec.empty()) {
    p.audioCodec = spec.audioCodec.c_str();
    p.sampleRate = spec.sampleRate;
    p.channels = spec.channels;
  }
  MediaEncoder* e = MediaEnc_Open(path.c_str(), &p);
  if (!e) return false;
  std::vector<uint8_t> frame(size_t(spec.width) * spec.height * 4);
  bool ok = true;
  int samplesPerFrame = spec.sampleRate / (spec.fps > 0 ? spec.fps : 24);
  std::vector<int16_t> pcm(size_t(samplesPerFrame) * spec.channels);
  for (int i = 0; i < spec.frames && ok; i++) {
    Tools_MakeTestFrame(i, spec.width, spec.height, frame.data());
    ok = MediaEnc_WriteVideo(e, frame.data(), 0) != 0;
    if (ok && p.audioCodec) ok = MediaEnc_WriteAudio(e, pcm.data(), samplesPerFrame) != 0;
  }
  return MediaEnc_Close(e) && ok;
}

bool Tools_WriteTestSound(const std::string& path, const std::string& container, const std::string& codec,
                          int sampleRate, int channels, double seconds) {
  MediaEncodeParams p{};
  p.container = container.c_str();
  p.audioCodec = codec.c_str();
  p.sampleRate = sampleRate;
  p.channels = channels;
  MediaEncoder* e = MediaEnc_Open(path.c_str(), &p);
  if (!e) return false;
  int total = int(seconds * sampleRate);
  std::vector<int16_t> pcm(size_t(total) * channels);
  for (int i = 0; i < total; i++)
    for (int c = 0; c < channels; c++)
      pcm[size_t(i) * channels + c] = int16_t(8000.0 * std::sin(2.0 * M_PI * 440.0 * i / sampleRate));
  bool ok = MediaEnc_WriteAudio(e, pcm.data(), total) != 0;
  return MediaEnc_Close(e) && ok;
}

bool Tools_WriteVideoArchive(const std::string& archivePath, const std::string& member, const TestVideoSpec& spec) {
  static int serial;
  std::string temp = (std::filesystem::temp_directory_path() /
                      ("tw_video_" + std::to_string(::getpid()) + "_" + std::to_string(serial++) + ".tmp"))
                         .string();
  if (!Tools_WriteTestVideo(temp, spec)) return false;
  std::ifstream in(temp, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  std::remove(temp.c_str());
  if (bytes.empty()) return false;
  ZipWriter* w = ZipWriter_Create();
  if (!ZipWriter_AddMember(w, member.c_str(), bytes.data(), bytes.size(), ZIPW_DEFLATED)) {
    ZipWriter_Discard(w);
    return false;
  }
  return ZipWriter_FinishToFile(w, archivePath.c_str()) == 1;
}
