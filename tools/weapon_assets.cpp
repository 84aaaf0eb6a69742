#include "tools/weapon_assets.h"

#include <cstdint>
#include <vector>

#include "tools/sound_files.h"

namespace {

// A tone that dies away over its length.
std::vector<uint8_t> Decaying(int frames, double hz, double amplitude) {
  std::vector<int16_t> pcm = Tool_Sine(1, 22050, frames, hz, amplitude);
  for (size_t i = 0; i < pcm.size(); i++) pcm[i] = int16_t(pcm[i] * (1.0 - double(i) / double(pcm.size())));
  return Tool_WavBytes(1, 22050, 16, pcm);
}

}  // namespace

bool WeaponAssets_Write(const std::string& stage) {
  return Tool_PutStaged(stage, "sound/shot_pi.wav", Decaying(2205, 420, 0.7)) &&
         Tool_PutStaged(stage, "sound/weapon_empty.wav", Decaying(441, 1800, 0.4)) &&
         Tool_PutStaged(stage, "sound/weapon_reload.wav", Decaying(4410, 600, 0.3)) &&
         Tool_PutStaged(stage, "sound/weapon_switch.wav", Decaying(1323, 900, 0.3));
}
