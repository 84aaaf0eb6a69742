// The media layer: memory stream, decoding of the videos and sounds our writers make, frame
// selection and key frames, scaling to a limit, and encoding read back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/media_ffmpeg.h"
#include "support/test_support.h"
#include "tools/media_writer.h"

using tw_test::ReadBytes;
using tw_test::TempDir;

namespace {

// Centre colour and top-left marker check of a bottom-up BGRA picture.
void CentreColour(const std::vector<uint8_t>& px, int w, int h, uint8_t rgb[3]) {
  const uint8_t* p = &px[(size_t(h / 2) * w + w / 2 + w / 8) * 4];
  rgb[0] = p[2];
  rgb[1] = p[1];
  rgb[2] = p[0];
}
bool MarkerTopLeft(const std::vector<uint8_t>& px, int w, int h) {
  // Bottom row first: the top-left pixel is in the last row.
  const uint8_t* tl = &px[(size_t(h - 2) * w + 1) * 4];
  const uint8_t* bl = &px[(size_t(1) * w + 1) * 4];
  const uint8_t* tr = &px[(size_t(h - 2) * w + w - 2) * 4];
  return tl[0] > 230 && tl[1] > 230 && tl[2] > 230 && bl[1] < 230 && tr[1] < 230;
}

struct Video {
  std::vector<uint8_t> bytes;
  MediaVideo* v = nullptr;
  explicit Video(const std::string& path, int maxW = 0, int maxH = 0) : bytes(ReadBytes(path)) {
    v = MediaVideo_Open(bytes.data(), uint32_t(bytes.size()), maxW, maxH);
  }
  ~Video() { MediaVideo_Close(v); }
};

}  // namespace

TEST(MediaStream, ReadAndSeekStayInsideTheData) {
  uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  MediaMemStream s;
  MediaStream_Init(&s, data, 10);
  uint8_t buf[32];
  EXPECT_EQ(MediaStream_Read(&s, buf, 4), 4u);
  EXPECT_EQ(MediaStream_Read(&s, buf, 32), 6u);
  EXPECT_EQ(buf[5], 9);
  EXPECT_EQ(MediaStream_Read(&s, buf, 32), 0u);  // at the end: nothing
  uint32_t pos = 99;
  ASSERT_EQ(MediaStream_Seek(&s, 0, 2, &pos), 1);
  EXPECT_EQ(pos, 10u);
  ASSERT_EQ(MediaStream_Seek(&s, 1000, 2, &pos), 1);  // past the end: clamped
  EXPECT_EQ(pos, 10u);
  EXPECT_EQ(MediaStream_Read(&s, buf, 32), 0u);
  ASSERT_EQ(MediaStream_Seek(&s, int64_t(1) << 40, 1, &pos), 1);
  EXPECT_EQ(pos, 10u);
  ASSERT_EQ(MediaStream_Seek(&s, -1000, 1, &pos), 1);
  EXPECT_EQ(pos, 0u);
  ASSERT_EQ(MediaStream_Seek(&s, 7, 0, &pos), 1);
  EXPECT_EQ(MediaStream_Read(&s, buf, 32), 3u);
  EXPECT_EQ(buf[0], 7);
  EXPECT_EQ(MediaStream_Seek(&s, 0, 3, &pos), 0);  // unknown origin
  EXPECT_EQ(s.position, 10u);
}

TEST(MediaVideo, DecodesEveryFrameOfAWmvInOrderBottomUp) {
  TempDir dir;
  TestVideoSpec spec;
  spec.container = "asf";
  spec.codec = "wmv2";
  spec.width = 320;
  spec.height = 240;
  spec.frames = 10;
  spec.gop = 5;
  ASSERT_TRUE(Tools_WriteTestVideo("a.wmv", spec));
  Video v("a.wmv");
  ASSERT_NE(v.v, nullptr);
  MediaVideoInfo info;
  MediaVideo_GetInfo(v.v, &info);
  EXPECT_EQ(info.width, 320);
  EXPECT_EQ(info.height, 240);
  EXPECT_NEAR(info.frameRate, 24.0, 0.01);
  std::vector<uint8_t> px(size_t(info.width) * info.height * 4);
  int n = 0;
  double t = -1;
  int64_t frame = -1;
  while (MediaVideo_DecodeNext(v.v, &t, &frame) == 1) {
    EXPECT_EQ(frame, n);
    EXPECT_NEAR(t, n / 24.0, 0.01);
    ASSERT_EQ(MediaVideo_ConvertLast(v.v, px.data()), 1);
    uint8_t rgb[3];
    CentreColour(px, info.width, info.height, rgb);
    EXPECT_EQ(Tools_MatchTestFrame(rgb), n);
    EXPECT_TRUE(MarkerTopLeft(px, info.width, info.height)) << n;
    n++;
  }
  EXPECT_EQ(n, 10);
  EXPECT_EQ(MediaVideo_DecodeNext(v.v, &t, &frame), 0);
  // Rewind plays from the start again.
  ASSERT_EQ(MediaVideo_Rewind(v.v), 1);
  ASSERT_EQ(MediaVideo_DecodeNext(v.v, &t, &frame), 1);
  EXPECT_EQ(frame, 0);
}

TEST(MediaVideo, AviFrameSelectionAndKeyFrames) {
  TempDir dir;
  TestVideoSpec spec;
  spec.codec = "mpeg4";
  spec.width = 64;
  spec.height = 48;
  spec.frames = 30;
  spec.gop = 12;
  ASSERT_TRUE(Tools_WriteTestVideo("b.avi", spec));
  Video v("b.avi");
  ASSERT_NE(v.v, nullptr);
  MediaVideoInfo info;
  MediaVideo_GetInfo(v.v, &info);
  EXPECT_EQ(info.frameCount, 30);
  std::vector<uint8_t> px(size_t(info.width) * info.height * 4);
  uint8_t rgb[3];
  // Out of order: forward jumps, backward jumps, repeats.
  for (int f : {0, 1, 5, 20, 3, 29, 29, 12, 13}) {
    ASSERT_EQ(MediaVideo_DecodeFrame(v.v, f), 1) << f;
    ASSERT_EQ(MediaVideo_ConvertLast(v.v, px.data()), 1);
    CentreColour(px, info.width, info.height, rgb);
    EXPECT_EQ(Tools_MatchTestFrame(rgb), f);
  }
  EXPECT_EQ(MediaVideo_DecodeFrame(v.v, 30), 0);
  EXPECT_EQ(MediaVideo_DecodeFrame(v.v, -1), 0);
  EXPECT_EQ(MediaVideo_FindKeyFrame(v.v, 0), 0);
  EXPECT_EQ(MediaVideo_FindKeyFrame(v.v, 11), 0);
  EXPECT_EQ(MediaVideo_FindKeyFrame(v.v, 12), 12);
  EXPECT_EQ(MediaVideo_FindKeyFrame(v.v, 23), 12);
  EXPECT_EQ(MediaVideo_FindKeyFrame(v.v, 25), 24);
}

TEST(MediaVideo, WidePictureIsScaledToTheLimit) {
  TempDir dir;
  TestVideoSpec spec;
  spec.width = 1600;
  spec.height = 64;
  spec.frames = 2;
  ASSERT_TRUE(Tools_WriteTestVideo("w.avi", spec));
  Video v("w.avi", 1024, 1024);
  ASSERT_NE(v.v, nullptr);
  MediaVideoInfo info;
  MediaVideo_GetInfo(v.v, &info);
  EXPECT_EQ(info.srcWidth, 1600);
  EXPECT_EQ(info.width, 1024);
  EXPECT_EQ(info.height, 64);
  std::vector<uint8_t> px(size_t(info.width) * info.height * 4);
  ASSERT_EQ(MediaVideo_DecodeFrame(v.v, 1), 1);
  ASSERT_EQ(MediaVideo_ConvertLast(v.v, px.data()), 1);
  uint8_t rgb[3];
  CentreColour(px, info.width, info.height, rgb);
  EXPECT_EQ(Tools_MatchTestFrame(rgb), 1);
}

TEST(MediaVideo, RefusesWhatIsNoPicture) {
  TempDir dir;
  ASSERT_TRUE(Tools_WriteTestSound("s.wma", "asf", "wmav2", 22050, 1, 0.5));
  Video sound("s.wma");
  EXPECT_EQ(sound.v, nullptr);
  std::vector<uint8_t> junk(5000, 0x41);
  EXPECT_EQ(MediaVideo_Open(junk.data(), uint32_t(junk.size()), 0, 0), nullptr);
  EXPECT_EQ(MediaVideo_Open(nullptr, 0, 0, 0), nullptr);
  EXPECT_EQ(MediaVideo_DecodeNext(nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(MediaVideo_DecodeFrame(nullptr, 0), 0);
  // A truncated file: either refused or decodes what is there, never more.
  TestVideoSpec spec;
  ASSERT_TRUE(Tools_WriteTestVideo("t.avi", spec));
  std::vector<uint8_t> bytes = ReadBytes("t.avi");
  bytes.resize(bytes.size() / 2);
  MediaVideo* v = MediaVideo_Open(bytes.data(), uint32_t(bytes.size()), 0, 0);
  if (v) {
    int n = 0;
    while (MediaVideo_DecodeNext(v, nullptr, nullptr) == 1) n++;
    EXPECT_LE(n, spec.frames);
    MediaVideo_Close(v);
  }
}

TEST(MediaAudio, WmaDeliversWhatIsAskedToTheEnd) {
  TempDir dir;
  ASSERT_TRUE(Tools_WriteTestSound("tone.wma", "asf", "wmav2", 22050, 2, 1.0));
  std::vector<uint8_t> bytes = ReadBytes("tone.wma");
  MediaAudio* a = MediaAudio_Open(bytes.data(), uint32_t(bytes.size()));
  ASSERT_NE(a, nullptr);
  MediaAudioInfo info;
  MediaAudio_GetInfo(a, &info);
  EXPECT_EQ(info.rate, 22050);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.bits, 16);
  // Small requests, far below one packet, each fully served until the end.
  uint8_t buf[100];
  int64_t total = 0, r;
  int shortReads = 0;
  while ((r = MediaAudio_Read(a, buf, sizeof buf)) > 0) {
    total += r;
    if (r != 100) shortReads++;
  }
  EXPECT_EQ(r, 0);
  EXPECT_LE(shortReads, 1);  // only the last one
  const int64_t expected = 22050 * 4;
  EXPECT_GE(total, expected - 4096 * 4);
  EXPECT_LE(total, expected + 4096 * 4);
  // Still at the end, then the same again after a rewind, in large requests.
  EXPECT_EQ(MediaAudio_Read(a, buf, sizeof buf), 0);
  ASSERT_EQ(MediaAudio_Rewind(a), 1);
  std::vector<uint8_t> big(1 << 16);
  int64_t again = 0;
  while ((r = MediaAudio_Read(a, big.data(), big.size())) > 0) again += r;
  EXPECT_NEAR(double(again), double(total), 4096.0 * 4);
  MediaAudio_Close(a);
}

TEST(MediaAudio, RefusesWhatIsNoSound) {
  TempDir dir;
  TestVideoSpec spec;
  ASSERT_TRUE(Tools_WriteTestVideo("v.avi", spec));
  std::vector<uint8_t> bytes = ReadBytes("v.avi");
  EXPECT_EQ(MediaAudio_Open(bytes.data(), uint32_t(bytes.size())), nullptr);
  EXPECT_EQ(MediaAudio_Open(nullptr, 0), nullptr);
}

TEST(MediaEncoder, MjpegAviRoundTrip) {
  TempDir dir;
  MediaEncodeParams p{};
  p.container = "avi";
  p.videoCodec = "mjpeg";
  p.width = 96;
  p.height = 64;
  p.frameRate = 24;
  p.quality = 2;
  MediaEncoder* e = MediaEnc_Open("cap.avi", &p);
  ASSERT_NE(e, nullptr);
  std::vector<uint8_t> top(size_t(96) * 64 * 4), bottomUp(top.size());
  for (int i = 0; i < 5; i++) {
    Tools_MakeTestFrame(i, 96, 64, top.data());
    for (int y = 0; y < 64; y++) std::memcpy(&bottomUp[size_t(y) * 96 * 4], &top[size_t(63 - y) * 96 * 4], 96 * 4);
    ASSERT_EQ(MediaEnc_WriteVideo(e, bottomUp.data(), 1), 1);
  }
  ASSERT_EQ(MediaEnc_Close(e), 1);
  Video v("cap.avi");
  ASSERT_NE(v.v, nullptr);
  MediaVideoInfo info;
  MediaVideo_GetInfo(v.v, &info);
  EXPECT_EQ(info.frameCount, 5);
  EXPECT_NEAR(info.frameRate, 24.0, 1e-9);
  std::vector<uint8_t> px(size_t(96) * 64 * 4);
  for (int i = 0; i < 5; i++) {
    ASSERT_EQ(MediaVideo_DecodeNext(v.v, nullptr, nullptr), 1);
    ASSERT_EQ(MediaVideo_ConvertLast(v.v, px.data()), 1);
    uint8_t rgb[3], want[3];
    CentreColour(px, 96, 64, rgb);
    Tools_TestFrameColour(i, want);
    for (int k = 0; k < 3; k++) EXPECT_NEAR(rgb[k], want[k], 6);
    EXPECT_TRUE(MarkerTopLeft(px, 96, 64));
  }
}

TEST(MediaEncoder, RefusesBadParametersAndPaths) {
  TempDir dir;
  MediaEncodeParams p{};
  p.container = "avi";
  p.videoCodec = "mjpeg";
  p.width = 0;
  p.height = 64;
  p.frameRate = 24;
  EXPECT_EQ(MediaEnc_Open("x.avi", &p), nullptr);
  p.width = 64;
  EXPECT_EQ(MediaEnc_Open("no/such/dir/x.avi", &p), nullptr);
  p.videoCodec = "nosuchcodec";
  EXPECT_EQ(MediaEnc_Open("x.avi", &p), nullptr);
}

TEST(MediaDump, CopiesTheRawStream) {
  TempDir dir;
  TestVideoSpec spec;
  spec.audioCodec = "pcm_s16le";
  spec.frames = 6;
  ASSERT_TRUE(Tools_WriteTestVideo("d.avi", spec));
  std::vector<uint8_t> bytes = ReadBytes("d.avi");
  std::vector<uint8_t> out;
  auto write = [](const void* b, size_t n, void* user) -> int {
    auto* o = static_cast<std::vector<uint8_t>*>(user);
    o->insert(o->end(), static_cast<const uint8_t*>(b), static_cast<const uint8_t*>(b) + n);
    return 1;
  };
  int64_t audio = Media_DumpStream(bytes.data(), uint32_t(bytes.size()), 2, 1 << 20, write, &out);
  EXPECT_EQ(audio, int64_t(out.size()));
  EXPECT_EQ(audio, int64_t(22050 / 24) * 6 * 2);
  out.clear();
  int64_t video = Media_DumpStream(bytes.data(), uint32_t(bytes.size()), 1, 1 << 20, write, &out);
  EXPECT_GT(video, 0);
  ASSERT_GE(out.size(), 2u);
  EXPECT_EQ(out[0], 0xFF);  // a JPEG start marker
  EXPECT_EQ(out[1], 0xD8);
}
