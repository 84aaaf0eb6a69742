// BMP files: 24-bit uncompressed pictures, bottom-up or top-down.
#include <cstdlib>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "render/image.h"
#include "render/image_internal.h"

bool BMP_CheckFileHeader(const uint8_t* h) {
  if (h[0] != 'B' || h[1] != 'M') {
    Log_Printf("BMP_CheckFileHeader: type=%c%c.\n", h[0], h[1]);
    return false;
  }
  int32_t offset = int32_t(Img_U32(h + 10));
  if (offset < 54) {
    Log_Printf("BMP_CheckFileHeader: offset=%d.\n", offset);
    return false;
  }
  int32_t width = int32_t(Img_U32(h + 18));
  if (width > kImageMaxWidth || width <= 0) {
    Log_Printf("BMP_CheckFileHeader: width=%d.\n", width);
    return false;
  }
  // A negative height marks a top-down file.
  int32_t height = int32_t(Img_U32(h + 22));
  if (height > kImageMaxHeight || height == 0 || height < -kImageMaxHeight) {
    Log_Printf("BMP_CheckFileHeader: height=%d.\n", height);
    return false;
  }
  int bits = Img_U16(h + 28);
  if (bits != 24) {
    Log_Printf("BMP_CheckFileHeader: bitcount=%d.\n", bits);
    return false;
  }
  int32_t compression = int32_t(Img_U32(h + 30));
  if (compression != 0) {
    Log_Printf("BMP_CheckFileHeader: compression=%d.\n", compression);
    return false;
  }
  return true;
}

ImageDesc* BMP_LoadSource(ImageSource* src) {
  uint8_t h[54];
  if (!ImageSource_ReadAll(src, h, sizeof h) || !BMP_CheckFileHeader(h)) {
    Log_Printf("BMP_Load: false BMP_CheckFileHeader %s.\n", src->name);
    return nullptr;
  }
  uint32_t offset = Img_U32(h + 10);
  int width = int32_t(Img_U32(h + 18));
  int32_t rawHeight = int32_t(Img_U32(h + 22));
  bool topDown = rawHeight < 0;
  int height = topDown ? -rawHeight : rawHeight;
  size_t rowBytes = (size_t(width) * 3 + 3) & ~size_t(3);
  if (uint64_t(offset) + rowBytes * size_t(height) > ImageSource_Size(src)) {
    Log_Printf("BMP_Load: %s is truncated (offset %u).\n", src->name, offset);
    return nullptr;
  }
  if (!ImageSource_Skip(src, offset - 54)) {
    Log_Printf("BMP_Load: %s is truncated.\n", src->name);
    return nullptr;
  }
  ImageDesc* d = &g_imageDesc;
  if (!topDown && width >= 4 && Image_DriverGeneratesMipmaps() && Image_IsStraightSide(width) &&
      Image_IsStraightSide(height)) {
    if (!ImageSource_ReadAll(src, d->pixels, size_t(width) * size_t(height) * 3)) {
      Log_Printf("BMP_Load: %s is truncated.\n", src->name);
      return nullptr;
    }
    d->width = width;
    d->height = height;
    d->format = kImgBGR;
    d->hasAlpha = 0;
    return d;
  }
  auto* data = static_cast<uint8_t*>(Global_Malloc(rowBytes * size_t(height), "BMPLoad"));
  if (!data) return nullptr;
  if (!ImageSource_ReadAll(src, data, rowBytes * size_t(height))) {
    Log_Printf("BMP_Load: %s is truncated.\n", src->name);
    Global_Free(data);
    return nullptr;
  }
  for (int y = 0; y < height; y++) {
    const uint8_t* in = data + size_t(topDown ? height - 1 - y : y) * rowBytes;
    uint8_t* out = d->pixels + size_t(y) * size_t(width) * 4;
    for (int x = 0; x < width; x++, in += 3, out += 4) {
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
      out[3] = 255;
    }
  }
  Global_Free(data);
  d->width = width;
  d->height = height;
  d->format = kImgBGRA;
  d->hasAlpha = 0;
  return d;
}
