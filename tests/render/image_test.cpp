// The picture loaders on files made by the project's writers, and on hostile files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/var.h"
#include "render/image.h"
#include "render/glext.h"
#include "render/image_internal.h"
#include "support/render_support.h"
#include "tools/image_writer.h"

namespace {

class ImageTest : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    LoggedTest::SetUp();
    savedFlags_ = GlExtFlags;
  }
  void TearDown() override {
    LoggedTest::TearDown();
    GlExtFlags = savedFlags_;
  }
  void Save(const std::string& name, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(ImageTool_Save(name, bytes));
  }
  GlExtFlagSet savedFlags_{};
};

// Texel (x, y) of a loaded picture with 3 or 4 bytes per texel.
const uint8_t* Texel(const ImageDesc* d, int x, int y) {
  int bpp = d->format == kImgBGR ? 3 : 4;
  return d->pixels + (size_t(y) * size_t(d->width) + size_t(x)) * size_t(bpp);
}

void ExpectSameRgb(const ImageDesc* d, const ToolImage& img, bool alpha255) {
  ASSERT_EQ(d->width, img.width);
  ASSERT_EQ(d->height, img.height);
  for (int y = 0; y < img.height; y++)
    for (int x = 0; x < img.width; x++) {
      const uint8_t* t = Texel(d, x, y);
      const uint8_t* e = img.At(x, y);
      ASSERT_EQ(0, std::memcmp(t, e, 3)) << "at " << x << "," << y;
      if (d->format == kImgBGRA && alpha255) {
        ASSERT_EQ(t[3], 255);
      }
    }
}

// BMP and TGA files of every kind the writers make arrive bottom row first with their colours;
// 3-byte texels only for power-of-two BMPs when the driver makes mipmaps, and for straight TGAs.
TEST_F(ImageTest, BmpAndTgaVariantsLoadBackTheSamePicture) {
  struct Case {
    const char* file;
    int w, h, bits;
    bool topDown, alpha, sgis;
    int format, hasAlpha;
  } cases[] = {
      {"a.bmp", 256, 128, 24, false, false, true, kImgBGR, 0},
      {"a.bmp", 256, 128, 24, false, false, false, kImgBGRA, 0},
      {"b.bmp", 101, 37, 24, false, false, false, kImgBGRA, 0},  // odd size: row padding
      {"c.bmp", 64, 32, 24, true, false, false, kImgBGRA, 0},
      {"t.tga", 64, 32, 24, true, false, true, kImgBGRA, 0},
      {"s.tga", 32, 16, 24, false, false, true, kImgBGR, 0},
      {"u.tga", 32, 16, 32, false, true, true, kImgBGRA, 1},
      {"v.tga", 32, 16, 32, false, true, false, kImgBGRA, 1},
  };
  int seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + (c.sgis ? " with driver mipmaps" : ""));
    ToolImage img = ImageTool_Pattern(c.w, c.h, seed++, c.alpha);
    bool bmp = c.file[2] == 'b';
    Save(c.file, bmp ? ImageTool_WriteBMP(img, c.topDown) : ImageTool_WriteTGA(img, c.bits, c.topDown));
    GlExtFlags.SGIS_generate_mipmap = c.sgis;
    ImageDesc* d = bmp ? BMP_Load(c.file) : TGA_Load(c.file);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->format, c.format);
    EXPECT_EQ(d->hasAlpha, c.hasAlpha);
    if (c.alpha)
      EXPECT_EQ(0, std::memcmp(d->pixels, img.bgra.data(), img.bgra.size()));
    else
      ExpectSameRgb(d, img, true);
  }
}

// Pictures up to 1600 x 1200 load; one more column or row is refused with the header's log line.
TEST_F(ImageTest, SizeLimits) {
  const struct {
    const char* file;
    int w, h;
    const char* line;
  } cases[] = {{"ok.bmp", 1600, 1200, nullptr},
               {"wide.bmp", 1601, 2, "BMP_CheckFileHeader: width=1601.\nBMP_Load: false BMP_CheckFileHeader wide.bmp.\n"},
               {"tall.bmp", 2, 1201, "BMP_CheckFileHeader: height=1201.\n"},
               {"ok.tga", 1600, 1200, nullptr},
               {"w.tga", 1601, 1, "TGA_CheckFileHeader: width:1601 height:1.\n"},
               {"fits.jpg", 1600, 1200, nullptr},
               {"big.jpg", 2048, 1536, "JPEG_Load: big.jpg too large (2048x1536).\n"}};
  for (const auto& c : cases) {
    ToolImage img = ImageTool_Solid(c.w, c.h, 10, 20, 30, 255);
    const std::string ext = std::string(c.file).substr(std::string(c.file).size() - 3);
    Save(c.file, ext == "bmp" ? ImageTool_WriteBMP(img) : ext == "tga" ? ImageTool_WriteTGA(img, 24) : ImageTool_WriteJPEG(img, 50));
    ImageDesc* d = ext == "bmp" ? BMP_Load(c.file) : ext == "tga" ? TGA_Load(c.file) : JPEG_Load(c.file);
    EXPECT_EQ(d != nullptr, c.line == nullptr) << c.file;
    if (c.line) {
      EXPECT_NE(Log().find(c.line), std::string::npos) << c.line;
    }
  }
}

TEST_F(ImageTest, BmpHostileHeadersAreRefused) {
  std::vector<uint8_t> good = ImageTool_WriteBMP(ImageTool_Pattern(8, 8, 4, false));
  auto patch32 = [](std::vector<uint8_t> f, size_t at, int32_t v) {
    for (int i = 0; i < 4; i++) f[at + i] = uint8_t(uint32_t(v) >> (8 * i));
    return f;
  };
  std::vector<uint8_t> bits32 = good;
  bits32[28] = 32;
  EXPECT_EQ(Image_LoadMemory(kImageBMP, bits32.data(), bits32.size()), nullptr);
  EXPECT_NE(Log().find("BMP_CheckFileHeader: bitcount=32.\n"), std::string::npos);
  // Data offsets inside the header and past the file, a negative width, more top-down rows than
  // the file has, compression.
  const std::pair<size_t, int32_t> patches[] = {{10, 20}, {10, 1 << 30}, {18, -5}, {22, -100}, {30, 1}};
  for (const auto& [at, value] : patches) {
    std::vector<uint8_t> v = patch32(good, at, value);
    EXPECT_EQ(Image_LoadMemory(kImageBMP, v.data(), v.size()), nullptr) << at << " " << value;
  }
  EXPECT_NE(Log().find("BMP_CheckFileHeader: width=-5.\n"), std::string::npos);
  EXPECT_NE(Log().find("BMP_CheckFileHeader: compression=1.\n"), std::string::npos);
  std::vector<uint8_t> v = good;
  v[0] = 'X';
  EXPECT_EQ(Image_LoadMemory(kImageBMP, v.data(), v.size()), nullptr);
  EXPECT_NE(Log().find("BMP_CheckFileHeader: type=XM.\n"), std::string::npos);
  for (size_t n = 0; n < good.size(); n += 7)
    EXPECT_EQ(Image_LoadMemory(kImageBMP, good.data(), n), nullptr) << n;
}

// ---- TGA ----

TEST_F(ImageTest, TgaGreyBecomesOpaqueGreyAndColourMapAndIdAreSkipped) {
  ToolImage img = ImageTool_Pattern(10, 7, 7, false);
  Save("g.tga", ImageTool_WriteTGA(img, 8, true));
  ImageDesc* d = TGA_Load("g.tga");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->format, kImgBGRA);
  EXPECT_EQ(d->hasAlpha, 0);
  for (int y = 0; y < 7; y++)
    for (int x = 0; x < 10; x++) {
      const uint8_t g = img.At(x, y)[1], want[4] = {g, g, g, 255};
      ASSERT_EQ(0, std::memcmp(Texel(d, x, y), want, 4)) << x << "," << y;
    }
  // A colour map and an ID are skipped: an ID of 3 bytes and a colour map of 4 entries of 24 bits
  // in front of the data.
  img = ImageTool_Pattern(6, 3, 9, false);
  std::vector<uint8_t> f = ImageTool_WriteTGA(img, 24, false);
  f[0] = 3;
  f[1] = 1;
  f[5] = 4;
  f[7] = 24;
  std::vector<uint8_t> extra(3 + 12, 0xEE);
  f.insert(f.begin() + 18, extra.begin(), extra.end());
  d = Image_LoadMemory(kImageTGA, f.data(), f.size());
  ASSERT_NE(d, nullptr);
  ExpectSameRgb(d, img, true);
}

TEST_F(ImageTest, TgaRefusals) {
  Save("r.tga", ImageTool_WriteTGA(ImageTool_Pattern(4, 4, 1, false), 24, false, true));
  EXPECT_EQ(TGA_Load("r.tga"), nullptr);
  EXPECT_NE(Log().find("TGA_CheckFileHeader: type:10 bits:24.\n"), std::string::npos);
  EXPECT_NE(Log().find("TGA_Load: false TGA_CheckFileHeader r.tga.\n"), std::string::npos);
  std::vector<uint8_t> t16 = ImageTool_WriteTGA(ImageTool_Pattern(4, 4, 1, false), 24);
  t16[16] = 16;
  EXPECT_EQ(Image_LoadMemory(kImageTGA, t16.data(), t16.size()), nullptr);
  std::vector<uint8_t> good = ImageTool_WriteTGA(ImageTool_Pattern(5, 5, 1, false), 24);
  for (size_t n = 0; n < good.size(); n += 5)
    EXPECT_EQ(Image_LoadMemory(kImageTGA, good.data(), n), nullptr) << n;
}

// ---- DXT decoding ----

std::vector<uint8_t> ColourBlock(uint16_t c0, uint16_t c1, uint32_t idx) {
  return {uint8_t(c0), uint8_t(c0 >> 8), uint8_t(c1), uint8_t(c1 >> 8),
          uint8_t(idx), uint8_t(idx >> 8), uint8_t(idx >> 16), uint8_t(idx >> 24)};
}

TEST(ImageDxt, ColourBlocksDxt3AlphaAndBothDxt5AlphaTables) {
  // Texel i takes palette entry i. c0 > c1: four colours without bit replication; c0 <= c1: three
  // and transparent black; the same colours in a DXT3 block are four-colour.
  const struct {
    uint16_t c0, c1;
    bool dxt3;
    uint8_t texels[4][4];
  } cases[] = {{0xFFFF, 0x0000, false, {{248, 252, 248, 255}, {0, 0, 0, 255}, {165, 168, 165, 255}, {82, 84, 82, 255}}},
               {0x001F, 0xF800, false, {{248, 0, 0, 255}, {0, 0, 248, 255}, {124, 0, 124, 255}, {0, 0, 0, 0}}},
               {0x001F, 0xF800, true, {{248, 0, 0, 0}, {0, 0, 248, 0}, {165, 0, 82, 0}, {82, 0, 165, 0}}}};
  for (const auto& c : cases) {
    std::vector<uint8_t> b = ColourBlock(c.c0, c.c1, 0b11100100);
    uint8_t out[16 * 4];
    if (c.dxt3) {
      std::vector<uint8_t> a = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};  // nibble i is i
      b.insert(b.begin(), a.begin(), a.end());
      DDS_DecodeDXT3(b.data(), out, 4, 4);
      for (int i = 0; i < 16; i++) EXPECT_EQ(out[4 * i + 3], i * 17) << i;  // alpha nibbles times 17
    } else {
      DDS_DecodeDXT1(b.data(), out, 4, 4);
    }
    for (int i = 0; i < 4; i++)
      EXPECT_EQ(0, std::memcmp(out + 4 * i, c.texels[i], c.dxt3 ? 3 : 4)) << c.c0 << " " << c.dxt3 << " " << i;
  }
  // DXT5: both alpha tables.
  uint8_t out[16 * 4];
  // Indices 0..7 in the first 8 texels, 0 elsewhere.
  uint64_t bits = 0;
  for (int i = 0; i < 8; i++) bits |= uint64_t(i) << (3 * i);
  auto make = [&](uint8_t a0, uint8_t a1) {
    std::vector<uint8_t> b = {a0, a1};
    for (int i = 0; i < 6; i++) b.push_back(uint8_t(bits >> (8 * i)));
    std::vector<uint8_t> c = ColourBlock(0xFFFF, 0, 0);
    b.insert(b.end(), c.begin(), c.end());
    return b;
  };
  std::vector<uint8_t> b = make(200, 10);
  DDS_DecodeDXT5(b.data(), out, 4, 4);
  const int eight[8] = {200, 10, (6 * 200 + 10) / 7, (5 * 200 + 20) / 7, (4 * 200 + 30) / 7,
                        (3 * 200 + 40) / 7, (2 * 200 + 50) / 7, (200 + 60) / 7};
  for (int i = 0; i < 8; i++) EXPECT_EQ(out[4 * i + 3], eight[i]) << i;
  b = make(10, 200);
  DDS_DecodeDXT5(b.data(), out, 4, 4);
  const int six[8] = {10, 200, (40 + 200) / 5, (30 + 400) / 5, (20 + 600) / 5, (10 + 800) / 5, 0, 255};
  for (int i = 0; i < 8; i++) EXPECT_EQ(out[4 * i + 3], six[i]) << i;
  EXPECT_EQ(out[4 * 8 + 3], 10);
}

TEST(ImageDxt, PartialBlocksAreClipped) {
  // 6 x 6: 2 x 2 blocks; the texels beyond column and row 5 are dropped.
  std::vector<uint8_t> blocks;
  const uint16_t colours[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
  for (int i = 0; i < 4; i++) {
    std::vector<uint8_t> c = ColourBlock(colours[i], 0, 0);
    blocks.insert(blocks.end(), c.begin(), c.end());
  }
  std::vector<uint8_t> out(6 * 6 * 4 + 16, 0xAB);
  DDS_DecodeDXT1(blocks.data(), out.data(), 6, 6);
  for (size_t i = 6 * 6 * 4; i < out.size(); i++) EXPECT_EQ(out[i], 0xAB);
  // Block (0, 0) red, (1, 0) green, (0, 1) blue, (1, 1) white: B, R of texels (3, 3), (4, 3), (1, 5), (5, 5).
  std::vector<int> got;
  for (auto [x, y] : {std::pair{3, 3}, {4, 3}, {1, 5}, {5, 5}})
    got.push_back(out[(size_t(y) * 6 + size_t(x)) * 4]), got.push_back(out[(size_t(y) * 6 + size_t(x)) * 4 + 2]);
  EXPECT_EQ(got, std::vector<int>({0, 248, 0, 0, 248, 0, 248, 248}));
}

// ---- DDS files ----

TEST_F(ImageTest, DdsKeepsItsBlocksOrDecodesLevelZero) {
  GlExtFlags.ARB_texture_compression = 1;
  std::vector<uint8_t> f = ImageTool_MakeDDS(ImageTool_Pattern(256, 64, 11, true), kImgDXT5, 9);
  ASSERT_EQ(f.size(), 128u + 16384 + 4096 + 1024 + 256 + 64 + 32 + 16 + 16 + 16);
  Save("m.dds", f);
  ImageDesc* d = DDS_Load("m.dds");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(std::vector<int>({int(d->format), d->mipCount, d->hasAlpha, d->height}),
            std::vector<int>({kImgDXT5, 9, 1, 64}));
  EXPECT_EQ(0, std::memcmp(d->pixels, f.data() + 128, f.size() - 128));
  // DXT1 with and without the alpha flag.
  for (int alpha = 0; alpha < 2; alpha++) {
    f = ImageTool_MakeDDS(ImageTool_Pattern(8, 8, 1, alpha), alpha ? 0x83F1 : 0x83F0, 0);
    d = Image_LoadMemory(kImageDDS, f.data(), f.size());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(std::vector<int>({int(d->format), d->hasAlpha}), std::vector<int>({int(alpha ? kImgDXT1A : kImgDXT1), alpha}));
  }
  // Without compression level 0 is decoded.
  GlExtFlags.ARB_texture_compression = 0;
  f = ImageTool_MakeDDS(ImageTool_Pattern(16, 8, 12, false), kImgDXT1, 5);
  d = Image_LoadMemory(kImageDDS, f.data(), f.size());
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(std::vector<int>({int(d->format), d->mipCount}), std::vector<int>({kImgBGRA, 5}));
  std::vector<uint8_t> expect(16 * 8 * 4);
  DDS_DecodeDXT1(f.data() + 128, expect.data(), 16, 8);
  EXPECT_EQ(0, std::memcmp(d->pixels, expect.data(), expect.size()));
}

TEST_F(ImageTest, DdsHostileFilesAreRefused) {
  std::vector<uint8_t> small = ImageTool_MakeDDS(ImageTool_Pattern(8, 8, 1, false), kImgDXT5, 0);
  for (bool compression : {true, false}) {
    GlExtFlags.ARB_texture_compression = compression;
    // 4096 x 4096 DXT5 is 16 MiB of blocks, 64 MiB decoded: beyond the room either way.
    std::vector<uint8_t> big = ImageTool_WriteDDS(4096, 4096, "DXT5", false, 0, std::vector<uint8_t>(64));
    EXPECT_EQ(Image_LoadMemory(kImageDDS, big.data(), big.size()), nullptr);
    // A lying mip count is held to the levels the size allows; the data then runs short.
    std::vector<uint8_t> lying = small;
    lying[28] = lying[29] = lying[30] = lying[31] = 0xFF;
    ImageDesc* d = Image_LoadMemory(kImageDDS, lying.data(), lying.size());
    if (compression) {
      EXPECT_EQ(d, nullptr);
    } else {
      ASSERT_NE(d, nullptr);  // only level 0 is read then
      EXPECT_EQ(d->mipCount, 4);
    }
    std::vector<uint8_t> neg = small;
    neg[15] = 0x80;
    EXPECT_EQ(Image_LoadMemory(kImageDDS, neg.data(), neg.size()), nullptr);
    for (size_t n = 0; n < small.size(); n += 9)
      EXPECT_EQ(Image_LoadMemory(kImageDDS, small.data(), n), nullptr) << n;
  }
  // A mip count beyond the chain is held to it (8x4, 4x2, 2x1, 1x1).
  GlExtFlags.ARB_texture_compression = 1;
  std::vector<uint8_t> chain = ImageTool_MakeDDS(ImageTool_Pattern(8, 4, 1, false), kImgDXT1, 4);
  chain[28] = 200;
  ImageDesc* held = Image_LoadMemory(kImageDDS, chain.data(), chain.size());
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(held->mipCount, 4);
  std::vector<uint8_t> other = small;
  std::memcpy(other.data() + 84, "ATI2", 4);
  EXPECT_EQ(Image_LoadMemory(kImageDDS, other.data(), other.size()), nullptr);
  std::vector<uint8_t> magic = small;
  magic[0] = 'X';
  EXPECT_EQ(Image_LoadMemory(kImageDDS, magic.data(), magic.size()), nullptr);
  EXPECT_NE(Log().find("DDS_Load: false DDS_CheckFileHeader (memory).\n"), std::string::npos);
}

// ---- JPEG ----

TEST_F(ImageTest, JpegRoundTripBottomRowFirstAndGreyBecomesGreyTexels) {
  // A smooth picture, so that quality 100 reproduces it closely, with a red top row.
  ToolImage img = ImageTool_Solid(40, 24, 0, 0, 255, 255);
  for (int y = 0; y < 23; y++)
    for (int x = 0; x < 40; x++) std::memcpy(img.At(x, y), std::array<uint8_t, 3>{uint8_t(x * 4), uint8_t(y * 8), 100}.data(), 3);
  Save("p.jpg", ImageTool_WriteJPEG(img, 100));
  ImageDesc* d = JPEG_Load("p.jpg");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->width, 40);
  EXPECT_EQ(d->format, kImgBGRA);
  EXPECT_EQ(d->hasAlpha, 0);
  int worst = 0;
  for (int y = 0; y < 22; y++)  // the sharp edge at the top rings a little
    for (int x = 0; x < 40; x++)
      for (int k = 0; k < 3; k++) worst = std::max(worst, std::abs(int(Texel(d, x, y)[k]) - int(img.At(x, y)[k])));
  EXPECT_LE(worst, 8);
  EXPECT_GT(Texel(d, 10, 23)[2], 230);
  EXPECT_LT(Texel(d, 10, 23)[1], 30);
  EXPECT_EQ(Texel(d, 10, 23)[3], 255);
  // Grey becomes grey texels.
  Save("g.jpg", ImageTool_WriteJPEG(ImageTool_Solid(16, 16, 0, 90, 0, 255), 100, true));
  d = JPEG_Load("g.jpg");
  ASSERT_NE(d, nullptr);
  for (int k = 0; k < 3; k++) EXPECT_NEAR(Texel(d, 5, 5)[k], 90, 2);
  EXPECT_EQ(Texel(d, 5, 5)[3], 255);
}

// ---- Image_Load ----

TEST_F(ImageTest, DdsWinsOverTgaOfTheSameName) {
  GlExtFlags.ARB_texture_compression = 1;
  Save("pic.tga", ImageTool_WriteTGA(ImageTool_Pattern(8, 8, 1, false), 24));
  Save("pic.dds", ImageTool_MakeDDS(ImageTool_Pattern(8, 8, 1, false), kImgDXT1, 0));
  ImageDesc* d = Image_Load("pic");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->format, kImgDXT1);
  Save("only.bmp", ImageTool_WriteBMP(ImageTool_Pattern(8, 8, 1, false)));
  EXPECT_NE(Image_Load("only"), nullptr);
  EXPECT_EQ(Image_Load(nullptr), nullptr);
  for (const std::string& name : {std::string("missing"), std::string(), std::string(300, 'a'), std::string(252, 'a')})
    EXPECT_EQ(Image_Load(name.c_str()), nullptr) << name.size();
}

// A picture that loads is copied, under its own name, into the folder "copy_directory" names;
// the extensions tried before it are not.
TEST_F(ImageTest, LoadedPictureIsCopiedToTheCopyDirectory) {
  static VarRecord copyDir{"copy_directory", 0, 0, 0.0f, "copies", 0, nullptr};
  VarRecord* v = Var_Find("copy_directory");
  if (!v) v = Var_Register(&copyDir);
  char saved[sizeof v->text];
  std::memcpy(saved, v->text, sizeof saved);
  std::snprintf(v->text, sizeof v->text, "copies");
  tw_test::WriteFile("sub/readme.txt", "");
  Save("sub/pic.tga", ImageTool_WriteTGA(ImageTool_Pattern(4, 4, 1, false), 24));
  EXPECT_NE(Image_Load("sub\\pic"), nullptr);
  std::memcpy(v->text, saved, sizeof saved);
  EXPECT_TRUE(tw_test::FileExists("copies/sub/pic.tga"));
  EXPECT_FALSE(tw_test::FileExists("copies/sub/pic.dds"));
  EXPECT_FALSE(tw_test::FileExists("copies/sub/readme.txt"));
}

// A side is clamped to the driver's largest texture, then rounded up to a power of two: 1 for
// one texel or none, up to 1024 the next power, 2048 for anything above 1024.
TEST(ImageRounding, PowerOfTwoSides) {
  const int cases[][3] = {{0, 2048, 1},       {1, 2048, 1},       {3, 2048, 4},       {100, 2048, 128},
                          {1024, 2048, 1024}, {1025, 2048, 2048}, {5000, 2048, 2048}, {3000, 8192, 2048},
                          {1200, 1024, 1024}, {1200, 512, 512},   {-5, 2048, 1}};
  for (const auto& c : cases) EXPECT_EQ(Image_RoundPow2(c[0], c[1]), c[2]) << c[0] << " " << c[1];
}

}  // namespace
