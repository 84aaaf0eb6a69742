// Fuzz target: the Transport System file's reader and the mini-game's prize file reader.
#include <cmath>
#include <cstring>
#include <string>

#include "foundation/file.h"
#include "fuzz.h"
#include "quests/minigame.h"
#include "quests/ts.h"
#include "tools/ts_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TsData out;
  if (TS_ReadData(data, size, "fuzz.tsd", &out)) {
    if (out.districtCount < 0 || out.districtCount > kTsDistricts || out.mapCount < 0 || out.mapCount > kTsMaps)
      __builtin_trap();
    for (int d = 0; d < out.districtCount; d++) {
      const TsDistrict& dist = out.districts[d];
      if (dist.placeCount < 0 || dist.placeCount > kTsPlaces) __builtin_trap();
      if (strnlen(dist.model, sizeof dist.model) >= sizeof dist.model || std::strstr(dist.model, "..")) __builtin_trap();
      for (int p = 0; p < dist.placeCount; p++)
        if (!std::isfinite(dist.places[p].origin.x) || !std::isfinite(dist.places[p].angles.z)) __builtin_trap();
    }
  }
  // The same bytes as prize file 01 (no player: nothing is paid).
  Fuzz_EnterPrivateFolder("fuzz_ts");
  if (FileHandle* f = File_Open("data\\scripts\\minigame\\prize01.cfg", "wb")) {
    File_Write(data, 1, size, f);
    File_Close(f);
  }
  TextFile_Flush();
  if (MiniGame_PayPrize("1") > kMiniGamePrizeMax) __builtin_trap();
  return 0;
}

static std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  TsToolFile f;
  TsToolDistrict d{"ts\\city", "city", 0, {}, -1};
  d.places = {{"ts\\street", "street", {1, 2, 3}, {90, 0, 0}}, {"ts\\arena", "arena", {-450, 0, 0}, {0, 0, 0}}};
  f.districts = {d, TsToolDistrict{"ts\\docks", "docks", 1, {}, -1}};
  f.maps = {{"street", "sprites\\maps\\street", -1200, -1200, 1200, 1200}};
  seeds.push_back(TsTool_Write(f));
  seeds.push_back(Bytes("[money] [500]\n"));
  seeds.push_back(Bytes("[money] [99999999999]\n[item]"));
}
