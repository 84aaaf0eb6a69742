#include "tools/sound_files.h"

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <filesystem>
#include <cstdio>
#include <cstring>

std::vector<int16_t> Tool_Sine(int channels, int rate, int frames, double hz, double amplitude) {
  std::vector<int16_t> out(size_t(frames) * size_t(channels));
  const double kTwoPi = 6.283185307179586;
  for (int i = 0; i < frames; i++) {
    double s = amplitude * std::sin(kTwoPi * hz * i / rate);
    int v = int(std::lround(s * 32767.0));
    if (v > 32767) v = 32767;
    if (v < -32768) v = -32768;
    for (int c = 0; c < channels; c++) out[size_t(i) * channels + c] = int16_t(v);
  }
  return out;
}

static void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
static void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
static void PutTag(std::vector<uint8_t>& b, const char* t) {
  for (int i = 0; i < 4; i++) b.push_back(uint8_t(t[i]));
}

std::vector<uint8_t> Tool_WavBytes(int channels, int rate, int bits, const std::vector<int16_t>& samples) {
  uint32_t dataBytes = uint32_t(samples.size()) * uint32_t(bits / 8);
  std::vector<uint8_t> b;
  b.reserve(44 + dataBytes);
  PutTag(b, "RIFF");
  Put32(b, 36 + dataBytes);
  PutTag(b, "WAVE");
  PutTag(b, "fmt ");
  Put32(b, 16);
  Put16(b, 1);
  Put16(b, uint32_t(channels));
  Put32(b, uint32_t(rate));
  Put32(b, uint32_t(rate * channels * bits / 8));
  Put16(b, uint32_t(channels * bits / 8));
  Put16(b, uint32_t(bits));
  PutTag(b, "data");
  Put32(b, dataBytes);
  for (int16_t s : samples) {
    if (bits == 8)
      b.push_back(uint8_t((s >> 8) + 128));
    else
      Put16(b, uint16_t(s));
  }
  return b;
}

static void TakePage(std::vector<uint8_t>& out, const ogg_page& page) {
  out.insert(out.end(), page.header, page.header + page.header_len);
  out.insert(out.end(), page.body, page.body + page.body_len);
}

std::vector<uint8_t> Tool_OggBytes(int channels, int rate, const std::vector<int16_t>& samples, float quality,
                                   int serial) {
  std::vector<uint8_t> out;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) {
    vorbis_info_clear(&vi);
    return out;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, serial);
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  ogg_page page;
  while (ogg_stream_flush(&os, &page)) TakePage(out, page);

  size_t frames = samples.size() / size_t(channels);
  size_t at = 0;
  bool eos = false;
  while (!eos) {
    size_t n = frames - at;
    if (n > 1024) n = 1024;
    if (n == 0) {
      vorbis_analysis_wrote(&vd, 0);
    } else {
      float** buf = vorbis_analysis_buffer(&vd, int(n));
      for (size_t i = 0; i < n; i++)
        for (int c = 0; c < channels; c++) buf[c][i] = samples[(at + i) * channels + c] / 32768.0f;
      vorbis_analysis_wrote(&vd, int(n));
      at += n;
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet)) {
        ogg_stream_packetin(&os, &packet);
        while (ogg_stream_pageout(&os, &page)) {
          TakePage(out, page);
          if (ogg_page_eos(&page)) eos = true;
        }
      }
    }
    if (n == 0) {
      while (ogg_stream_flush(&os, &page)) {
        TakePage(out, page);
        if (ogg_page_eos(&page)) eos = true;
      }
      eos = true;
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

bool Tool_WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool Tool_PutStaged(const std::string& stage, const std::string& name, const std::vector<uint8_t>& bytes) {
  std::filesystem::path p = std::filesystem::path(stage) / name;
  std::error_code ec;
  std::filesystem::create_directories(p.parent_path(), ec);
  if (Tool_WriteBytes(p.string(), bytes)) return true;
  std::fprintf(stderr, "make_sample: cannot write %s\n", p.c_str());
  return false;
}
