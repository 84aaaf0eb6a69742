// The sample's story piece: the townsman's dialogue cue "greeter" with its scripts, the condition
// of carrying the gate key, the texts of the lines, answers and goals, and the voiced greeting.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Files by name below the game's folder ("scripts/que/greeter/enter.txt",
// "data/text/Eng/dialogs/greeter_hello.txt", "sound/dialogs/greeter_hello.wav", ...).
std::vector<std::pair<std::string, std::vector<uint8_t>>> QuestAssets_Files();
// The voiced greeting: a short spoken-like phrase (mono, 22050 Hz, 16 bits).
std::vector<uint8_t> QuestAssets_GreetingWav();
// Writes the files below `stage`; false when one cannot be written.
bool QuestAssets_Write(const std::string& stage);
