#include "tools/quest_assets.h"

#include <cmath>
#include <filesystem>

#include "tools/hud_writer.h"
#include "tools/quest_writer.h"
#include "tools/sound_files.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// The texts of the piece, by key.
const std::pair<const char*, const char*> kTexts[] = {
    {"personages\\townsman_1", "Old Bram"},
    {"dialogs\\greeter_hello", "Evening, stranger. Looking for work?"},
    {"dialogs\\greeter_ask_work", "Any work for me?"},
    {"dialogs\\greeter_bye", "Not now. Goodbye."},
    {"dialogs\\greeter_find_key",
     "Someone dropped the gate key by the parked car down the street. Bring it along and 100 credits are yours."},
    {"dialogs\\greeter_will_do", "I'll find it."},
    {"dialogs\\greeter_done", "You found the gate key. Old Bram pays you 100 credits."},
    {"missions\\gate_job", "The lost gate key"},
    {"goals\\carry_gate_key", "Find the gate key by the parked car"},
    {"menu\\goals", "Goals"},
    {"dialogs\\hold_weapon_for_talk", "Weapon in hand: Use talks all the same"},
    {"menu\\nogoals", "No goals yet"},
};

}  // namespace

// A voice-like phrase of three syllables: a falling pitch with two formants, each syllable
// swelling and fading.
std::vector<uint8_t> QuestAssets_GreetingWav() {
  constexpr int kRate = 22050;
  constexpr double kPi = 3.14159265358979323846;
  const double syllables[3][3] = {{0.00, 0.28, 170}, {0.34, 0.62, 150}, {0.70, 1.10, 125}};  // start, end, pitch
  const int frames = int(1.2 * kRate);
  std::vector<int16_t> pcm(size_t(frames), 0);
  double phase = 0;
  for (int i = 0; i < frames; i++) {
    double t = double(i) / kRate, v = 0;
    for (const auto& s : syllables) {
      if (t < s[0] || t >= s[1]) continue;
      double u = (t - s[0]) / (s[1] - s[0]);
      double envelope = std::sin(kPi * u);
      double pitch = s[2] * (1.0 - 0.15 * u);
      phase += 2 * kPi * pitch / kRate;
      v = envelope * (0.5 * std::sin(phase) + 0.3 * std::sin(phase * 4.0) + 0.15 * std::sin(phase * 9.0));
    }
    pcm[size_t(i)] = int16_t(std::lround(v * 12000));
  }
  return Tool_WavBytes(1, kRate, 16, pcm);
}

std::vector<std::pair<std::string, std::vector<uint8_t>>> QuestAssets_Files() {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  // Talking to the townsman: his greeting, then two answers.
  files.emplace_back("scripts/que/greeter/enter.txt",
                     Bytes(QuestWriter_Script({{"say", "dialogs\\greeter_hello", "sound\\dialogs\\greeter_hello"},
                                               {"answer", "dialogs\\greeter_ask_work", "greeter\\work"},
                                               {"answer", "dialogs\\greeter_bye", "greeter\\bye"}})));
  // Asking for work: a flag, the mission, the objective of carrying the gate key.
  files.emplace_back("scripts/que/greeter/work.txt",
                     Bytes(QuestWriter_Script({{"flag_set", "gate_job"},
                                               {"mission", "missions\\gate_job"},
                                               {"objective", "carry_gate_key", "greeter\\paid"},
                                               {"say", "dialogs\\greeter_find_key", "-"},
                                               {"answer", "dialogs\\greeter_will_do", "greeter\\bye"}})));
  files.emplace_back("scripts/que/greeter/bye.txt", Bytes(QuestWriter_Script({{"dialog_end"}})));
  // The key carried: the status text and the reward.
  files.emplace_back("scripts/que/greeter/paid.txt",
                     Bytes(QuestWriter_Script({{"status", "dialogs\\greeter_done", "6", "255", "220", "120", "255"},
                                               {"give", "money", "100"}})));
  files.emplace_back("scripts/cond/carry_gate_key.txt", Bytes(QuestWriter_Condition({{"item", "gate key"}})));
  for (const auto& [key, text] : kTexts) files.emplace_back(QuestWriter_TextPath(key), Bytes(text));
  files.emplace_back("sound/dialogs/greeter_hello.wav", QuestAssets_GreetingWav());
  return files;
}

bool QuestAssets_Write(const std::string& stage) {
  namespace fs = std::filesystem;
  for (const auto& [name, bytes] : QuestAssets_Files()) {
    std::error_code ec;
    fs::path path = fs::path(stage) / name;
    fs::create_directories(path.parent_path(), ec);
    if (!Tool_WriteBytes(path.string(), bytes)) return false;
  }
  return true;
}
