// Fuzz target: the whole load of a saved game over a small running game. Inputs whose date word
// (byte 8, which no load reads) is odd are sealed again first, so that changed values get past
// the check word to the checks behind it, as a crafted save would.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "ai/bot.h"
#include "characters/defs.h"
#include "foundation/file.h"
#include "foundation/random.h"
#include "foundation/zip.h"
#include "fuzz.h"
#include "tools/save_maker.h"
#include "world/entity.h"
#include "world/game.h"
#include "world/level.h"
#include "world/object.h"
#include "world/save.h"
#include "world/tick.h"

namespace {

void Quiet(const char*, size_t, void*) {}

// The sample game (the project's make_sample beside this program, from the sources' sample
// folder) in the current folder, its archives mounted: the levels that real saves name. False
// when the tool or the sources are not there.
bool MountSampleGame() {
  static int mounted = -1;
  if (mounted >= 0) return mounted == 1;
  mounted = 0;
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return false;
  std::filesystem::path tool = self.parent_path() / "make_sample";
  std::string command = tool.string() + " " + TW_SOURCE_DIR + "/sample . >/dev/null 2>&1";
  if (!std::filesystem::exists(tool) || std::system(command.c_str()) != 0) return false;
  File_Init();
  Ent_SetOutput(Quiet, nullptr);
  mounted = 1;
  return true;
}

// Seals the bytes as a save is sealed: a mark and the CRC-32 of everything before the CRC. A
// sealed input gets its CRC anew, another the seal behind it.
void Reseal(std::vector<uint8_t>& bytes) {
  constexpr size_t kSeal = 8;
  static const uint8_t kMark[4] = {'T', 'W', 'C', 'K'};
  if (bytes.size() < kSeal || std::memcmp(&bytes[bytes.size() - kSeal], kMark, 4) != 0)
    bytes.insert(bytes.end(), kMark, kMark + 4);
  else
    bytes.resize(bytes.size() - 4);
  uint32_t crc = Zip_Crc32(0, bytes.data(), bytes.size());
  for (int i = 0; i < 4; i++) bytes.push_back(uint8_t(crc >> (8 * i)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    Fuzz_EnterPrivateFolder("fuzz_save");
    MountSampleGame();       // the sample's levels, which the real saves among the seeds name
    Tool_WriteSmallLevel();  // the level the small seeds name
    ready = true;
  }
  Tool_MakeSmallGame(0);
  std::vector<uint8_t> sealed;
  if (size > 8 && (data[8] & 1)) {
    sealed.assign(data, data + size);
    Reseal(sealed);
    data = sealed.data();
    size = sealed.size();
  }
  size_t used = Save_ApplySnapshot(data, size, SNAPSHOT_LOAD, "Load");
  if (used > size) __builtin_trap();
  if (used && (!Obj_Player || Obj_Player->classNum != MACHINEPLAYER)) __builtin_trap();
  if (used && Obj_LastId() >= 0x80000000u) __builtin_trap();
  for (GameObject* o = Obj_ListHead; o; o = o->next)
    if (o->classNum < MACHINEPLAYER || o->classNum > NPC) __builtin_trap();
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  for (int mode = 0; mode < 3; mode++) seeds.push_back(Tool_SmallSave(mode));
  // A game whose characters carry AI state: a walker and one engaged with the player.
  Tool_MakeSmallGame(0);
  bot_Setup(Obj_Player, "*");
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    if (o->classNum != NPC) continue;
    bot_Setup(o, "guard");
    bot_SetWalk(o, BOT_WALK_CIVILIAN);
    o->bot.engaged = BOT_ENGAGE_FOLLOW;
    o->bot.target = Obj_Player->id;
  }
  seeds.push_back(Save_SnapshotBytes());
  // Real saves of the sample: the street after a second of play, and the lit rooms; sealed as
  // the game seals them.
  const std::string here = std::filesystem::current_path().string();
  Fuzz_EnterPrivateFolder("fuzz_save");
  if (!MountSampleGame()) return;
  for (const DefTable& t : Def_Tables) Def_LoadTable(t);
  Math_RandInit();
  for (const char* level : {"street", "rooms"}) {
    if (Level_Load(level) != 1 || !Obj_Player) continue;
    for (int i = 0; i < 20; i++) {
      Game_TickFrame = DemoFrame{0.05f, 0, 0, 0};
      Game_Tick();
    }
    std::vector<uint8_t> save = Save_SnapshotBytes();
    save[8] |= 1;  // sealed again whenever the fuzzer changes it
    Reseal(save);
    seeds.push_back(save);
  }
  Level_Free();
  if (chdir(here.c_str()) != 0) return;
}
