// Writer of DU level files (".du") and their ".hmp" text, with builders of small levels, for
// tests, fuzz seeds and the sample game.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct DuToolVertex {
  float position[3] = {};
  float frame[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  float uv0[2] = {};
  float uv1[2] = {};
};

struct DuToolSurface {
  int32_t shader = 0;
  std::vector<DuToolVertex> vertices;
  std::vector<uint16_t> indices;
};

struct DuToolShader {
  std::string name;
  std::string textures[6];  // slot 0 colour, 1 specular, 3 normal map
};

struct DuToolPortal {
  std::vector<float> points;  // 3 per point
  int32_t areas[2] = {0, 0};
};

struct DuToolNode {
  float normal[3] = {};
  float term = 0;
  int32_t children[2] = {0, 0};  // > 0 node, <= 0 leaf of area -1 - child
};

struct DuToolLevel {
  std::string textureFolder;
  std::vector<DuToolShader> shaders;
  std::vector<std::vector<DuToolSurface>> models;  // surfaces per model
  std::vector<DuToolPortal> portals;
  std::vector<DuToolNode> nodes;
  std::vector<int32_t> areaModels;  // model per area, -1 none
};

// The file's bytes. `boundaries`, when given, receives the offset of the end of every record and
// array (truncation tests cut there).
std::vector<uint8_t> DuTool_Write(const DuToolLevel& level, std::vector<size_t>* boundaries = nullptr);
// ".hmp": "<max box size> <max triangles per leaf>".
std::string DuTool_HmpText(float maxBoxSize, int maxTriangles);

// One quad facing +Z at height z over [x0, x1] x [y0, y1], two triangles.
DuToolSurface DuTool_Quad(float x0, float y0, float x1, float y1, float z, int32_t shader);
// The inside of a box: six quads facing inward, one surface.
DuToolSurface DuTool_Room(const float mins[3], const float maxs[3], int32_t shader);
// Two rooms side by side along X (area 0 below x = 0, area 1 above), joined by a portal in the
// plane x = 0, one node splitting them, one model per room, one shader with the four textures.
DuToolLevel DuTool_TwoRooms(const std::string& textureFolder, const std::string textures[6]);

// Writes name + ".du" and, when hmp is not null, name + ".hmp".
bool DuTool_Save(const std::string& name, const DuToolLevel& level, const std::string* hmp);
