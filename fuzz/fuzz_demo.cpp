// Fuzz target: demo playback, stepped as the frame steps it, restarts included.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz.h"
#include "tools/save_maker.h"
#include "world/demo.h"
#include "world/game.h"
#include "world/level.h"
#include "world/object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    Fuzz_EnterPrivateFolder("fuzz_demo");
    if (mkdir("demo", 0755) != 0) return 0;
    ready = true;
  }
  FILE* f = std::fopen("demo/fuzz.dem", "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  Tool_MakeSmallGame(0);
  Demo_StartPlayback("fuzz");
  int restarts = 0;
  for (int ticks = 0; ticks < 200 && (Game_DemoFlags & DEMO_PLAYBACK); ticks++) {
    Demo_ReadFrame(&Game_CurrentFrame);
    uint32_t command = Game_CurrentFrame.command;
    if (command & DEMO_CMD_CHAIN) {
      const char* next = Demo_NextName();
      if (next[0] && restarts++ < 2) {
        Demo_StartPlayback(next);
        continue;
      }
    }
    if (!(Game_DemoFlags & DEMO_PLAYBACK) || (command & DEMO_CMD_END)) break;
    if (Game_CurrentFrame.step < 0 || Game_CurrentFrame.step > kDemoMaxStep) __builtin_trap();
    Game_TickFrame = Game_CurrentFrame;
    Game_Tick();
  }
  EndDemo();
  Level_Free();
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  std::vector<DemoFrame> frames;
  for (int i = 0; i < 12; i++) frames.push_back(DemoFrame{0.05f, 0.01f * float(i), 0, uint32_t(i)});
  seeds.push_back(Tool_SmallDemo(frames, "fuzz"));
  seeds.push_back(Tool_SmallDemo({}, ""));
}
