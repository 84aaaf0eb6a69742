// Writer of the personage list ("scripts\personages"): the names of the characters a game
// carries between levels, one a line.
#pragma once
#include <string>
#include <vector>

std::string Tool_PersonageList(const std::vector<std::string>& names);
// The sample game's characters.
std::vector<std::string> Tool_SamplePersonages();
