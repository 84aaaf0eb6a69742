// Writers of ".mp" models and ".may" levels (with their ".hmp" text), for tests, fuzz seeds and
// the sample game. Counts default to the sizes of the vectors; a count set to anything but -1
// is written instead (tests use it to write bad files). Reserved bytes are zero.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/vecmath.h"

// ---- ".mp" ----------------------------------------------------------------------------------------

struct MpToolSlot {
  std::string name;  // texture name below "textures\", empty for none
  int clampU = 0, clampV = 0;
};
struct MpToolShader {
  std::string name;
  int twoSided = 0;
  MpToolSlot slots[4];  // 0 diffuse, 2 reflection
};
struct MpToolFrame {
  std::string bone;
  mat3 rot{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};  // relative to the bone
  vec3 pos{0, 0, 0};
};
struct MpToolInfluence {
  int frame = 0;
  float weight = 1.0f;
};
struct MpToolShape {
  vec3 pos{0, 0, 0}, normal{0, 0, 0};
};
struct MpToolVertex {
  vec3 pos{0, 0, 0}, normal{0, 0, 1};
  std::vector<MpToolInfluence> influences;
  float u = 0, v = 0;
  std::vector<MpToolShape> shapes;  // morph vertices: shapes 1.. (shape 0 is pos, normal)
  int influenceCount = -1;
  int shapeCount = -1;
};
struct MpToolPie {
  int kind = 1;
  int frame = 0;
  int morphs = 0;
  int firstVertex = 0, vertexCount = 0;
  int firstIndex = 0, indexCount = 0;
  int firstStrip = 0, stripCount = 0;
};
struct MpToolObject {
  int shader = 0;
  int kind = 0;  // 0 weighted, 1 morph
  std::vector<MpToolVertex> vertices;
  std::vector<MpToolPie> pies;
  std::vector<uint16_t> indices, strips;
  int vertexCount = -1, pieCount = -1, indexCount = -1, stripCount = -1;
};
struct MpToolModel {
  std::string name;
  std::vector<MpToolShader> shaders;
  std::vector<MpToolFrame> frames;
  std::vector<MpToolObject> objects;
  int shaderCount = -1, frameCount = -1, objectCount = -1;
  int version = 5;
};

std::vector<uint8_t> MpTool_Write(const MpToolModel& model);
// A frame riding on a bone whose model-space bind transform is (rot, pos): it carries the inverse
// of that transform, so the bind pose draws the mesh where it was modelled.
MpToolFrame MpTool_BindFrame(const std::string& bone, const mat3& rot, const vec3& pos);
// Appends a pie of the given kind covering the triangles (vertices and indices appended to the
// object); kind 1 rides on `frame`.
void MpTool_AddPie(MpToolObject& object, int kind, int frame, const std::vector<MpToolVertex>& vertices,
                   const std::vector<uint16_t>& triangles);
// A small model with every feature: a rigid box on frame 0, a weighted strip over two frames
// (1 to 3 influences, strips, shader -1), a morph object with three shapes; shaders "metal"
// (with a reflection), "glow_ADD" and "glass_alpha" (two-sided); frames "Bip01", "Bip01 Head".
MpToolModel MpTool_SampleModel();
// An axis-aligned box's 24 vertices and 36 indices (outward faces, u/v 0..1 on each face).
void MpTool_Box(const vec3& min, const vec3& max, std::vector<MpToolVertex>& vertices,
                std::vector<uint16_t>& triangles);

// ---- ".may" ---------------------------------------------------------------------------------------

struct MayToolSlot {
  std::string name;
  float stretchU = 0, stretchV = 0;
  float opacity = 1.0f;
  int combine = 0;
};
struct MayToolShader {
  std::string name;
  int layerCount = 0;
  MayToolSlot slots[7];  // standard: 0 diffuse, 2 reflection, 3 bump, 4 detail; layered: layers
  int twoSided = 0;
  int firstSet = 0, setCount = 0;  // filled by MayTool_GroupSets
};
struct MayToolVertex {
  float pos[3] = {0, 0, 0};
  uint8_t color[4] = {255, 255, 255, 255};
  float uv[4][2] = {};
  float normal[3] = {0, 0, 1};
};
struct MayToolSurface {
  std::vector<MayToolVertex> vertices;
  std::vector<uint16_t> indices;
  int vertexCount = -1, indexCount = -1;
};
// Rotation applied to a column vector: x' = row 0 . v + t.x.
struct MayToolKey {
  float rot[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  float t[3] = {0, 0, 0};
};
struct MayToolObject {
  std::string name;
  int firstKey = 0, keyCount = 0;
  float start = 0, end = 0;
};
struct MayToolSet {
  int shader = 0, object = 0, moving = 0;
  float bounds[6] = {};
  int surface = 0, firstIndex = 0, indexCount = 0;
};
struct MayToolLevel {
  std::string folder;  // ends in "\" when not empty
  std::vector<MayToolShader> shaders;
  std::vector<MayToolSurface> surfaces;
  std::vector<MayToolKey> keys;
  std::vector<MayToolObject> objects;
  std::vector<MayToolSet> sets;
  std::string spotShader, spotTexture;
  int spotFirstKey = 0, spotKeyCount = 0;
  float spotStart = 0, spotEnd = 0;
  int shaderCount = -1, surfaceCount = -1, keyCount = -1, objectCount = -1, setCount = -1;
  int version = 11;
};

std::vector<uint8_t> MayTool_Write(const MayToolLevel& level);
// Appends triangles to the last surface (a new one when it would pass 65,536 vertices) as one set
// of (shader, object) with bounds computed; returns the set's number.
int MayTool_AddTriangles(MayToolLevel& level, int shader, int object, const std::vector<MayToolVertex>& vertices,
                         const std::vector<uint16_t>& triangles, int moving = 0);
// Orders the sets by shader (stable) and fills every shader's first set and set count.
void MayTool_GroupSets(MayToolLevel& level);
// A quad a, b, c, d (counter-clockwise seen from the front) with uv0 and uv1 over 0..1 times
// the repeats, normal from the winding.
void MayTool_Quad(const vec3& a, const vec3& b, const vec3& c, const vec3& d, float repeatU, float repeatV,
                  std::vector<MayToolVertex>& vertices, std::vector<uint16_t>& triangles);
// An axis-aligned box as one set (12 triangles, outward faces).
void MayTool_Box(MayToolLevel& level, int shader, int object, vec3 min, vec3 max, int moving = 0);
// A small level with every feature: folder "street\", shaders "concrete" (diffuse "ground"),
// "glass_ALPHA" and the layered "brick" (2 layers, opacity 0.5); objects "ground_1", "wall_",
// "1234" and "door_12" (moving over three keys along x, 0 to 2 seconds); a 200 x 200 ground
// quad, two walls and the door box.
MayToolLevel MayTool_SampleLevel();
// The ".hmp" text: maximum box size and maximum triangles per leaf.
std::string MayTool_HmpText(float maxBox, int maxTris);
