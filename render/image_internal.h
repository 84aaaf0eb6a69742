// Shared by the picture loaders only: the byte source (a file of the file layer or a buffer in
// memory) and what the loaders need to know about the OpenGL driver.
#pragma once
#include <cstddef>
#include <cstdint>

#include "render/image.h"

struct FileHandle;

struct ImageSource {
  FileHandle* file;      // the file layer, or null for memory
  const uint8_t* data;   // memory source
  size_t size;
  size_t pos;
  const char* name;      // for messages
};

// Reads up to n bytes; returns the count read.
size_t ImageSource_Read(ImageSource* src, void* buffer, size_t n);
// Reads exactly n bytes; false on a short read.
bool ImageSource_ReadAll(ImageSource* src, void* buffer, size_t n);
// Skips n bytes; false when the source ends first.
bool ImageSource_Skip(ImageSource* src, size_t n);
// Total size of the source in bytes.
uint64_t ImageSource_Size(ImageSource* src);

extern ImageDesc g_imageDesc;

ImageDesc* DDS_LoadSource(ImageSource* src);
ImageDesc* TGA_LoadSource(ImageSource* src);
ImageDesc* JPEG_LoadSource(ImageSource* src);
ImageDesc* BMP_LoadSource(ImageSource* src);

// Driver abilities the loaders choose their paths by.
bool Image_DriverCompresses();        // GL_ARB_texture_compression: DDS data stays compressed
bool Image_DriverGeneratesMipmaps();  // GL_SGIS_generate_mipmap in use
int Image_DriverMaxTextureSize();
// A side that the upload path takes as it is (sides below 3 never qualify).
bool Image_IsStraightSide(int side);

inline uint16_t Img_U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t Img_U32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

