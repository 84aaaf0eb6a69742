// Writer of entity text (".scn", ".civ", ".bot", ".items" and "call" templates): blocks of
// quoted key and value pairs.
#pragma once
#include <string>
#include <utility>
#include <vector>

using EntityToolPairs = std::vector<std::pair<std::string, std::string>>;  // key, value in order

// One block: "{", one "key" "value" line per pair, "}". A block of no pairs is "{ }".
// False (with a line on standard error) when a key or value holds a double quote: the format
// has no escape for it.
bool Tool_EntityBlock(const EntityToolPairs& pairs, std::string* out);
// The blocks one after another; false as above (out then holds nothing).
bool Tool_EntityText(const std::vector<EntityToolPairs>& blocks, std::string* out);
// A template file's text: the pairs alone, without braces (they continue the calling block).
bool Tool_EntityTemplate(const EntityToolPairs& pairs, std::string* out);

// The sample level's entity files, by name below the game's data folder:
// "scenes/street.scn", ".civ", ".bot", ".items" and the templates they call.
std::vector<std::pair<std::string, std::string>> Tool_SampleEntityFiles();
// One block of every class, every level table and object field filled (tests and fuzz seeds).
std::vector<EntityToolPairs> Tool_KitchenSinkBlocks();
