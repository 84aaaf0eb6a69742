// TGA files: uncompressed true-colour (24 or 32 bits) and grey pictures.
#include "foundation/log.h"
#include "foundation/mem.h"
#include "render/image.h"
#include "render/image_internal.h"

bool TGA_CheckFileHeader(const uint8_t* h) {
  int width = Img_U16(h + 12), height = Img_U16(h + 14);
  int type = h[2], bits = h[16];
  if (width > kImageMaxWidth || height > kImageMaxHeight || width == 0 || height == 0) {
    Log_Printf("TGA_CheckFileHeader: width:%i height:%i.\n", width, height);
    return false;
  }
  if (!((type == 2 && (bits == 24 || bits == 32)) || type == 3)) {
    Log_Printf("TGA_CheckFileHeader: type:%i bits:%i.\n", type, bits);
    return false;
  }
  return true;
}

ImageDesc* TGA_LoadSource(ImageSource* src) {
  uint8_t h[18];
  if (!ImageSource_ReadAll(src, h, sizeof h) || !TGA_CheckFileHeader(h)) {
    Log_Printf("TGA_Load: false TGA_CheckFileHeader %s.\n", src->name);
    return nullptr;
  }
  int width = Img_U16(h + 12), height = Img_U16(h + 14);
  int type = h[2], bits = h[16];
  bool topFirst = (h[17] & 0x20) != 0;
  // The image ID, then a colour map when one is declared (its entries are not used).
  size_t skip = h[0];
  if (h[1] == 1) skip += size_t(Img_U16(h + 5)) * ((size_t(h[7]) + 7) / 8);
  if (!ImageSource_Skip(src, skip)) {
    Log_Printf("TGA_Load: %s is truncated.\n", src->name);
    return nullptr;
  }
  ImageDesc* d = &g_imageDesc;
  size_t texels = size_t(width) * size_t(height);
  if (type == 2 && !topFirst && Image_DriverGeneratesMipmaps() && Image_IsStraightSide(width) &&
      Image_IsStraightSide(height)) {
    if (!ImageSource_ReadAll(src, d->pixels, texels * size_t(bits / 8))) {
      Log_Printf("TGA_Load: %s is truncated.\n", src->name);
      return nullptr;
    }
    d->width = width;
    d->height = height;
    d->format = bits == 32 ? kImgBGRA : kImgBGR;
    d->hasAlpha = bits == 32 ? 1 : 0;
    return d;
  }
  int bpp = type == 3 ? 1 : bits / 8;
  size_t bytes = texels * size_t(bpp);
  auto* data = static_cast<uint8_t*>(Global_Malloc(bytes, "TGALoad"));
  if (!data) {
    Log_Printf("TGA_Load: malloc %s.\n", src->name);
    return nullptr;
  }
  if (!ImageSource_ReadAll(src, data, bytes)) {
    Log_Printf("TGA_Load: %s is truncated.\n", src->name);
    Global_Free(data);
    return nullptr;
  }
  for (int y = 0; y < height; y++) {
    const uint8_t* in = data + size_t(topFirst ? height - 1 - y : y) * size_t(width) * size_t(bpp);
    uint8_t* out = d->pixels + size_t(y) * size_t(width) * 4;
    for (int x = 0; x < width; x++, in += bpp, out += 4) {
      if (bpp == 1) {
        out[0] = out[1] = out[2] = in[0];
        out[3] = 255;
      } else {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out[3] = bpp == 4 ? in[3] : 255;
      }
    }
  }
  Global_Free(data);
  d->width = width;
  d->height = height;
  d->format = kImgBGRA;
  d->hasAlpha = type == 2 && bits == 32 ? 1 : 0;
  return d;
}
