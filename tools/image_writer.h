// Writers of picture files in the formats the game reads (BMP, TGA, DDS with DXT blocks, JPEG),
// for tests, fuzz seeds and the sample game.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A picture in memory: B, G, R, A bytes, bottom row first.
struct ToolImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgra;
  uint8_t* At(int x, int y) { return &bgra[(size_t(y) * size_t(width) + size_t(x)) * 4]; }
  const uint8_t* At(int x, int y) const { return &bgra[(size_t(y) * size_t(width) + size_t(x)) * 4]; }
};

// A deterministic picture whose texels all differ in a way that depends on (x, y, seed); alpha
// varies too when `alpha` is set, else it is 255.
ToolImage ImageTool_Pattern(int width, int height, uint32_t seed, bool alpha);
// One colour everywhere.
ToolImage ImageTool_Solid(int width, int height, uint8_t b, uint8_t g, uint8_t r, uint8_t a);
// Halves each side (a side of 1 stays 1) with a 2 x 2 box filter.
ToolImage ImageTool_Half(const ToolImage& in);

// 24-bit BMP; rows stored bottom-up, or top-down (negative height) when asked.
std::vector<uint8_t> ImageTool_WriteBMP(const ToolImage& img, bool topDown = false);
// TGA: bits 24 or 32 (type 2) or 8 (grey, type 3, from the green channel); `topFirst` sets
// descriptor bit 5; `rle` writes run-length types 10/11 (which the game refuses).
std::vector<uint8_t> ImageTool_WriteTGA(const ToolImage& img, int bits, bool topFirst = false,
                                        bool rle = false);
// Baseline JPEG through libjpeg; grey writes a one-component file.
std::vector<uint8_t> ImageTool_WriteJPEG(const ToolImage& img, int quality, bool grey = false);

// DXT blocks of one picture (rows in the picture's order); format is 0x83F0/0x83F1 (DXT1),
// 0x83F2 (DXT3) or 0x83F3 (DXT5). DXT1 uses three-colour blocks with transparent texels where
// the picture has alpha below 128, else four-colour blocks.
std::vector<uint8_t> ImageTool_EncodeDXT(const ToolImage& img, uint32_t format);
// A whole DDS file: the header and the given blocks. fourCC is "DXT1", "DXT3" or "DXT5".
std::vector<uint8_t> ImageTool_WriteDDS(int width, int height, const char* fourCC, bool alphaFlag,
                                        uint32_t mipCount, const std::vector<uint8_t>& blocks);
// A DDS file with `levels` levels (0 = level 0 only) encoded from the picture and its halvings.
std::vector<uint8_t> ImageTool_MakeDDS(const ToolImage& img, uint32_t format, uint32_t levels);

bool ImageTool_Save(const std::string& path, const std::vector<uint8_t>& bytes);
