// The sample game's default settings file: the key bindings a new player starts with.
#pragma once
#include <string>
#include <utility>
#include <vector>

// Binding variable and the command it fires, in the file's order.
std::vector<std::pair<std::string, std::string>> Tool_DefaultBindings();
// The settings file text: one "name" "value" line per binding.
std::string Tool_DefaultSettingsText();
