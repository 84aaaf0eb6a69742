#include "tools/save_maker.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "tools/nav_writer.h"
#include "tools/sound_files.h"
#include "world/demo.h"
#include "world/entity.h"
#include "world/game.h"
#include "world/level.h"
#include "world/net.h"
#include "world/object.h"
#include "world/personage.h"
#include "world/save.h"

bool Tool_WriteSmallLevel(int civilianAreas) {
  NavWriterFile nav;
  NavWriter_AddGrid(nav.sets[0], 0, 0, 200, 100, civilianAreas, 1, 0);
  NavWriter_AddGrid(nav.sets[1], 0, 100, 400, 100, 1, 1, 0);
  std::string text = NavWriter_Text(nav);
  std::error_code ec;
  std::filesystem::create_directories("scenes", ec);
  return Tool_WriteBytes("scenes/yard.nav", std::vector<uint8_t>(text.begin(), text.end()));
}

void Tool_MakeSmallGame(int mode) {
  Obj_ClearAll();
  Game_NetMode = mode;
  Game_Running = 1;
  std::snprintf(Level_Name, sizeof Level_Name, "%s", "yard");
  for (int c = MACHINEPLAYER; c <= NPC; c++) {
    GameObject* o = Obj_Alloc();
    if (!o) return;
    o->classNum = c;
    Load_ObjectX(o);
    o->flags |= OBJ_ACTIVE;
    o->origin = vec3{float(c) * 20, 8, 0};
    o->mins = vec3{-16, -16, 0};
    o->maxs = vec3{16, 16, 64};
    if (c == MACHINEPLAYER) Obj_Player = o;
    if (c == NPC) std::snprintf(o->person.name, sizeof o->person.name, "%s", "Mara");
  }
  Game_PersonageCount = 1;
  Game_Personages[0] = GlobalPersonage{};
  std::snprintf(Game_Personages[0].person.name, sizeof Game_Personages[0].person.name, "%s", "Mara");
  Level_EmitterCount = 2;
  Level_Emitters[0] = SoundEmitter{"rain", 0.5f, 40.0f, vec3{1, 2, 3}, "rain1"};
  Level_Emitters[1] = SoundEmitter{"tune", 1.0f, 0.0f, vec3{}, "music_ambient"};
  if (mode == 1) NET_FragTable[0] = FragRow{1, 0x0200007F, "guest", 2, 0};
  Game_Time = 10.0;
}

std::vector<uint8_t> Tool_SmallSave(int mode) {
  Tool_MakeSmallGame(mode);
  std::vector<uint8_t> bytes = Save_SnapshotBytes();
  NET_FragTable[0] = FragRow{};
  Game_NetMode = 0;
  return bytes;
}

static void PutWords(std::vector<uint8_t>& out, const DemoFrame& f) {
  uint32_t w[4];
  std::memcpy(&w[0], &f.step, 4);
  std::memcpy(&w[1], &f.turn, 4);
  std::memcpy(&w[2], &f.pitch, 4);
  w[3] = f.command;
  for (uint32_t v : w)
    for (int i = 0; i < 4; i++) out.push_back(uint8_t(v >> (8 * i)));
}

std::vector<uint8_t> Tool_SmallDemo(const std::vector<DemoFrame>& frames, const char* name) {
  std::vector<uint8_t> out = Tool_SmallSave(0);
  for (const DemoFrame& f : frames) PutWords(out, f);
  PutWords(out, DemoFrame{0, 0, 0, DEMO_CMD_CHAIN});
  char slot[kDemoNameSize] = {};
  std::snprintf(slot, sizeof slot, "%s", name ? name : "");
  out.insert(out.end(), slot, slot + sizeof slot);
  PutWords(out, DemoFrame{0, 0, 0, DEMO_CMD_END});
  return out;
}
