// The 2D layer of the frame: exactly one screen by mode.
#pragma once
#include <cstdint>

void Game_Draw2D();

// What the play screen shows besides the use target's prompts: markers raised by the actions
// that search, hack, pick locks and vote; the subtitle of the last voiced line; the status text
// the quests set. Times are game times in seconds.
enum PlayMarker : uint32_t { PLAYMARK_SEARCH = 1, PLAYMARK_HACK = 2, PLAYMARK_LOCKPICK = 4, PLAYMARK_VOTE = 8 };
constexpr double kSubtitleSeconds = 3.0;
// The paused text: white, centred in its box (640 x 480 layout).
constexpr float kPausedTextSize = 30.0f;
constexpr float kPausedBox[4] = {120, 200, 520, 280};
// The hint to talk with a weapon in hand: above the talk marker, clear of the HUD's lines.
constexpr float kTalkHintBox[4] = {120, 250, 520, 280};
constexpr int kPlayScreenKeySize = 128;
struct PlayScreenState {
  uint32_t markers;                    // PlayMarker bits, shown while set
  char subtitleKey[kPlayScreenKeySize];  // text key of the last voiced line; empty = none
  uint32_t subtitleVoice;              // its sound voice
  double subtitleStart;                // shown until this + kSubtitleSeconds
  char statusKey[kPlayScreenKeySize];  // empty = none
  double statusStart;                  // shown while statusStart + statusDuration is after the game time
  float statusDuration;
  uint8_t statusColor[4];              // r, g, b, a
};
extern PlayScreenState Game_PlayScreen;
// Empties the record (no markers, no subtitle with its start at -1000, no status text).
void Game_ClearPlayScreen();

// The mouse pointer of menus, dialogues and panels on the 640 x 480 layout: moved by the mouse's
// counts of the frame, kept on the screen, put back at the centre when a level is released.
extern float Game_CursorX, Game_CursorY;
void Game_MoveCursor(int dx, int dy);
void Game_CentreCursor();
