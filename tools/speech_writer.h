// Writers of the two text tracks beside a voiced line.
//
// Speech track ("<line>.txt"): a header of four blank-separated tokens, "speech 1 <period> 8" as
// written here: a kind word, a version, the seconds per record (the only token the game reads)
// and the number of lip values per record. Then one line per record of nine numbers: the eight
// lip values and a ninth that the game reads and drops (written as 0).
// Emotion track ("<line>.emo"): one line per record, "<time> w1 w2 w3 w4 w5", times in seconds
// from the start of the line, ascending.
#pragma once
#include <array>
#include <string>
#include <vector>

std::string Tool_SpeechTrackText(float period, const std::vector<std::array<float, 8>>& records);
std::string Tool_EmotionTrackText(const std::vector<std::array<float, 6>>& records);
// Writes "<base>.txt" and "<base>.emo" beside the voice "<base>.wav"; false when either fails.
bool Tool_WriteSpeechTracks(const std::string& base, float period, const std::vector<std::array<float, 8>>& speech,
                            const std::vector<std::array<float, 6>>& emotion);
