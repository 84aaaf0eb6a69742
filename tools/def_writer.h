// Writer of definition files ("scripts\weapons.txt" and the others): entries of a kind word and a
// name, each followed by its key and value pairs, all in square brackets.
#pragma once
#include <string>
#include <utility>
#include <vector>

struct DefToolEntry {
  std::string name;
  std::vector<std::pair<std::string, std::string>> values;  // key, value (written in this order)
};

// The file text: "[<word>] [<name>]" then "  [key] [value]" lines, one entry after another.
std::string Tool_DefFile(const std::string& word, const std::vector<DefToolEntry>& entries);

// The sample game's definitions, by file name below "scripts\" ("weapons.txt" ...).
std::vector<std::pair<std::string, std::string>> Tool_SampleDefFiles();
