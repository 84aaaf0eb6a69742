#include "tools/effect_assets.h"

#include <array>
#include <cmath>
#include <filesystem>

#include "tools/image_writer.h"
#include "tools/sound_files.h"
#include "tools/speech_writer.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

uint8_t Byte(double v) { return uint8_t(v <= 0 ? 0 : v >= 1 ? 255 : std::lround(v * 255)); }

// A picture from a shade function of (u, v) in 0..1 giving red, green, blue (alpha 255).
template <typename Fn>
ToolImage Paint(int w, int h, Fn shade) {
  ToolImage img = ImageTool_Solid(w, h, 0, 0, 0, 255);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      double c[3];
      shade((x + 0.5) / w, (y + 0.5) / h, c);
      uint8_t* p = img.At(x, y);
      p[0] = Byte(c[2]);
      p[1] = Byte(c[1]);
      p[2] = Byte(c[0]);
    }
  return img;
}

std::vector<uint8_t> Tga(const ToolImage& img) { return ImageTool_WriteTGA(img, 24); }

std::vector<uint8_t> Text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

}  // namespace

std::vector<std::pair<std::string, std::vector<uint8_t>>> EffectAssets_Files() {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  // Flares: soft discs and rings in warm and cool tints, added to the screen.
  static const double kTint[9][3] = {{0.5, 0.6, 1.0}, {0.3, 0.5, 0.3}, {0.4, 0.3, 0.6}, {1.0, 0.8, 0.5}, {1.0, 1.0, 0.9},
                                     {0.6, 0.9, 1.0}, {0.5, 0.4, 0.3}, {1.0, 0.7, 0.4}, {0.9, 0.9, 1.0}};
  for (int i = 0; i < 9; i++) {
    const bool ring = i % 3 == 1;
    files.emplace_back("sprites/sun/lens" + std::to_string(i) + ".tga", Tga(Paint(64, 64, [&](double u, double v, double* c) {
                         double r = std::hypot(u - 0.5, v - 0.5) * 2;
                         double k = ring ? std::exp(-std::pow((r - 0.8) * 8, 2)) : std::fmax(0.0, 1 - r * r);
                         for (int j = 0; j < 3; j++) c[j] = kTint[i][j] * k;
                       })));
  }
  files.emplace_back("sprites/sun/glare.tga", Tga(Paint(64, 64, [](double u, double v, double* c) {
                       double k = std::fmax(0.0, 1 - std::hypot(u - 0.5, v - 0.5) * 1.2);
                       c[0] = c[1] = k;
                       c[2] = 0.9 * k;
                     })));
  // Beams: a bright streak across (u), broken into pulses along (v); the tube's wisps.
  files.emplace_back("uitextures/laser.tga", Tga(Paint(32, 128, [](double u, double v, double* c) {
                       double across = std::exp(-std::pow((u - 0.5) * 6, 2));
                       double pulse = 0.75 + 0.25 * std::sin(v * 8 * kPi);
                       c[0] = c[1] = c[2] = across * pulse;
                     })));
  files.emplace_back("uitextures/lasertube.tga", Tga(Paint(64, 64, [](double u, double v, double* c) {
                       double k = 0.5 + 0.5 * std::sin((u * 4 + v * 2) * 2 * kPi);
                       c[0] = c[1] = c[2] = 0.3 + 0.7 * k * k;
                     })));
  files.emplace_back("uitextures/lightning.tga", Tga(Paint(32, 64, [](double u, double v, double* c) {
                       double core = std::exp(-std::pow((u - 0.5 - 0.08 * std::sin(v * 6 * kPi)) * 10, 2));
                       c[0] = c[1] = core;
                       c[2] = std::fmin(1.0, core * 1.3 + 0.1 * core);
                     })));
  // A voiced line: two seconds of a murmur whose loudness the lips follow.
  const int rate = 22050;
  std::vector<int16_t> pcm(size_t(rate) * 2);
  std::vector<std::array<float, 8>> lips;
  for (size_t i = 0; i < pcm.size(); i++) {
    double t = double(i) / rate;
    double syllables = std::fabs(std::sin(t * 2.5 * kPi));
    pcm[i] = int16_t(std::lround(6000 * syllables * (std::sin(2 * kPi * 140 * t) + 0.4 * std::sin(2 * kPi * 420 * t))));
  }
  for (int k = 0; k < 50; k++) {
    float open = float(std::fabs(std::sin(k * 0.04 * 2.5 * kPi)));
    lips.push_back({open, open * 0.5f, 0, 0, 1 - open, 0, 0, open * 0.25f});
  }
  files.emplace_back("sound/lines/greeting.wav", Tool_WavBytes(1, rate, 16, pcm));
  files.emplace_back("sound/lines/greeting.txt", Text(Tool_SpeechTrackText(0.04f, lips)));
  files.emplace_back("sound/lines/greeting.emo",
                     Text(Tool_EmotionTrackText({{0.6f, 1, 0, 0, 0, 0}, {1.4f, 0.5f, 1, 0, 0, 0}, {2.0f, 0, 0.5f, 0, 0, 1}})));
  return files;
}

std::vector<EntityToolPairs> EffectAssets_SunBlocks() {
  return {
      {{"classname", "areol"}, {"id", "sun"}, {"lens", "sprites\\sun\\lens"}, {"glare", "sprites\\sun\\glare"}},
      {{"classname", "world"},
       {"id", "sun_wall"},
       {"name", "anim\\props\\crate"},
       {"origin", "0 700 0"},
       {"blocked", "1"},
       {"drawed", "1"},
       {"solidbox", "1"},
       {"clipbox", "-40 -40 0 40 40 120"}},
  };
}

bool EffectAssets_Write(const std::string& stage) {
  for (const auto& [name, bytes] : EffectAssets_Files()) {
    if (!Tool_PutStaged(stage, name, bytes)) return false;
  }
  return true;
}
