// The per-pixel-lit content of the sample game: the DU level "maps\litroom\litroom" with its
// ".hmp", the BU figure "models\lit\figure" with its skeleton and bend animation, and their TGA
// textures. The running game loads them but never lights them.
#pragma once
#include <string>

// Writes the files below `stage` (the folder packed into the archive); false on a write error.
bool LitSample_Write(const std::string& stage);
