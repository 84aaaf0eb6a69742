// Writers of the quest side's text files: condition files "scripts\cond\<name>.txt", one test a
// line in brackets, and texts of the language folder "data\text\<language>\<key>.txt".
#pragma once
#include <string>
#include <vector>

// Each test: its word, then its arguments ("flag" "met_mara"; "money" "100"; "near" "gate" "64").
std::string QuestWriter_Condition(const std::vector<std::vector<std::string>>& tests);
// The file name of a text key in a language: "data/text/Eng/dialogs/hello.txt".
std::string QuestWriter_TextPath(const std::string& key, const std::string& language = "Eng");
