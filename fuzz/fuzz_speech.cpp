// The speech and emotion readers, and a sample of the speech track at a time the input chooses.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz.h"
#include "tools/speech_writer.h"
#include "world/speech.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const char* text = reinterpret_cast<const char*>(data);
  float period = 0;
  int n = Speech_ParseText(text, uint32_t(size), &period, nullptr, 0);
  if (n < 0) __builtin_trap();
  std::vector<SpeechRecord> speech(size_t(n > 0 ? n : 1));
  // A smaller room than counted is filled no further.
  int room = n / 2;
  if (Speech_ParseText(text, uint32_t(size), &period, speech.data(), room) != n) __builtin_trap();
  Speech_ParseText(text, uint32_t(size), &period, speech.data(), n);
  if (n > 0 && (!(period > 0) || !std::isfinite(period))) __builtin_trap();
  int e = Emotion_ParseText(text, uint32_t(size), nullptr, 0);
  std::vector<EmotionRecord> emotion(size_t(e > 0 ? e : 1));
  if (Emotion_ParseText(text, uint32_t(size), emotion.data(), e) != e) __builtin_trap();
  // A sample at a time taken from the input's first bytes, as the sampler indexes the records.
  if (n > 0) {
    float t = 0;
    if (size >= 4) std::memcpy(&t, data, 4);
    double f = double(t) / period;
    if (f >= 0 && f < n) {
      int i = int(std::floor(f));
      if (i < 0 || i >= n) __builtin_trap();
      volatile float v = speech[size_t(i)].lips[0];
      (void)v;
    }
  }
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  auto add = [&](const std::string& s) { seeds.emplace_back(s.begin(), s.end()); };
  add(Tool_SpeechTrackText(0.04f, {{0, 1, 2, 3, 4, 5, 6, 7}, {1, 1, 1, 1, 1, 1, 1, 1}}));
  add(Tool_EmotionTrackText({{0.5f, 1, 2, 3, 4, 5}, {1.5f, 0, 0, 0, 0, 1}}));
  add("speech 1 0 8\n1 2 3\r\n\r\n");
  add("a b nan d\n");
}
