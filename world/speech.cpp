#include "world/speech.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/sound.h"
#include "foundation/sound_ds.h"
#include "world/game.h"
#include "world/object.h"

namespace {

constexpr float kLineOver = 1e10f;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsBreak(char c) { return c == '\r' || c == '\n'; }

// Reads up to `count` numbers from [p, end) as "%f %f ..." would: blanks before each, and the
// first that does not parse ends the reading. Returns how many were read; a number that is not
// finite (NaN, infinite, or too large for a float) reads as 0 and counts in *notFinite.
int ReadFloats(const char* p, const char* end, float* out, int count, int* notFinite) {
  int n = 0;
  while (n < count) {
    while (p < end && (IsBlank(*p) || *p == '\v' || *p == '\f')) p++;
    if (p < end && *p == '+') p++;
    float v = 0;
    auto r = std::from_chars(p, end, v);
    if (r.ec != std::errc() && r.ec != std::errc::result_out_of_range) break;
    bool finite = std::isfinite(v);
    if (r.ec == std::errc::result_out_of_range) {
      // Too small for a float reads as 0; too large is no number the track can use.
      double d = 0;
      auto rd = std::from_chars(p, end, d);
      finite = rd.ec == std::errc() && std::fabs(d) < 1;
      v = 0;
    }
    if (!finite) {
      ++*notFinite;
      v = 0;
    }
    out[n++] = v;
    p = r.ptr;
  }
  return n;
}

// Calls `line(begin, end)` for every line of [p, end) with something other than blanks on it.
template <typename Fn>
void ForEachLine(const char* p, const char* end, Fn line) {
  while (p < end) {
    const char* e = p;
    while (e < end && !IsBreak(*e)) e++;
    const char* q = p;
    while (q < e && IsBlank(*q)) q++;
    if (q < e) line(p, e);
    p = e + 1;
  }
}

// The text of [p, p + size) without its trailing zeros (a text ends at its first NUL).
const char* TextEnd(const char* p, uint32_t size) {
  if (!p || size == 0) return p;
  const void* nul = std::memchr(p, 0, size);
  return nul ? static_cast<const char*>(nul) : p + size;
}

bool FileFound(const char* name) {
  FileHandle* f = File_Open(name, "rb");
  if (f) File_Close(f);
  return f != nullptr;
}

void FreeSpeech(SpeechLine& l) {
  Global_Free(l.speech);
  l.speech = nullptr;
  l.speechCount = 0;
}

void FreeEmotion(SpeechLine& l) {
  Global_Free(l.emotion);
  l.emotion = nullptr;
  l.emotionCount = 0;
}

void StopVoice(GameObject* o) {
  uint32_t& voice = o->person.voices[0];
  if (voice) Sound_Stop(voice);
  voice = 0;
}

// Counts the records of a text (reading no numbers), allocates them with `tag`, then reads them,
// never more than were counted.
template <typename Record, typename Parse>
Record* LoadTrack(const char* file, const char* tempTag, const char* tag, int* count, Parse parse) {
  *count = 0;
  uint32_t size = 0;
  char* text = static_cast<char*>(File_LoadWhole(file, &size, tempTag));
  if (!text) return nullptr;
  int n = parse(text, size, nullptr, 0);
  Record* records = n > 0 ? static_cast<Record*>(Global_Malloc(size_t(n) * sizeof(Record), tag)) : nullptr;
  if (records) {
    parse(text, size, records, n);
    *count = n;
  }
  Global_Free(text);
  return records;
}

// Bytes a second of the voice's format; 0 when the format gives none.
double VoiceBytesPerSecond(uint32_t handle) {
  uint32_t bits = 0, channels = 0, rate = 0;
  if (!DS_GetVoicePosition(handle, nullptr, nullptr, nullptr, &bits, &channels, &rate)) return -1;
  return double(bits / 8) * channels * rate;
}

// One line for a track's lines that held a number that is not finite: a speech record keeps its
// place with 0 for such a number (the records after it keep their time), an emotion line is
// skipped (its time is its own).
void SayNotFinite(const char* file, int lines, bool skipped) {
  if (lines > 0)
    Log_Printf("Speech[%s]: %i line(s) with a number that is not finite %s.\n", file, lines,
               skipped ? "skipped" : "read with 0 in its place");
}

}  // namespace

void Speech_ResetValues(float* values) {
  values[0] = 1.0f;
  for (int i = 1; i < kDrawValues; i++) values[i] = 0.0f;
}

int Speech_ParseText(const char* text, uint32_t size, float* period, SpeechRecord* out, int capacity,
                     int* skipped) {
  const char* p = text;
  const char* end = TextEnd(text, size);
  // The header: four tokens; the third is the period.
  const char* third = nullptr;
  for (int t = 0; t < 4; t++) {
    while (p < end && (IsBlank(*p) || IsBreak(*p))) p++;
    if (p == end) return 0;
    if (t == 2) third = p;
    while (p < end && !IsBlank(*p) && !IsBreak(*p)) p++;
  }
  float value = 0;
  int notFinite = 0;
  ReadFloats(third, p, &value, 1, &notFinite);  // not finite: 0, no period
  if (period) *period = value;
  if (!(value > 0) || !std::isfinite(value)) return 0;
  int n = 0;
  ForEachLine(p, end, [&](const char* b, const char* e) {
    float f[9] = {};
    int notFinite = 0;
    ReadFloats(b, e, f, 9, &notFinite);  // the ninth number is read and dropped
    if (notFinite && skipped) ++*skipped;
    if (out && n < capacity) std::memcpy(out[n].lips, f, sizeof out[n].lips);
    n++;
  });
  return n;
}

int Emotion_ParseText(const char* text, uint32_t size, EmotionRecord* out, int capacity, int* skipped) {
  int n = 0;
  ForEachLine(text, TextEnd(text, size), [&](const char* b, const char* e) {
    float f[6] = {};
    int notFinite = 0;
    ReadFloats(b, e, f, 6, &notFinite);
    if (notFinite) {
      if (skipped) ++*skipped;
      return;
    }
    if (out && n < capacity) {
      out[n].time = f[0];
      std::memcpy(out[n].weights, f + 1, sizeof out[n].weights);
    }
    n++;
  });
  return n;
}

void Speech_Load(GameObject* o, const char* name) {
  if (!o || !name) return;
  SpeechLine& l = o->speech;
  // The object's earlier voice (or loop) would otherwise be left playing with no handle.
  StopVoice(o);
  char file[512];
  std::snprintf(file, sizeof file, "%s.txt", name);
  FreeSpeech(l);
  float period = 0;
  if (!FileFound(file)) {
    Log_Printf("Speech[%s] not found.\n", file);
  } else {
    int skipped = 0;
    l.speech = LoadTrack<SpeechRecord>(file, "spchld0", "SPEECHL", &l.speechCount,
                                       [&](const char* t, uint32_t s, SpeechRecord* out, int cap) {
                                         skipped = 0;
                                         return Speech_ParseText(t, s, &period, out, cap, &skipped);
                                       });
    SayNotFinite(file, skipped, false);
    if (!(period > 0) || !std::isfinite(period))
      Log_Printf("Speech[%s]: the frame period %g is not a positive number; no speech track.\n", file,
                 double(period));
  }
  l.period = period;
  std::snprintf(file, sizeof file, "%s.emo", name);
  FreeEmotion(l);
  if (!FileFound(file))
    Log_Printf("Emotion[%s] not found.\n", file);
  else {
    int skipped = 0;
    l.emotion = LoadTrack<EmotionRecord>(file, "emold0", "EMOL", &l.emotionCount,
                                         [&](const char* t, uint32_t s, EmotionRecord* out, int cap) {
                                           skipped = 0;
                                           return Emotion_ParseText(t, s, out, cap, &skipped);
                                         });
    SayNotFinite(file, skipped, true);
  }

  l.startTime = float(Game_Time);
  uint32_t voice = Sound_Play(name, 1.0f, 1000.0f, &o->origin.x, 0, SOUND_CAT_VOICES);
  // A voice whose format gives no byte rate cannot time the line: the game clock does.
  if (voice && VoiceBytesPerSecond(voice) <= 0) {
    Sound_Stop(voice);
    voice = 0;
  }
  o->person.voices[0] = voice;
  l.clockKind = voice ? SPEECH_BY_VOICE : SPEECH_BY_CLOCK;
}

float Speech_GetLineTime(GameObject* o) {
  const SpeechLine& l = o->speech;
  double t = kLineOver;
  if (l.clockKind == SPEECH_BY_CLOCK) {
    t = Game_Time - l.startTime;
  } else if (l.clockKind == SPEECH_BY_VOICE && o->person.voices[0]) {
    uint32_t voice = o->person.voices[0];
    double rate = VoiceBytesPerSecond(voice);
    const SoundVoice* v = DS_FindVoice(voice);
    if (rate == 0)
      t = Game_Time - l.startTime;
    else if (rate > 0 && v)
      t = double(uint64_t(v->playedTotal)) / rate;  // the whole line's played count, never wrapped
  }
  return t < 0 ? 0.0f : float(t);
}

void Speech_Find(GameObject* o, float* values) {
  Speech_ResetValues(values);
  SpeechLine& l = o->speech;
  if (l.speech) {
    float t = Speech_GetLineTime(o);
    double f = double(t) / l.period;
    if (double(l.speechCount) <= f || !(f >= 0)) {
      FreeSpeech(l);
    } else {
      int i = int(std::floor(f));
      float w = float(f - i);
      static const SpeechRecord kZero{};
      const SpeechRecord& a = l.speech[i];
      const SpeechRecord& b = i + 1 < l.speechCount ? l.speech[i + 1] : kZero;
      for (int k = 0; k < 8; k++) values[1 + k] = a.lips[k] * (1 - w) + b.lips[k] * w;
    }
  }
  if (l.emotion) {
    float t = Speech_GetLineTime(o);
    float last = l.emotion[l.emotionCount - 1].time;
    if (t >= last) {
      FreeEmotion(l);
      return;
    }
    float e = 0;
    if (t > 0) {
      e = t < 0.5f ? 2 * t : 1.0f;
      if (t > last - 0.5f) e *= 2 * (last - t);
    }
    for (int r = 0; r < l.emotionCount; r++) {
      if (l.emotion[r].time < t) continue;
      for (int k = 0; k < 5; k++) values[10 + k] = l.emotion[r].weights[k] * e;
      break;
    }
  }
}

void Speech_FreeTracks(GameObject* o) {
  FreeSpeech(o->speech);
  FreeEmotion(o->speech);
}

void Speech_Free(GameObject* o) {
  if (!o) return;
  Speech_ResetValues(o->drawValues);
  StopVoice(o);
  Speech_FreeTracks(o);
  o->speech.clockKind = SPEECH_NO_LINE;
}
