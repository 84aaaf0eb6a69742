// Picture loading: a large JPEG through the engine against libjpeg-turbo decoding the same bytes
// directly; TGA, BMP and DDS loads against a plain copy of the same bytes; a material set.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "render/glext.h"
#include "render/image.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "tools/image_writer.h"

namespace {

ToolImage Photo(int w, int h) {
  ToolImage img = ImageTool_Pattern(w, h, 3, false);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      uint8_t* t = img.At(x, y);
      t[0] = uint8_t((x * x + y) >> 4);
      t[1] = uint8_t((x + y * 3) >> 2);
      t[2] = uint8_t(((x ^ y) * 3) >> 1);
    }
  return img;
}

const std::vector<uint8_t>& Jpeg() {
  static std::vector<uint8_t> j = ImageTool_WriteJPEG(Photo(1600, 1200), 90);
  return j;
}

void BM_JpegEngine(benchmark::State& state) {
  const std::vector<uint8_t>& j = Jpeg();
  for (auto _ : state) {
    ImageDesc* d = Image_LoadMemory(kImageJPEG, j.data(), j.size());
    benchmark::DoNotOptimize(d);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 1600 * 1200 * 4);
}
BENCHMARK(BM_JpegEngine)->Unit(benchmark::kMillisecond);

// libjpeg-turbo on its own: memory source, B, G, R, A output, bottom row first.
void BM_JpegLibraryDirect(benchmark::State& state) {
  const std::vector<uint8_t>& j = Jpeg();
  std::vector<uint8_t> out(size_t(1600) * 1200 * 4);
  for (auto _ : state) {
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, j.data(), (unsigned long)j.size());
    jpeg_read_header(&c, TRUE);
    c.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&c);
    while (c.output_scanline < c.output_height) {
      JSAMPROW row = out.data() + size_t(c.output_height - 1 - c.output_scanline) * c.output_width * 4;
      jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 1600 * 1200 * 4);
}
BENCHMARK(BM_JpegLibraryDirect)->Unit(benchmark::kMillisecond);

void LoadBench(benchmark::State& state, int kind, const std::vector<uint8_t>& bytes, bool straight) {
  GlExtFlags.SGIS_generate_mipmap = straight ? 1 : 0;
  GlExtFlags.ARB_texture_compression = 1;
  for (auto _ : state) {
    ImageDesc* d = Image_LoadMemory(kind, bytes.data(), bytes.size());
    benchmark::DoNotOptimize(d);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void BM_TgaStraight(benchmark::State& s) {
  static std::vector<uint8_t> f = ImageTool_WriteTGA(Photo(1024, 1024), 32);
  LoadBench(s, kImageTGA, f, true);
}
void BM_TgaConverted(benchmark::State& s) {
  static std::vector<uint8_t> f = ImageTool_WriteTGA(Photo(1024, 1024), 24, true);
  LoadBench(s, kImageTGA, f, false);
}
void BM_BmpStraight(benchmark::State& s) {
  static std::vector<uint8_t> f = ImageTool_WriteBMP(Photo(1024, 1024));
  LoadBench(s, kImageBMP, f, true);
}
void BM_BmpConverted(benchmark::State& s) {
  static std::vector<uint8_t> f = ImageTool_WriteBMP(Photo(1000, 1000));
  LoadBench(s, kImageBMP, f, false);
}
void BM_DdsCompressed(benchmark::State& s) {
  static std::vector<uint8_t> f = ImageTool_MakeDDS(Photo(1024, 1024), kImgDXT5, 11);
  LoadBench(s, kImageDDS, f, true);
}
void BM_DdsSoftwareDecode(benchmark::State& s) {
  static std::vector<uint8_t> f = ImageTool_MakeDDS(Photo(1024, 1024), kImgDXT5, 0);
  GlExtFlags.ARB_texture_compression = 0;
  for (auto _ : s) benchmark::DoNotOptimize(Image_LoadMemory(kImageDDS, f.data(), f.size()));
  s.SetItemsProcessed(int64_t(s.iterations()) * 1024 * 1024);
}
// The floor for every straight load: copying the same bytes.
void BM_PlainCopy4MiB(benchmark::State& s) {
  std::vector<uint8_t> a(4u << 20, 1), b(4u << 20);
  for (auto _ : s) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
  }
  s.SetBytesProcessed(int64_t(s.iterations()) * int64_t(a.size()));
}
BENCHMARK(BM_TgaStraight)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TgaConverted)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpStraight)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpConverted)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DdsCompressed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DdsSoftwareDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainCopy4MiB)->Unit(benchmark::kMillisecond);

// A material set: 100 animated materials of 4 frames over 64 x 64 TGA pictures, pictures decoded
// and textures registered (no driver upload), the tables emptied before each round.
int PictureLoader(const char* name, int) {
  if (int t = Tex_FindByName(name)) return t;
  if (!Image_Load(name)) return 0;
  return Tex_Create(name, 0x0DE1);
}

void BM_MaterialSet(benchmark::State& state) {
  char dir[] = "/tmp/bench_material_XXXXXX";
  if (!mkdtemp(dir) || chdir(dir) != 0) {
    state.SkipWithError("no temporary folder");
    return;
  }
  for (int i = 0; i < 64; i++)
    ImageTool_Save("p" + std::to_string(i) + ".tga", ImageTool_WriteTGA(Photo(64, 64), 32));
  for (int m = 0; m < 100; m++) {
    std::string text = "[2]";
    for (int f = 0; f < 4; f++) text += " [p" + std::to_string((m * 4 + f) % 64) + "] [0.5]";
    FILE* fp = std::fopen(("m" + std::to_string(m) + ".ma2").c_str(), "wb");
    std::fputs(text.c_str(), fp);
    std::fclose(fp);
  }
  RenderApi = RENDER_API_NONE;
  Material_SetFrameLoader(PictureLoader);
  for (auto _ : state) {
    Tex_FreeAll();
    for (int m = 0; m < 100; m++) benchmark::DoNotOptimize(Material_Load(("m" + std::to_string(m)).c_str()));
  }
  Material_SetFrameLoader(nullptr);
  Tex_FreeAll();
  std::system((std::string("rm -rf ") + dir).c_str());
}
BENCHMARK(BM_MaterialSet)->Unit(benchmark::kMillisecond);

}  // namespace
