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
    {"dialogs\\greeter_done", "You found the gate key. Old Bram's 100 credits are yours."},
    {"dialogs\\greeter_waiting", "Found the gate key yet? It lies by the parked car down the street."},
    {"dialogs\\greeter_still_looking", "I'm still looking."},
    {"dialogs\\greeter_has_key", "That's the gate key you carry! Keep it, and take the 100 credits all the same."},
    {"dialogs\\greeter_thanks", "Thanks again for finding the gate key."},
    {"dialogs\\greeter_farewell", "Goodbye."},
    {"missions\\gate_job", "The lost gate key"},
    {"goals\\carry_gate_key", "Find the gate key by the parked car"},
    {"menu\\goals", "Goals"},
    {"dialogs\\hold_weapon_for_talk", "Press use key to talk"},
    {"menu\\nogoals", "No goals yet"},
    {"menu\\goaldone", "done"},
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
  auto script = [&files](const std::string& name, const std::vector<std::vector<std::string>>& commands) {
    files.emplace_back("scripts/que/greeter/" + name + ".txt", Bytes(QuestWriter_Script(commands)));
  };
  // Talking to the townsman: his thanks once the errand is done, his question while it runs, else
  // his greeting and two answers.
  script("enter", {{"if", "gate_job_done", "greeter\\thanks", "greeter\\offer"}});
  script("offer", {{"if", "gate_job_taken", "greeter\\waiting", "greeter\\hello"}});
  script("hello", {{"say", "dialogs\\greeter_hello", "sound\\dialogs\\greeter_hello"},
                   {"answer", "dialogs\\greeter_ask_work", "greeter\\work"},
                   {"answer", "dialogs\\greeter_bye", "greeter\\bye"}});
  script("waiting", {{"say", "dialogs\\greeter_waiting", "-"},
                     {"answer", "dialogs\\greeter_still_looking", "greeter\\bye"}});
  script("thanks", {{"say", "dialogs\\greeter_thanks", "-"}, {"answer", "dialogs\\greeter_farewell", "greeter\\bye"}});
  // Asking for work: a flag, the mission, the objective of carrying the gate key; he asks for the
  // key, or sees that it is carried already (the objective is then met at once).
  script("work", {{"if", "carry_gate_key", "greeter\\has_key", "greeter\\job"}});
  const std::vector<std::string> flag = {"flag_set", "gate_job"}, mission = {"mission", "missions\\gate_job"},
                                  objective = {"objective", "carry_gate_key", "greeter\\paid"};
  script("job", {flag, mission, objective, {"say", "dialogs\\greeter_find_key", "-"},
                 {"answer", "dialogs\\greeter_will_do", "greeter\\bye"}});
  script("has_key", {flag, mission, objective, {"say", "dialogs\\greeter_has_key", "-"},
                     {"answer", "dialogs\\greeter_farewell", "greeter\\bye"}});
  script("bye", {{"dialog_end"}});
  // The key carried: the status text, the reward and the errand done.
  script("paid", {{"status", "dialogs\\greeter_done", "6", "255", "220", "120", "255"},
                  {"give", "money", "100"},
                  {"flag_set", "gate_done"}});
  files.emplace_back("scripts/cond/gate_job_taken.txt", Bytes(QuestWriter_Condition({{"flag", "gate_job"}})));
  files.emplace_back("scripts/cond/gate_job_done.txt", Bytes(QuestWriter_Condition({{"flag", "gate_done"}})));
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
