// Picture files (DDS, TGA, JPEG, BMP) decoded into the one static image descriptor.
#pragma once
#include <cstddef>
#include <cstdint>

// Pixel formats of ImageDesc::format (the OpenGL codes).
constexpr uint32_t kImgBGR = 0x80E0;    // GL_BGR_EXT, 3 bytes per texel
constexpr uint32_t kImgBGRA = 0x80E1;   // GL_BGRA_EXT, 4 bytes per texel
constexpr uint32_t kImgDXT1 = 0x83F0;   // GL_COMPRESSED_RGB_S3TC_DXT1_EXT
constexpr uint32_t kImgDXT1A = 0x83F1;  // GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
constexpr uint32_t kImgDXT3 = 0x83F2;   // GL_COMPRESSED_RGBA_S3TC_DXT3_EXT
constexpr uint32_t kImgDXT5 = 0x83F3;   // GL_COMPRESSED_RGBA_S3TC_DXT5_EXT

constexpr int kImageRoom = 7680000;  // 1600 x 1200 x 4 bytes
constexpr int kImageMaxWidth = 1600;
constexpr int kImageMaxHeight = 1200;

// Filled by every loader; the pixels are valid until the next load. TGA, BMP and JPEG rows are
// bottom row first; DDS data keeps the file's row order. Texels are B, G, R(, A) bytes.
struct ImageDesc {
  int32_t width;
  int32_t height;
  int32_t hasAlpha;
  uint32_t format;
  int32_t mipCount;  // DDS only: the file's mip-level count (0 = level 0 only)
  uint8_t pixels[kImageRoom];
};

// Tries name + ".dds", ".tga", ".jpg", ".bmp"; the first that loads wins.
ImageDesc* Image_Load(const char* name);
ImageDesc* DDS_Load(const char* fileName);
ImageDesc* TGA_Load(const char* fileName);
ImageDesc* JPEG_Load(const char* fileName);
ImageDesc* BMP_Load(const char* fileName);

bool BMP_CheckFileHeader(const uint8_t* header54);
bool TGA_CheckFileHeader(const uint8_t* header18);

// Software S3TC decoders into width x height texels of B, G, R, A; blocks cover the image left to
// right, ceil(width/4) per block row, ceil(height/4) block rows.
void DDS_DecodeDXT1(const uint8_t* blocks, uint8_t* texels, int width, int height);
void DDS_DecodeDXT3(const uint8_t* blocks, uint8_t* texels, int width, int height);
void DDS_DecodeDXT5(const uint8_t* blocks, uint8_t* texels, int width, int height);

// Loads from bytes in memory instead of a file (fuzzing and tests); kind is one of these.
enum ImageKind { kImageDDS = 0, kImageTGA = 1, kImageJPEG = 2, kImageBMP = 3 };
ImageDesc* Image_LoadMemory(int kind, const uint8_t* data, size_t size);

// Bytes of one compressed level of w x h (at least one block each way); 0 for a non-DXT format.
int64_t Image_DxtLevelBytes(uint32_t format, int w, int h);
// Power-of-two rounding of the upload path: the side clamped to maxSize, then 1 for sides <= 1,
// the next power of two up to 1024, 2048 above.
int Image_RoundPow2(int side, int maxSize);
