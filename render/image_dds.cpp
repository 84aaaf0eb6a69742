// DDS files with DXT1, DXT3 or DXT5 blocks, and the software block decoders.
#include <cstring>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "render/image.h"
#include "render/image_internal.h"

static inline void Expand565(uint16_t c, uint8_t* bgr) {
  bgr[0] = uint8_t((c & 0x1F) << 3);
  bgr[1] = uint8_t(((c >> 5) & 0x3F) << 2);
  bgr[2] = uint8_t((c >> 11) << 3);
}

// Palette of a colour block as 4 B, G, R, A entries.
static void ColourPalette(const uint8_t* block, bool dxt1, uint8_t pal[4][4]) {
  uint16_t c0 = Img_U16(block), c1 = Img_U16(block + 2);
  Expand565(c0, pal[0]);
  Expand565(c1, pal[1]);
  pal[0][3] = pal[1][3] = 255;
  if (!dxt1 || c0 > c1) {
    for (int k = 0; k < 3; k++) {
      pal[2][k] = uint8_t((2 * pal[0][k] + pal[1][k]) / 3);
      pal[3][k] = uint8_t((pal[0][k] + 2 * pal[1][k]) / 3);
    }
    pal[2][3] = pal[3][3] = 255;
  } else {
    for (int k = 0; k < 3; k++) pal[2][k] = uint8_t((pal[0][k] + pal[1][k]) / 2);
    pal[2][3] = 255;
    pal[3][0] = pal[3][1] = pal[3][2] = pal[3][3] = 0;
  }
}

// Writes one block's 16 texels (colour from the palette, alpha from `alpha` unless null),
// skipping texels outside the image.
static void PutBlock(const uint8_t* colour, bool dxt1, const uint8_t* alpha, uint8_t* texels,
                     int width, int height, int bx, int by) {
  uint8_t pal[4][4];
  ColourPalette(colour, dxt1, pal);
  uint32_t idx = Img_U32(colour + 4);
  for (int y = 0; y < 4; y++) {
    int py = by * 4 + y;
    if (py >= height) break;
    for (int x = 0; x < 4; x++) {
      int px = bx * 4 + x;
      if (px >= width) break;
      const uint8_t* p = pal[(idx >> (2 * (4 * y + x))) & 3];
      uint8_t* t = texels + (size_t(py) * size_t(width) + size_t(px)) * 4;
      t[0] = p[0];
      t[1] = p[1];
      t[2] = p[2];
      t[3] = alpha ? alpha[4 * y + x] : p[3];
    }
  }
}

void DDS_DecodeDXT1(const uint8_t* blocks, uint8_t* texels, int width, int height) {
  int bw = (width + 3) / 4, bh = (height + 3) / 4;
  for (int by = 0; by < bh; by++)
    for (int bx = 0; bx < bw; bx++, blocks += 8)
      PutBlock(blocks, true, nullptr, texels, width, height, bx, by);
}

void DDS_DecodeDXT3(const uint8_t* blocks, uint8_t* texels, int width, int height) {
  int bw = (width + 3) / 4, bh = (height + 3) / 4;
  uint8_t alpha[16];
  for (int by = 0; by < bh; by++)
    for (int bx = 0; bx < bw; bx++, blocks += 16) {
      for (int y = 0; y < 4; y++) {
        uint16_t row = Img_U16(blocks + 2 * y);
        for (int x = 0; x < 4; x++) alpha[4 * y + x] = uint8_t(((row >> (4 * x)) & 15) * 17);
      }
      PutBlock(blocks + 8, false, alpha, texels, width, height, bx, by);
    }
}

void DDS_DecodeDXT5(const uint8_t* blocks, uint8_t* texels, int width, int height) {
  int bw = (width + 3) / 4, bh = (height + 3) / 4;
  uint8_t alpha[16];
  for (int by = 0; by < bh; by++)
    for (int bx = 0; bx < bw; bx++, blocks += 16) {
      int a0 = blocks[0], a1 = blocks[1];
      uint8_t table[8];
      table[0] = uint8_t(a0);
      table[1] = uint8_t(a1);
      if (a0 > a1) {
        for (int i = 1; i <= 6; i++) table[1 + i] = uint8_t(((7 - i) * a0 + i * a1) / 7);
      } else {
        for (int i = 1; i <= 4; i++) table[1 + i] = uint8_t(((5 - i) * a0 + i * a1) / 5);
        table[6] = 0;
        table[7] = 255;
      }
      uint64_t bits = 0;
      for (int i = 0; i < 6; i++) bits |= uint64_t(blocks[2 + i]) << (8 * i);
      for (int i = 0; i < 16; i++) alpha[i] = table[(bits >> (3 * i)) & 7];
      PutBlock(blocks + 8, false, alpha, texels, width, height, bx, by);
    }
}

ImageDesc* DDS_LoadSource(ImageSource* src) {
  uint8_t h[128];
  if (!ImageSource_ReadAll(src, h, sizeof h) || std::memcmp(h, "DDS ", 4) != 0) {
    Log_Printf("DDS_Load: false DDS_CheckFileHeader %s.\n", src->name);
    return nullptr;
  }
  int32_t height = int32_t(Img_U32(h + 12));
  int32_t width = int32_t(Img_U32(h + 16));
  uint32_t mips = Img_U32(h + 28);
  uint32_t pfFlags = Img_U32(h + 80);
  uint32_t format;
  int hasAlpha;
  if (std::memcmp(h + 84, "DXT1", 4) == 0) {
    format = (pfFlags & 1) ? kImgDXT1A : kImgDXT1;
    hasAlpha = (pfFlags & 1) ? 1 : 0;
  } else if (std::memcmp(h + 84, "DXT3", 4) == 0) {
    format = kImgDXT3;
    hasAlpha = 1;
  } else if (std::memcmp(h + 84, "DXT5", 4) == 0) {
    format = kImgDXT5;
    hasAlpha = 1;
  } else {
    return nullptr;
  }
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
    Log_Printf("DDS_Load: bad size %dx%d in %s.\n", width, height, src->name);
    return nullptr;
  }
  // No more levels than the chain down to 1 x 1 has.
  uint32_t maxLevels = 1;
  for (int s = width > height ? width : height; s > 1; s >>= 1) maxLevels++;
  if (mips > maxLevels) mips = maxLevels;

  ImageDesc* d = &g_imageDesc;
  if (Image_DriverCompresses()) {
    int64_t total = 0;
    int levels = mips == 0 ? 1 : int(mips);
    for (int i = 0, w = width, hh = height; i < levels; i++, w /= 2, hh /= 2)
      total += Image_DxtLevelBytes(format, w, hh);
    if (total > kImageRoom) {
      Log_Printf("DDS_Load: %s too large (%dx%d, %lld bytes).\n", src->name, width, height,
                 (long long)total);
      return nullptr;
    }
    if (!ImageSource_ReadAll(src, d->pixels, size_t(total))) {
      Log_Printf("DDS_Load: %s is truncated.\n", src->name);
      return nullptr;
    }
    d->width = width;
    d->height = height;
    d->format = format;
    d->hasAlpha = hasAlpha;
    d->mipCount = int32_t(mips);
    return d;
  }
  if (int64_t(width) * height * 4 > kImageRoom) {
    Log_Printf("DDS_Load: %s too large (%dx%d).\n", src->name, width, height);
    return nullptr;
  }
  int64_t bytes = Image_DxtLevelBytes(format, width, height);
  auto* blocks = static_cast<uint8_t*>(Global_Malloc(size_t(bytes), "DDSSLd"));
  if (!blocks) return nullptr;
  if (!ImageSource_ReadAll(src, blocks, size_t(bytes))) {
    Log_Printf("DDS_Load: %s is truncated.\n", src->name);
    Global_Free(blocks);
    return nullptr;
  }
  if (format == kImgDXT3)
    DDS_DecodeDXT3(blocks, d->pixels, width, height);
  else if (format == kImgDXT5)
    DDS_DecodeDXT5(blocks, d->pixels, width, height);
  else
    DDS_DecodeDXT1(blocks, d->pixels, width, height);
  Global_Free(blocks);
  d->width = width;
  d->height = height;
  d->format = kImgBGRA;
  d->hasAlpha = hasAlpha;
  d->mipCount = int32_t(mips);
  return d;
}
