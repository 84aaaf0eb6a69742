#include "tools/image_writer.h"

#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace {

void Put16(std::vector<uint8_t>& o, uint32_t v) {
  o.push_back(uint8_t(v));
  o.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& o, uint32_t v) {
  Put16(o, v & 0xFFFF);
  Put16(o, v >> 16);
}

uint16_t To565(const uint8_t* bgr) {
  return uint16_t(((bgr[2] >> 3) << 11) | ((bgr[1] >> 2) << 5) | (bgr[0] >> 3));
}
void From565(uint16_t c, int* bgr) {
  bgr[0] = (c & 0x1F) << 3;
  bgr[1] = ((c >> 5) & 0x3F) << 2;
  bgr[2] = (c >> 11) << 3;
}

// The texels of the 4 x 4 block at (bx, by), edges repeated beyond the picture.
void Gather(const ToolImage& img, int bx, int by, uint8_t out[16][4]) {
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 4; x++) {
      int px = bx * 4 + x, py = by * 4 + y;
      if (px >= img.width) px = img.width - 1;
      if (py >= img.height) py = img.height - 1;
      std::memcpy(out[4 * y + x], img.At(px, py), 4);
    }
}

void ColourBlock(uint8_t t[16][4], bool dxt1, std::vector<uint8_t>& o) {
  bool transparent = false;
  if (dxt1)
    for (int i = 0; i < 16; i++) transparent |= t[i][3] < 128;
  uint8_t lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
  for (int i = 0; i < 16; i++) {
    if (transparent && t[i][3] < 128) continue;
    for (int k = 0; k < 3; k++) {
      if (t[i][k] < lo[k]) lo[k] = t[i][k];
      if (t[i][k] > hi[k]) hi[k] = t[i][k];
    }
  }
  uint16_t a = To565(hi), b = To565(lo);
  uint16_t c0, c1;
  if (transparent) {
    c0 = a < b ? a : b;
    c1 = a < b ? b : a;
  } else {
    c0 = a > b ? a : b;
    c1 = a > b ? b : a;
    // One colour: still a four-colour block (colour 0 above colour 1), the texels taking the
    // entry that holds the colour exactly.
    if (c0 == c1) {
      if (c0 > 0)
        c1 = uint16_t(c0 - 1);
      else
        c0 = 1;
    }
  }
  int pal[4][3];
  From565(c0, pal[0]);
  From565(c1, pal[1]);
  int entries = 4;
  if (!dxt1 || c0 > c1) {
    for (int k = 0; k < 3; k++) {
      pal[2][k] = (2 * pal[0][k] + pal[1][k]) / 3;
      pal[3][k] = (pal[0][k] + 2 * pal[1][k]) / 3;
    }
  } else {
    for (int k = 0; k < 3; k++) pal[2][k] = (pal[0][k] + pal[1][k]) / 2;
    entries = 3;
  }
  uint32_t idx = 0;
  for (int i = 0; i < 16; i++) {
    int best = 0;
    if (entries == 3 && t[i][3] < 128) {
      best = 3;
    } else {
      int bestErr = 1 << 30;
      for (int e = 0; e < entries; e++) {
        int err = 0;
        for (int k = 0; k < 3; k++) err += (pal[e][k] - t[i][k]) * (pal[e][k] - t[i][k]);
        if (err < bestErr) {
          bestErr = err;
          best = e;
        }
      }
    }
    idx |= uint32_t(best) << (2 * i);
  }
  Put16(o, c0);
  Put16(o, c1);
  Put32(o, idx);
}

void Dxt5AlphaBlock(uint8_t t[16][4], std::vector<uint8_t>& o) {
  int lo = 255, hi = 0;
  for (int i = 0; i < 16; i++) {
    if (t[i][3] < lo) lo = t[i][3];
    if (t[i][3] > hi) hi = t[i][3];
  }
  int a0 = hi, a1 = lo;
  int table[8];
  table[0] = a0;
  table[1] = a1;
  if (a0 > a1) {
    for (int i = 1; i <= 6; i++) table[1 + i] = ((7 - i) * a0 + i * a1) / 7;
  } else {
    for (int i = 1; i <= 4; i++) table[1 + i] = ((5 - i) * a0 + i * a1) / 5;
    table[6] = 0;
    table[7] = 255;
  }
  uint64_t bits = 0;
  for (int i = 0; i < 16; i++) {
    int best = 0, bestErr = 1 << 30;
    for (int e = 0; e < 8; e++) {
      int err = table[e] - t[i][3];
      err = err < 0 ? -err : err;
      if (err < bestErr) {
        bestErr = err;
        best = e;
      }
    }
    bits |= uint64_t(best) << (3 * i);
  }
  o.push_back(uint8_t(a0));
  o.push_back(uint8_t(a1));
  for (int i = 0; i < 6; i++) o.push_back(uint8_t(bits >> (8 * i)));
}

}  // namespace

ToolImage ImageTool_Pattern(int width, int height, uint32_t seed, bool alpha) {
  ToolImage img;
  img.width = width;
  img.height = height;
  img.bgra.resize(size_t(width) * size_t(height) * 4);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      uint8_t* t = img.At(x, y);
      t[0] = uint8_t(x * 7 + seed);
      t[1] = uint8_t(y * 13 + seed * 3);
      t[2] = uint8_t((x ^ y) * 5 + seed * 7);
      t[3] = alpha ? uint8_t(x * 3 + y * 11 + seed) : 255;
    }
  return img;
}

ToolImage ImageTool_Solid(int width, int height, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  ToolImage img;
  img.width = width;
  img.height = height;
  img.bgra.resize(size_t(width) * size_t(height) * 4);
  for (size_t i = 0; i < img.bgra.size(); i += 4) {
    img.bgra[i] = b;
    img.bgra[i + 1] = g;
    img.bgra[i + 2] = r;
    img.bgra[i + 3] = a;
  }
  return img;
}

ToolImage ImageTool_Half(const ToolImage& in) {
  ToolImage out;
  out.width = in.width > 1 ? in.width / 2 : 1;
  out.height = in.height > 1 ? in.height / 2 : 1;
  out.bgra.resize(size_t(out.width) * size_t(out.height) * 4);
  for (int y = 0; y < out.height; y++)
    for (int x = 0; x < out.width; x++) {
      int x0 = in.width > 1 ? 2 * x : x, y0 = in.height > 1 ? 2 * y : y;
      int x1 = in.width > 1 ? x0 + 1 : x0, y1 = in.height > 1 ? y0 + 1 : y0;
      for (int k = 0; k < 4; k++)
        out.At(x, y)[k] = uint8_t((in.At(x0, y0)[k] + in.At(x1, y0)[k] + in.At(x0, y1)[k] +
                                   in.At(x1, y1)[k]) / 4);
    }
  return out;
}

std::vector<uint8_t> ImageTool_WriteBMP(const ToolImage& img, bool topDown) {
  size_t rowBytes = (size_t(img.width) * 3 + 3) & ~size_t(3);
  std::vector<uint8_t> o;
  o.push_back('B');
  o.push_back('M');
  Put32(o, uint32_t(54 + rowBytes * size_t(img.height)));
  Put32(o, 0);
  Put32(o, 54);
  Put32(o, 40);
  Put32(o, uint32_t(img.width));
  Put32(o, uint32_t(topDown ? -img.height : img.height));
  Put16(o, 1);
  Put16(o, 24);
  Put32(o, 0);
  Put32(o, uint32_t(rowBytes * size_t(img.height)));
  Put32(o, 2835);
  Put32(o, 2835);
  Put32(o, 0);
  Put32(o, 0);
  for (int r = 0; r < img.height; r++) {
    int y = topDown ? img.height - 1 - r : r;
    for (int x = 0; x < img.width; x++) {
      const uint8_t* t = img.At(x, y);
      o.insert(o.end(), t, t + 3);
    }
    for (size_t p = size_t(img.width) * 3; p < rowBytes; p++) o.push_back(0);
  }
  return o;
}

std::vector<uint8_t> ImageTool_WriteTGA(const ToolImage& img, int bits, bool topFirst, bool rle) {
  std::vector<uint8_t> o;
  o.push_back(0);
  o.push_back(0);
  int type = bits == 8 ? 3 : 2;
  o.push_back(uint8_t(rle ? type + 8 : type));
  for (int i = 0; i < 9; i++) o.push_back(0);
  Put16(o, uint32_t(img.width));
  Put16(o, uint32_t(img.height));
  o.push_back(uint8_t(bits));
  o.push_back(uint8_t((topFirst ? 0x20 : 0) | (bits == 32 ? 8 : 0)));
  int bpp = bits / 8;
  for (int r = 0; r < img.height; r++) {
    int y = topFirst ? img.height - 1 - r : r;
    for (int x = 0; x < img.width; x++) {
      if (rle) o.push_back(0);  // a raw packet of one texel
      const uint8_t* t = img.At(x, y);
      if (bpp == 1)
        o.push_back(t[1]);
      else
        o.insert(o.end(), t, t + bpp);
    }
  }
  return o;
}

std::vector<uint8_t> ImageTool_WriteJPEG(const ToolImage& img, int quality, bool grey) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long memSize = 0;
  jpeg_mem_dest(&c, &mem, &memSize);
  c.image_width = JDIMENSION(img.width);
  c.image_height = JDIMENSION(img.height);
  c.input_components = grey ? 1 : 4;
  c.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGRA;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  if (quality >= 95 && !grey) {
    // No chroma subsampling, so that small pictures survive nearly exactly.
    for (int i = 0; i < c.num_components; i++) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  }
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(size_t(img.width) * 4);
  while (c.next_scanline < c.image_height) {
    int y = img.height - 1 - int(c.next_scanline);
    for (int x = 0; x < img.width; x++) {
      const uint8_t* t = img.At(x, y);
      if (grey)
        row[size_t(x)] = t[1];
      else
        std::memcpy(&row[size_t(x) * 4], t, 4);
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> out(mem, mem + memSize);
  jpeg_destroy_compress(&c);
  free(mem);
  return out;
}

std::vector<uint8_t> ImageTool_EncodeDXT(const ToolImage& img, uint32_t format) {
  std::vector<uint8_t> o;
  int bw = (img.width + 3) / 4, bh = (img.height + 3) / 4;
  uint8_t t[16][4];
  for (int by = 0; by < bh; by++)
    for (int bx = 0; bx < bw; bx++) {
      Gather(img, bx, by, t);
      if (format == 0x83F2) {
        for (int y = 0; y < 4; y++) {
          uint32_t row = 0;
          for (int x = 0; x < 4; x++) row |= uint32_t(t[4 * y + x][3] >> 4) << (4 * x);
          Put16(o, row);
        }
        ColourBlock(t, false, o);
      } else if (format == 0x83F3) {
        Dxt5AlphaBlock(t, o);
        ColourBlock(t, false, o);
      } else {
        ColourBlock(t, true, o);
      }
    }
  return o;
}

std::vector<uint8_t> ImageTool_WriteDDS(int width, int height, const char* fourCC, bool alphaFlag,
                                        uint32_t mipCount, const std::vector<uint8_t>& blocks) {
  std::vector<uint8_t> o;
  o.insert(o.end(), {'D', 'D', 'S', ' '});
  Put32(o, 124);
  Put32(o, 0x1 | 0x2 | 0x4 | 0x1000 | 0x80000 | (mipCount ? 0x20000 : 0));
  Put32(o, uint32_t(height));
  Put32(o, uint32_t(width));
  Put32(o, 0);
  Put32(o, 0);
  Put32(o, mipCount);
  for (int i = 0; i < 11; i++) Put32(o, 0);
  Put32(o, 32);
  Put32(o, 0x4 | (alphaFlag ? 1 : 0));
  for (int i = 0; i < 4; i++) o.push_back(uint8_t(fourCC[i]));
  for (int i = 0; i < 5; i++) Put32(o, 0);
  Put32(o, 0x1000 | (mipCount ? 0x400008 : 0));
  for (int i = 0; i < 4; i++) Put32(o, 0);
  o.insert(o.end(), blocks.begin(), blocks.end());
  return o;
}

std::vector<uint8_t> ImageTool_MakeDDS(const ToolImage& img, uint32_t format, uint32_t levels) {
  std::vector<uint8_t> blocks;
  ToolImage level = img;
  uint32_t n = levels == 0 ? 1 : levels;
  for (uint32_t i = 0; i < n; i++) {
    std::vector<uint8_t> b = ImageTool_EncodeDXT(level, format);
    blocks.insert(blocks.end(), b.begin(), b.end());
    level = ImageTool_Half(level);
  }
  const char* fourCC = format == 0x83F2 ? "DXT3" : format == 0x83F3 ? "DXT5" : "DXT1";
  return ImageTool_WriteDDS(img.width, img.height, fourCC, format == 0x83F1, levels, blocks);
}

bool ImageTool_Save(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}
