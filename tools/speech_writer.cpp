#include "tools/speech_writer.h"

#include <cstdio>
#include <fstream>

static void Append(std::string& out, float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", double(v));
  out += buf;
}

std::string Tool_SpeechTrackText(float period, const std::vector<std::array<float, 8>>& records) {
  std::string out = "speech 1 ";
  Append(out, period);
  out += " 8\n";
  for (const auto& r : records) {
    for (float v : r) {
      Append(out, v);
      out += ' ';
    }
    out += "0\n";
  }
  return out;
}

std::string Tool_EmotionTrackText(const std::vector<std::array<float, 6>>& records) {
  std::string out;
  for (const auto& r : records) {
    for (size_t i = 0; i < r.size(); i++) {
      if (i) out += ' ';
      Append(out, r[i]);
    }
    out += '\n';
  }
  return out;
}

static bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
  return bool(f);
}

bool Tool_WriteSpeechTracks(const std::string& base, float period, const std::vector<std::array<float, 8>>& speech,
                            const std::vector<std::array<float, 6>>& emotion) {
  return WriteText(base + ".txt", Tool_SpeechTrackText(period, speech)) &&
         WriteText(base + ".emo", Tool_EmotionTrackText(emotion));
}
