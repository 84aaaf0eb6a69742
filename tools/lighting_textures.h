// The lighting paths' shared textures: "textures\flat" (the flat normal, 128 128 255) and the
// cube map "textures\normalization" of normalised directions, 64 x 64 a face.
#pragma once
#include <string>

// Writes both below `root` ("textures/flat.tga", "textures/normalization.cub" and its faces).
bool LightingTool_WriteTextures(const std::string& root);
