// Voiced lines: a speech track (".txt", lip values) and an emotion track (".emo", expression
// weights) beside the voice, sampled into an object's draw values, timed by the voice's play
// position or, without a playable voice, by the game clock.
#pragma once
#include <cstdint>

struct GameObject;

constexpr int kDrawValues = 16;

struct SpeechRecord {
  float lips[8];
};
struct EmotionRecord {
  float time;  // seconds from the start of the line
  float weights[5];
};

// Line clock kinds.
enum : int32_t { SPEECH_NO_LINE = 0, SPEECH_BY_VOICE = 1, SPEECH_BY_CLOCK = 2 };

// The line of one object. The voice handle is the object's general sound handle
// (person.voices[0]).
struct SpeechLine {
  int32_t clockKind;
  float startTime;  // game time at which the line started
  int32_t speechCount;
  SpeechRecord* speech;  // null when there is no speech track
  float period;          // seconds per speech record
  int32_t emotionCount;
  EmotionRecord* emotion;  // null when there is no emotion track
};

// The readers, open for tests and fuzzing: the records of a whole text (at most `capacity`; the
// count of records the text holds is returned). A speech text whose header has fewer than four
// tokens, or whose period is not a positive finite number, holds no records; *period is set
// whenever the header has its four tokens.
// A number that is not finite (NaN, infinite, too large) never reaches a record: a speech line
// holding one stays a record with 0 in its place (records are timed by their place), an emotion
// line holding one is skipped (its record carries its own time). Such lines are counted in
// *skipped when given.
int Speech_ParseText(const char* text, uint32_t size, float* period, SpeechRecord* out, int capacity,
                     int* skipped = nullptr);
int Emotion_ParseText(const char* text, uint32_t size, EmotionRecord* out, int capacity, int* skipped = nullptr);

// Reads "<name>.txt" and "<name>.emo" (replacing the object's line; its previous voice stops) and
// plays the voice "<name>".
void Speech_Load(GameObject* o, const char* name);
// Resets the 16 values (1 then fifteen 0) and samples the tracks into values 1-8 and 10-14.
void Speech_Find(GameObject* o, float* values);
// The line's time in seconds; 1e10 once the voice has finished.
float Speech_GetLineTime(GameObject* o);
void Speech_Free(GameObject* o);
// Releases the object's tracks and leaves its voice alone (the object is being released).
void Speech_FreeTracks(GameObject* o);
// Sets the 16 values to 1 then fifteen 0.
void Speech_ResetValues(float* values);
