#include <cstdio>
#include <cstring>

#include "foundation/file.h"
#include "foundation/log.h"
#include "render/image.h"
#include "render/image_internal.h"

ImageDesc g_imageDesc;

size_t ImageSource_Read(ImageSource* src, void* buffer, size_t n) {
  if (n == 0) return 0;
  if (src->file) return File_Read(buffer, 1, n, src->file);
  size_t left = src->size - src->pos;
  if (n > left) n = left;
  if (n) std::memcpy(buffer, src->data + src->pos, n);
  src->pos += n;
  return n;
}

bool ImageSource_ReadAll(ImageSource* src, void* buffer, size_t n) {
  return ImageSource_Read(src, buffer, n) == n;
}

bool ImageSource_Skip(ImageSource* src, size_t n) {
  uint8_t scratch[512];
  while (n > 0) {
    size_t step = n < sizeof scratch ? n : sizeof scratch;
    if (ImageSource_Read(src, scratch, step) != step) return false;
    n -= step;
  }
  return true;
}

uint64_t ImageSource_Size(ImageSource* src) {
  return src->file ? File_Size(src->file) : src->size;
}

int Image_RoundPow2(int side, int maxSize) {
  if (maxSize > 0 && side > maxSize) side = maxSize;
  if (side <= 1) return 1;
  if (side > 1024) return 2048;
  int p = 2;
  while (p < side) p <<= 1;
  return p;
}

bool Image_IsStraightSide(int side) {
  if (side < 3) return false;
  return Image_RoundPow2(side, Image_DriverMaxTextureSize()) == side;
}

int64_t Image_DxtLevelBytes(uint32_t format, int w, int h) {
  int64_t block = 0;
  if (format == kImgDXT1 || format == kImgDXT1A) block = 8;
  if (format == kImgDXT3 || format == kImgDXT5) block = 16;
  if (w < 1) w = 1;
  if (h < 1) h = 1;
  return block * ((int64_t(w) + 3) / 4) * ((int64_t(h) + 3) / 4);
}

static ImageDesc* LoadFile(const char* fileName, ImageDesc* (*load)(ImageSource*)) {
  if (!fileName) return nullptr;
  FileHandle* f = File_Open(fileName, "rb");
  if (!f) return nullptr;
  ImageSource src{f, nullptr, 0, 0, fileName};
  ImageDesc* d = load(&src);
  File_Close(f);
  return d;
}

ImageDesc* DDS_Load(const char* fileName) { return LoadFile(fileName, DDS_LoadSource); }
ImageDesc* TGA_Load(const char* fileName) { return LoadFile(fileName, TGA_LoadSource); }
ImageDesc* JPEG_Load(const char* fileName) { return LoadFile(fileName, JPEG_LoadSource); }
ImageDesc* BMP_Load(const char* fileName) { return LoadFile(fileName, BMP_LoadSource); }

ImageDesc* Image_LoadMemory(int kind, const uint8_t* data, size_t size) {
  static const uint8_t kNothing = 0;
  ImageSource src{nullptr, data ? data : &kNothing, data ? size : 0, 0, "(memory)"};
  switch (kind) {
    case kImageDDS: return DDS_LoadSource(&src);
    case kImageTGA: return TGA_LoadSource(&src);
    case kImageJPEG: return JPEG_LoadSource(&src);
    case kImageBMP: return BMP_LoadSource(&src);
    default: return nullptr;
  }
}

ImageDesc* Image_Load(const char* name) {
  if (!name || !*name) return nullptr;
  static const char* const kExt[4] = {".dds", ".tga", ".jpg", ".bmp"};
  static ImageDesc* (*const kLoad[4])(const char*) = {DDS_Load, TGA_Load, JPEG_Load, BMP_Load};
  size_t len = std::strlen(name);
  if (len + 4 >= 256) {
    Log_Printf("Image_Load: name too long (%zu characters).\n", len);
    return nullptr;
  }
  char fileName[256];
  for (int i = 0; i < 4; i++) {
    std::snprintf(fileName, sizeof fileName, "%s%s", name, kExt[i]);
    if (ImageDesc* d = kLoad[i](fileName)) {
      File_CopyToCopyDirectory(fileName);
      return d;
    }
  }
  return nullptr;
}
