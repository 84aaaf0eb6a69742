// The sample street's population: two passer-by templates and a car template (a character with
// a car) that the street's navigation file names.
#pragma once
#include <string>
#include <utility>
#include <vector>

// Template names as the navigation file gives them (".scn" is added when loaded).
extern const char* const kPopulationSampleDay[2];
extern const char* const kPopulationSampleCar;
// The template files: stage-relative names and their entity text.
std::vector<std::pair<std::string, std::string>> PopulationAssets_Files();
