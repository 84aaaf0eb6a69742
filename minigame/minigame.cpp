// The hacking mini-game: a terminal shows a grid of sixteen codes and the three-code key of the
// lock. The player picks the key's codes in order, with the mouse (point and click) or by
// pointing and pressing Space or Enter; a code taken once cannot be taken again. A wrong pick
// costs one of three tries and starts the key over. The whole key opens the lock (a win); the last
// try spent, or Escape, gives up. Either way the result shows for a moment before the game ends.
#include <cstdio>
#include <cstring>

#include "minigame/mg_api.h"

#define MG_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int kColumns = 4, kRows = 4, kCells = kColumns * kRows;
constexpr int kKeyLength = 3;
constexpr int kTries = 3;
constexpr int kCodes = 6;
constexpr float kResultSeconds = 0.75f;
const char* const kCodeNames[kCodes] = {"1C", "55", "BD", "E9", "7A", "FF"};
// The grid's cells: 70 x 50 at 80 x 60 steps from (170, 150); the key's boxes along y 70..110.
constexpr float kGridLeft = 170, kGridTop = 150, kCellStepX = 80, kCellStepY = 60, kCellW = 70, kCellH = 50;
constexpr float kKeyLeft = 210, kKeyTop = 70, kKeyStep = 80, kKeyW = 60, kKeyH = 40;

struct Game {
  bool running;
  MgCallbacks cb;
  int cells[kCells];
  bool used[kCells];
  int key[kKeyLength];
  int progress;
  int tries;
  int hovered;  // -1 none
  int32_t result;  // MG_PLAYING until the end shows
  float resultTime;  // seconds the result has shown
  uint32_t seed;
};
Game g;

int Draw(int count) {
  if (g.cb.Random) {
    int32_t v = g.cb.Random(count);
    return v >= 0 && v < count ? v : 0;
  }
  g.seed = g.seed * 214013u + 2531011u;
  return int((g.seed >> 16) & 0x7fff) % count;
}

void Sound(const char* name) {
  if (g.cb.PlaySound) g.cb.PlaySound(name);
}

void Text(float l, float t, float r, float b, float size, const char* text, uint8_t cr, uint8_t cg, uint8_t cb) {
  if (g.cb.DrawText) g.cb.DrawText(l, t, r, b, size, text, cr, cg, cb);
}

void Box(float l, float t, float r, float b, uint8_t cr, uint8_t cg, uint8_t cb) {
  if (g.cb.FillRect) g.cb.FillRect(l, t, r, b, cr, cg, cb, 255);
}

int CellAt(int x, int y) {
  for (int i = 0; i < kCells; i++) {
    float l = kGridLeft + float(i % kColumns) * kCellStepX, t = kGridTop + float(i / kColumns) * kCellStepY;
    if (float(x) >= l && float(x) < l + kCellW && float(y) >= t && float(y) < t + kCellH) return i;
  }
  return -1;
}

void Pick() {
  if (!g.running || g.result != MG_PLAYING || g.hovered < 0 || g.used[g.hovered]) return;
  if (g.cells[g.hovered] == g.key[g.progress]) {
    g.used[g.hovered] = true;
    if (++g.progress == kKeyLength) {
      g.result = MG_WON;
      Sound("sound\\hacking_done");
    } else {
      Sound("sound\\hacking_ok");
    }
    return;
  }
  g.progress = 0;
  std::memset(g.used, 0, sizeof g.used);
  Sound("sound\\hacking_wrong");
  if (--g.tries <= 0) g.result = MG_GAVE_UP;
}

}  // namespace

MG_EXPORT int32_t MG_Init(const MgCallbacks* callbacks, int32_t money) {
  if (!callbacks || callbacks->version != kMgApiVersion) return 0;
  g = Game{};
  g.cb = *callbacks;
  g.seed = uint32_t(money) ^ 0x5eedu;
  for (int& c : g.cells) c = Draw(kCodes);
  // The key is made of codes of three different cells, so it can always be opened.
  int chosen[kKeyLength];
  for (int k = 0; k < kKeyLength; k++) {
    int cell;
    bool again;
    do {
      cell = Draw(kCells);
      again = false;
      for (int j = 0; j < k; j++) again |= chosen[j] == cell;
    } while (again);
    chosen[k] = cell;
    g.key[k] = g.cells[cell];
  }
  g.tries = kTries;
  g.hovered = -1;
  g.result = MG_PLAYING;
  g.running = true;
  if (g.cb.Log) g.cb.Log("minigame: the lock is ready\n");
  return 1;
}

MG_EXPORT void MG_Free() { g = Game{}; }

MG_EXPORT int32_t MG_Update(float seconds) {
  if (!g.running) return MG_GAVE_UP;
  if (g.result == MG_PLAYING) return MG_PLAYING;
  if (seconds > 0 && seconds < 10) g.resultTime += seconds;
  return g.resultTime >= kResultSeconds ? g.result : MG_PLAYING;
}

MG_EXPORT void MG_Render() {
  if (!g.running) return;
  Box(120, 20, 520, 420, 10, 24, 18);
  Text(120, 24, 520, 60, 20, "Break the lock: pick the key's codes in order", 120, 255, 140);
  for (int k = 0; k < kKeyLength; k++) {
    float l = kKeyLeft + float(k) * kKeyStep;
    bool done = k < g.progress;
    Box(l, kKeyTop, l + kKeyW, kKeyTop + kKeyH, done ? 30 : 40, done ? 160 : 40, done ? 60 : 50);
    Text(l, kKeyTop, l + kKeyW, kKeyTop + kKeyH, 20, kCodeNames[g.key[k]], 255, 255, 255);
  }
  for (int i = 0; i < kCells; i++) {
    float l = kGridLeft + float(i % kColumns) * kCellStepX, t = kGridTop + float(i / kColumns) * kCellStepY;
    uint8_t r = 30, gg = 60, b = 45;
    if (g.used[i]) r = 30, gg = 160, b = 60;
    else if (i == g.hovered) r = 90, gg = 140, b = 110;
    Box(l, t, l + kCellW, t + kCellH, r, gg, b);
    Text(l, t, l + kCellW, t + kCellH, 20, kCodeNames[g.cells[i]], 200, 255, 210);
  }
  char line[64];
  if (g.result == MG_WON) std::snprintf(line, sizeof line, "ACCESS GRANTED");
  else if (g.result == MG_GAVE_UP) std::snprintf(line, sizeof line, "LOCKED OUT");
  else std::snprintf(line, sizeof line, "Tries left: %d    Escape gives up", g.tries);
  Text(120, 385, 520, 415, 18, line, 120, 255, 140);
}

MG_EXPORT void MG_MouseMove(int32_t x, int32_t y) {
  if (g.running && g.result == MG_PLAYING) g.hovered = CellAt(x, y);
}

MG_EXPORT void MG_MouseDown(int32_t button) {
  if (button == kMgMouseLeft) Pick();
}

MG_EXPORT void MG_KeyDown(int32_t key) {
  if (!g.running || g.result != MG_PLAYING) return;
  if (key == kMgKeyEscape) {
    g.result = MG_GAVE_UP;
    g.resultTime = kResultSeconds;  // giving up ends at once
  } else if (key == kMgKeyConfirm) {
    Pick();
  }
}
