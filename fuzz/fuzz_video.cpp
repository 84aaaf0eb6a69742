// Arbitrary bytes opened as a video and as a sound through the memory stream: a few pictures
// decoded and converted, a few reads of sound, a frame seek and a rewind.
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fuzz.h"
#include "platform/media_ffmpeg.h"
#include "tools/media_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  MediaVideo* v = MediaVideo_Open(data, uint32_t(size), 128, 128);
  if (v) {
    MediaVideoInfo info;
    MediaVideo_GetInfo(v, &info);
    if (int64_t(info.srcWidth) * info.srcHeight <= (1 << 18)) {
      std::vector<uint8_t> px(size_t(info.width) * size_t(info.height) * 4);
      for (int i = 0; i < 4 && MediaVideo_DecodeNext(v, nullptr, nullptr) == 1; i++) MediaVideo_ConvertLast(v, px.data());
      MediaVideo_FindKeyFrame(v, 3);
      if (MediaVideo_DecodeFrame(v, 1) == 1) MediaVideo_ConvertLast(v, px.data());
      MediaVideo_Rewind(v);
      MediaVideo_DecodeNext(v, nullptr, nullptr);
    }
    MediaVideo_Close(v);
  }
  MediaAudio* a = MediaAudio_Open(data, uint32_t(size));
  if (a) {
    uint8_t buf[4096];
    for (int i = 0; i < 8 && MediaAudio_Read(a, buf, sizeof buf) > 0; i++) {
    }
    MediaAudio_Close(a);
  }
  return 0;
}

static void AddFile(std::vector<std::vector<uint8_t>>& seeds, const std::string& path) {
  std::vector<uint8_t> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
    std::fclose(f);
  }
  std::remove(path.c_str());
  if (!bytes.empty()) seeds.push_back(bytes);
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  std::string base = (std::filesystem::temp_directory_path() / ("fuzz_video_" + std::to_string(getpid()))).string();
  TestVideoSpec avi;
  avi.width = 32;
  avi.height = 16;
  avi.frames = 3;
  if (Tools_WriteTestVideo(base + ".avi", avi)) AddFile(seeds, base + ".avi");
  TestVideoSpec wmv;
  wmv.container = "asf";
  wmv.codec = "wmv2";
  wmv.width = 32;
  wmv.height = 16;
  wmv.frames = 3;
  wmv.gop = 2;
  if (Tools_WriteTestVideo(base + ".wmv", wmv)) AddFile(seeds, base + ".wmv");
  if (Tools_WriteTestSound(base + ".wma", "asf", "wmav2", 8000, 1, 0.1)) AddFile(seeds, base + ".wma");
}
